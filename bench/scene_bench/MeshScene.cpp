#include "MeshScene.h"

#include <meshoptimizer.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace SceneBench {
namespace {

// Numbers of a text .x body, read past its separators.
class Numbers {
public:
    Numbers(const std::string& text, std::size_t from) : text_(text), at_(from) {}
    bool Next(double& value) {
        while (at_ < text_.size() &&
               (std::isspace(static_cast<unsigned char>(text_[at_])) || text_[at_] == ';' || text_[at_] == ','))
            ++at_;
        if (at_ >= text_.size()) return false;
        const char* begin = text_.c_str() + at_;
        char* end = nullptr;
        value = std::strtod(begin, &end);
        if (end == begin) return false;
        at_ += static_cast<std::size_t>(end - begin);
        return true;
    }
    bool Count(std::size_t& count) {
        double value = 0.0;
        if (!Next(value) || value < 0.0 || value != std::floor(value)) return false;
        count = static_cast<std::size_t>(value);
        return true;
    }

private:
    const std::string& text_;
    std::size_t at_;
};

// The position just past the '{' of the first block named `name`.
std::size_t BlockBody(const std::string& text, const std::string& name) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const bool wordStart = at == 0 || std::isspace(static_cast<unsigned char>(text[at - 1]));
        const std::size_t brace = text.find('{', at);
        if (wordStart && brace != std::string::npos) return brace + 1;
    }
    return std::string::npos;
}

std::uint32_t Channel(double value, int shift) {
    const double clamped = value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
    return static_cast<std::uint32_t>(std::lround(clamped * 255.0)) << shift;
}

void ComputeNormals(Mesh& mesh) {
    for (MeshVertex& vertex : mesh.vertices)
        vertex.normal[0] = vertex.normal[1] = vertex.normal[2] = 0.0f;
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const float* p0 = mesh.vertices[mesh.indices[i]].position;
        const float* p1 = mesh.vertices[mesh.indices[i + 1]].position;
        const float* p2 = mesh.vertices[mesh.indices[i + 2]].position;
        const float a[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const float b[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f) {
            for (int c = 0; c < 3; ++c)
                n[c] /= length;
        }
        for (int corner = 0; corner < 3; ++corner) {
            for (int c = 0; c < 3; ++c)
                mesh.vertices[mesh.indices[i + corner]].normal[c] += n[c];
        }
    }
    for (MeshVertex& vertex : mesh.vertices) {
        float* n = vertex.normal;
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f) {
            for (int c = 0; c < 3; ++c)
                n[c] /= length;
        }
    }
}

Matrix Identity() {
    Matrix r {};
    for (int i = 0; i < 4; ++i)
        r.m[i][i] = 1.0f;
    return r;
}

// D3DXMatrixRotationX/Y/Z.
Matrix Rotation(int axis, float angle) {
    Matrix r = Identity();
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    r.m[i][i] = c;
    r.m[j][j] = c;
    r.m[i][j] = s;
    r.m[j][i] = -s;
    return r;
}

void Normalize(float (&v)[3]) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (float& c : v)
        c /= length;
}

}  // namespace

bool LoadXMesh(const std::string& path, Mesh& mesh, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream buffer;
    buffer << file.rdbuf();
    const std::string text = buffer.str();
    if (!file || text.size() < 16 || text.compare(0, 4, "xof ") != 0 || text.compare(8, 4, "txt ") != 0) {
        *error = path + " is not a text .x file";
        return false;
    }
    const std::size_t body = BlockBody(text, "Mesh");
    Numbers numbers(text, body == std::string::npos ? text.size() : body);
    std::size_t vertexCount = 0;
    std::size_t faceCount = 0;
    bool ok = numbers.Count(vertexCount);
    mesh.vertices.assign(ok ? vertexCount : 0, MeshVertex {{0, 0, 0}, {0, 0, 0}, 0xFFFFFFFFu});
    for (MeshVertex& vertex : mesh.vertices) {
        for (float& c : vertex.position) {
            double value = 0.0;
            ok = ok && numbers.Next(value);
            c = static_cast<float>(value);
        }
    }
    ok = ok && numbers.Count(faceCount);
    mesh.indices.clear();
    for (std::size_t f = 0; ok && f < faceCount; ++f) {
        std::size_t corners = 0;
        std::vector<std::uint32_t> polygon;
        ok = numbers.Count(corners) && corners >= 3;
        for (std::size_t c = 0; ok && c < corners; ++c) {
            std::size_t index = 0;
            ok = numbers.Count(index) && index < vertexCount;
            polygon.push_back(static_cast<std::uint32_t>(index));
        }
        for (std::size_t c = 1; ok && c + 1 < corners; ++c)
            mesh.indices.insert(mesh.indices.end(), {polygon[0], polygon[c], polygon[c + 1]});
    }
    const std::size_t colours = ok ? BlockBody(text, "MeshVertexColors") : std::string::npos;
    if (colours != std::string::npos) {
        Numbers entries(text, colours);
        std::size_t count = 0;
        ok = entries.Count(count);
        for (std::size_t e = 0; ok && e < count; ++e) {
            std::size_t index = 0;
            double rgba[4];
            ok = entries.Count(index) && index < vertexCount && entries.Next(rgba[0]) && entries.Next(rgba[1]) &&
                 entries.Next(rgba[2]) && entries.Next(rgba[3]);
            if (ok)
                mesh.vertices[index].colour =
                    Channel(rgba[3], 24) | Channel(rgba[0], 16) | Channel(rgba[1], 8) | Channel(rgba[2], 0);
        }
    }
    if (!ok || mesh.indices.empty()) {
        *error = path + ": no mesh could be read";
        return false;
    }
    ComputeNormals(mesh);
    meshopt_optimizeVertexCache(mesh.indices.data(), mesh.indices.data(), mesh.indices.size(), mesh.vertices.size());
    std::vector<MeshVertex> ordered(mesh.vertices.size());
    const std::size_t used =
        meshopt_optimizeVertexFetch(ordered.data(), mesh.indices.data(), mesh.indices.size(), mesh.vertices.data(),
                                    mesh.vertices.size(), sizeof(MeshVertex));
    ordered.resize(used);
    mesh.vertices.swap(ordered);
    return true;
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r {};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
        }
    }
    return r;
}

MeshPose::MeshPose(float aspectRatio) : world(), worldViewProjection(), lightDirection {0.0f, 10.0f, -5.0f} {
    // D3DXMatrixLookAtLH from (0, 5, -20) towards the origin, y up.
    float zAxis[3] = {0.0f, -5.0f, 20.0f};
    Normalize(zAxis);
    float xAxis[3] = {zAxis[2], 0.0f, -zAxis[0]};  // up x zAxis with up = (0, 1, 0)
    Normalize(xAxis);
    const float yAxis[3] = {zAxis[1] * xAxis[2] - zAxis[2] * xAxis[1], zAxis[2] * xAxis[0] - zAxis[0] * xAxis[2],
                            zAxis[0] * xAxis[1] - zAxis[1] * xAxis[0]};
    const float eye[3] = {0.0f, 5.0f, -20.0f};
    Matrix view = Identity();
    for (int row = 0; row < 3; ++row) {
        view.m[row][0] = xAxis[row];
        view.m[row][1] = yAxis[row];
        view.m[row][2] = zAxis[row];
    }
    const float* axes[3] = {xAxis, yAxis, zAxis};
    for (int c = 0; c < 3; ++c)
        view.m[3][c] = -(axes[c][0] * eye[0] + axes[c][1] * eye[1] + axes[c][2] * eye[2]);
    // D3DXMatrixPerspectiveFovLH: a quarter turn of view, depth 1 to 100 into 0 to 1.
    const float pi = 3.14159265f;
    const float yScale = 1.0f / std::tan(pi / 8.0f);
    const float zn = 1.0f;
    const float zf = 100.0f;
    Matrix projection {};
    projection.m[0][0] = yScale / aspectRatio;
    projection.m[1][1] = yScale;
    projection.m[2][2] = zf / (zf - zn);
    projection.m[2][3] = 1.0f;
    projection.m[3][2] = -zn * zf / (zf - zn);
    viewProjection_ = Multiply(view, projection);
    world = Multiply(Multiply(Rotation(0, pi / 2.0f + 0.9f), Rotation(2, pi)), Rotation(1, pi + 0.2f));
    Normalize(lightDirection);
    Advance(0.0f);
}

void MeshPose::Advance(float seconds) {
    world = Multiply(world, Rotation(1, seconds));
    const Matrix turn = Rotation(2, seconds);
    const float* l = lightDirection;
    float turned[3];
    for (int c = 0; c < 3; ++c)
        turned[c] = l[0] * turn.m[0][c] + l[1] * turn.m[1][c] + l[2] * turn.m[2][c];
    for (int c = 0; c < 3; ++c)
        lightDirection[c] = turned[c];
    worldViewProjection = Multiply(world, viewProjection_);
}

}  // namespace SceneBench
