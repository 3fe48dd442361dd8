#include "XFileWriter.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace D3DX9Tests {

std::string TextXFile(const XMeshSource& mesh) {
    std::ostringstream x;
    x << std::fixed;
    x << "xof 0303txt 0032\n";
    x << "Frame Root {\n FrameTransformMatrix {\n  1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,"
      << mesh.frameTranslation[0] << ',' << mesh.frameTranslation[1] << ',' << mesh.frameTranslation[2]
      << ",1.0;;\n }\n";
    x << " Mesh Body {\n  " << mesh.positions.size() << ";\n";
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        const auto& p = mesh.positions[i];
        x << "  " << p[0] << ';' << p[1] << ';' << p[2] << ';' << (i + 1 == mesh.positions.size() ? ";\n" : ",\n");
    }
    x << "  " << mesh.faces.size() << ";\n";
    for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
        const auto& f = mesh.faces[i];
        x << "  3;" << f[0] << ',' << f[1] << ',' << f[2] << ';' << (i + 1 == mesh.faces.size() ? ";\n" : ",\n");
    }
    if (!mesh.normals.empty()) {
        x << "  MeshNormals {\n   " << mesh.normals.size() << ";\n";
        for (std::size_t i = 0; i < mesh.normals.size(); ++i) {
            const auto& n = mesh.normals[i];
            x << "   " << n[0] << ';' << n[1] << ';' << n[2] << ';' << (i + 1 == mesh.normals.size() ? ";\n" : ",\n");
        }
        x << "   " << mesh.faces.size() << ";\n";
        for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
            const auto& f = mesh.faces[i];
            x << "   3;" << f[0] << ',' << f[1] << ',' << f[2] << ';' << (i + 1 == mesh.faces.size() ? ";\n" : ",\n");
        }
        x << "  }\n";
    }
    if (!mesh.uvs.empty()) {
        x << "  MeshTextureCoords {\n   " << mesh.uvs.size() << ";\n";
        for (std::size_t i = 0; i < mesh.uvs.size(); ++i) {
            x << "   " << mesh.uvs[i][0] << ';' << mesh.uvs[i][1] << ';' << (i + 1 == mesh.uvs.size() ? ";\n" : ",\n");
        }
        x << "  }\n";
    }
    if (!mesh.colours.empty()) {
        x << "  MeshVertexColors {\n   " << mesh.colours.size() << ";\n";
        for (std::size_t i = 0; i < mesh.colours.size(); ++i) {
            x << "   " << i << ';';
            for (int shift : {16, 8, 0, 24})
                x << ((mesh.colours[i] >> shift) & 0xFF) / 255.0f << ';';
            x << (i + 1 == mesh.colours.size() ? ";;\n" : ";,\n");
        }
        x << "  }\n";
    }
    if (!mesh.faceMaterials.empty()) {
        std::uint32_t materials = 0;
        for (std::uint32_t m : mesh.faceMaterials)
            materials = std::max(materials, m + 1);
        x << "  MeshMaterialList {\n   " << materials << ";\n   " << mesh.faceMaterials.size() << ";\n";
        for (std::size_t i = 0; i < mesh.faceMaterials.size(); ++i) {
            x << "   " << mesh.faceMaterials[i] << (i + 1 == mesh.faceMaterials.size() ? ";;\n" : ",\n");
        }
        for (std::uint32_t m = 0; m < materials; ++m) {
            x << "   Material { " << (m % 2) << ".0;0.5;0.5;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n";
        }
        x << "  }\n";
    }
    x << " }\n}\n";
    return x.str();
}

namespace {

class BinaryTokens {
public:
    explicit BinaryTokens(std::vector<std::uint8_t>& out) : out_(out) {}
    void Word(std::uint16_t value) { Raw(&value, 2); }
    void Dword(std::uint32_t value) { Raw(&value, 4); }
    void Name(const std::string& name) {
        Word(1);
        Dword(static_cast<std::uint32_t>(name.size()));
        Raw(name.data(), name.size());
    }
    void Open() { Word(10); }
    void Close() { Word(11); }
    void Integers(const std::vector<std::uint32_t>& values) {
        Word(6);
        Dword(static_cast<std::uint32_t>(values.size()));
        for (std::uint32_t v : values)
            Dword(v);
    }
    void Floats(const std::vector<float>& values) {
        Word(7);
        Dword(static_cast<std::uint32_t>(values.size()));
        for (float v : values)
            Raw(&v, 4);
    }

private:
    void Raw(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + size);
    }
    std::vector<std::uint8_t>& out_;
};

}  // namespace

std::vector<std::uint8_t> BinaryXFile(const XMeshSource& mesh) {
    const std::string header = "xof 0303bin 0032";
    std::vector<std::uint8_t> out(header.begin(), header.end());
    BinaryTokens tokens(out);
    tokens.Name("Frame");
    tokens.Name("Root");
    tokens.Open();
    tokens.Name("FrameTransformMatrix");
    tokens.Open();
    tokens.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, mesh.frameTranslation[0], mesh.frameTranslation[1],
                   mesh.frameTranslation[2], 1});
    tokens.Close();
    tokens.Name("Mesh");
    tokens.Name("Body");
    tokens.Open();
    tokens.Integers({static_cast<std::uint32_t>(mesh.positions.size())});
    std::vector<float> positions;
    for (const auto& p : mesh.positions)
        positions.insert(positions.end(), p.begin(), p.end());
    tokens.Floats(positions);
    std::vector<std::uint32_t> faces {static_cast<std::uint32_t>(mesh.faces.size())};
    for (const auto& f : mesh.faces)
        faces.insert(faces.end(), {3u, f[0], f[1], f[2]});
    tokens.Integers(faces);
    tokens.Close();
    tokens.Close();
    return out;
}

XMeshSource Cube(bool splitCorners) {
    XMeshSource cube;
    // Each face: outward normal axis and its four corners, clockwise seen from outside (left-handed).
    const float h = 0.5f;
    const std::array<std::array<std::array<float, 3>, 4>, 6> faces = {{
        {{{-h, -h, -h}, {-h, h, -h}, {h, h, -h}, {h, -h, -h}}},  // front, -z
        {{{h, -h, h}, {h, h, h}, {-h, h, h}, {-h, -h, h}}},      // back, +z
        {{{-h, -h, h}, {-h, h, h}, {-h, h, -h}, {-h, -h, -h}}},  // left, -x
        {{{h, -h, -h}, {h, h, -h}, {h, h, h}, {h, -h, h}}},      // right, +x
        {{{-h, h, -h}, {-h, h, h}, {h, h, h}, {h, h, -h}}},      // top, +y
        {{{-h, -h, h}, {-h, -h, -h}, {h, -h, -h}, {h, -h, h}}},  // bottom, -y
    }};
    auto vertexOf = [&](const std::array<float, 3>& p) -> std::uint32_t {
        if (!splitCorners) {
            for (std::uint32_t i = 0; i < cube.positions.size(); ++i) {
                if (cube.positions[i] == p) return i;
            }
        }
        cube.positions.push_back(p);
        return static_cast<std::uint32_t>(cube.positions.size() - 1);
    };
    for (const auto& face : faces) {
        std::array<std::uint32_t, 4> v {};
        for (int k = 0; k < 4; ++k)
            v[k] = vertexOf(face[k]);
        cube.faces.push_back({v[0], v[1], v[2]});
        cube.faces.push_back({v[0], v[2], v[3]});
    }
    return cube;
}

}  // namespace D3DX9Tests
