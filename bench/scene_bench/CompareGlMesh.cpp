// The mesh scene in raw OpenGL 4.5: the demo's mesh (skullocc.x) drawn with the lighting of its
// effect.fx, turning as the scene turns it, and the cursor on top.
//   compare_gl_mesh mesh <asset folder> <warm-up seconds> <seconds>
#include "GlScene.h"
#include "MeshScene.h"

#include <cstddef>
#include <cstdio>
#include <vector>

using namespace SceneBench;

namespace {

// effect.fx's BoneVS and BonePS. Its matrices are row-vector ones: handed over rows first, they
// are the transposed matrices, so the vector goes on the right.
const char kVertexShader[] = R"(#version 450
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 occlusion;
layout(location = 0) uniform mat4 worldViewProj;
layout(location = 1) uniform mat4 world;
out vec3 worldNormal;
out vec4 occlusionColour;
void main() {
    gl_Position = worldViewProj * vec4(position, 1.0);
    worldNormal = mat3(world) * normal;
    occlusionColour = occlusion;
}
)";

const char kFragmentShader[] = R"(#version 450
in vec3 worldNormal;
in vec4 occlusionColour;
layout(location = 2) uniform vec3 dirToLight;
out vec4 colour;
void main() {
    vec3 n = normalize(worldNormal);
    vec3 l = normalize(dirToLight);
    float diffuse = clamp((dot(n, l) + 0.25) / 1.25, 0.0, 1.0);
    vec3 ambient = mix(vec3(0.14, 0.11, 0.09), vec3(0.26, 0.28, 0.34), n.y * 0.5 + 0.5);
    vec3 ivory = vec3(0.95, 0.88, 0.74);
    colour = vec4(ivory * (ambient + diffuse * vec3(1.0, 0.96, 0.88)) * occlusionColour.rgb, 1.0);
}
)";

}  // namespace

int main(int argc, char** argv) {
    ChildOptions options;
    if (!ParseChildOptions(argc, argv, {Scene::Mesh}, options)) return 2;
    std::string error;
    GlWindow window;
    QuadPass quads;
    CursorFrames cursor;
    Mesh mesh;
    if (!window.Open("raw OpenGL mesh", &error) ||
        !quads.Create({{kCursorX, kCursorY, kCursorFrameWidth, kCursorFrameHeight}}, &error) ||
        !cursor.Load(options.assetFolder, &error) || !LoadXMesh(options.assetFolder + "/skullocc.x", mesh, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const GLuint program = CompileProgram(kVertexShader, kFragmentShader, &error);
    if (program == 0) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    GLuint buffers[2] = {0, 0};
    glCreateBuffers(2, buffers);
    glNamedBufferData(buffers[0], static_cast<GLsizeiptr>(mesh.vertices.size() * sizeof(MeshVertex)),
                      mesh.vertices.data(), GL_STATIC_DRAW);
    // 16-bit indices where the vertices allow, as the mesh loader makes them without D3DXMESH_32BIT.
    const bool shortIndices = mesh.vertices.size() <= 0x10000;
    const std::vector<std::uint16_t> shorts(shortIndices ? mesh.indices.begin() : mesh.indices.end(),
                                            mesh.indices.end());
    if (shortIndices) {
        glNamedBufferData(buffers[1], static_cast<GLsizeiptr>(shorts.size() * sizeof(std::uint16_t)), shorts.data(),
                          GL_STATIC_DRAW);
    } else {
        glNamedBufferData(buffers[1], static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(std::uint32_t)),
                          mesh.indices.data(), GL_STATIC_DRAW);
    }
    GLuint vertexArray = 0;
    glCreateVertexArrays(1, &vertexArray);
    glVertexArrayVertexBuffer(vertexArray, 0, buffers[0], 0, sizeof(MeshVertex));
    glVertexArrayElementBuffer(vertexArray, buffers[1]);
    glVertexArrayAttribFormat(vertexArray, 0, 3, GL_FLOAT, GL_FALSE, offsetof(MeshVertex, position));
    glVertexArrayAttribFormat(vertexArray, 1, 3, GL_FLOAT, GL_FALSE, offsetof(MeshVertex, normal));
    // A Direct3D colour: B, G, R, A bytes.
    glVertexArrayAttribFormat(vertexArray, 2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, offsetof(MeshVertex, colour));
    for (GLuint attribute = 0; attribute < 3; ++attribute) {
        glEnableVertexArrayAttrib(vertexArray, attribute);
        glVertexArrayAttribBinding(vertexArray, attribute, 0);
    }

    MeshPose pose(static_cast<float>(kWidth) / kHeight);
    FrameClock clock(options);
    const int status = window.Run(clock, options.scene, [&] {
        pose.Advance(static_cast<float>(clock.FrameTime()));
        glUseProgram(program);
        glUniformMatrix4fv(0, 1, GL_FALSE, &pose.worldViewProjection.m[0][0]);
        glUniformMatrix4fv(1, 1, GL_FALSE, &pose.world.m[0][0]);
        glUniform3fv(2, 1, pose.lightDirection);
        // effect.fx's pass: no blending, depth written, faces turning counter-clockwise culled.
        glDisable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glCullFace(GL_BACK);
        glBindVertexArray(vertexArray);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices.size()),
                       shortIndices ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, nullptr);
        quads.Begin();
        quads.Draw(0, cursor.Advance(clock.FrameTime()));
    });
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(2, buffers);
    glDeleteProgram(program);
    return status;
}
