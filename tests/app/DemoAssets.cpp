#include "DemoAssets.h"

#include "../platform/d3dx9/ImageFiles.h"
#include "../platform/d3dx9/XFileWriter.h"
#include "support/TempDir.h"

#include <cmath>
#include <fstream>
#include <vector>

namespace DemoTest {

const char kLightingEffect[] = R"(// a lit mesh: diffuse light from g_dirToLight over a little ambient
float4x4 g_mWorld;
float4x4 g_mWorldViewProj;
float3 g_dirToLight;

struct VS_OUTPUT { float4 Position : POSITION; float4 Diffuse : COLOR0; };

VS_OUTPUT LitVS(float4 vPos : POSITION, float3 vNormal : NORMAL)
{
    VS_OUTPUT Output;
    Output.Position = mul(vPos, g_mWorldViewProj);
    float3 n = normalize(mul(vNormal, (float3x3)g_mWorld));
    Output.Diffuse = float4(0.9, 0.85, 0.7, 1.0) * (0.25 + 0.75 * saturate(dot(n, g_dirToLight)));
    Output.Diffuse.a = 1.0;
    return Output;
}

float4 LitPS(float4 diffuse : COLOR0) : COLOR0 { return diffuse; }

technique Lit
{
    pass P0
    {
        VertexShader = compile vs_2_0 LitVS();
        PixelShader = compile ps_2_0 LitPS();
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
    }
}
)";

void WriteConfig(const std::filesystem::path& folder, std::uint32_t width, std::uint32_t height) {
    const std::wstring text =
        L"// stand-in configuration\r\nDeviceConfig\r\n{\r\n  DeviceType = 0;\r\n"
        L"  VertexProcessing = 0;\r\n  BackBufferFormat = 22;\r\n  FullScreen = false;\r\n"
        L"  Width = " +
        std::to_wstring(width) + L";\r\n  Height = " + std::to_wstring(height) +
        L";\r\n  RefreshRate = 0;\r\n  VSync = false;\r\n}\r\n";
    TestSupport::WriteBytes(folder / "config.cfg", TestSupport::Utf16LE(text, true));
}

namespace {

// Ten frames of 66 x 70: a ring whose colour turns from frame to frame, transparent around it.
std::vector<std::uint32_t> CursorStrip() {
    const int width = 660;
    const int height = 70;
    std::vector<std::uint32_t> texels(static_cast<std::size_t>(width) * height, 0);
    for (int frame = 0; frame < 10; ++frame) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 66; ++x) {
                const double distance = std::hypot(x - 32.5, y - 34.5);
                if (distance > 30.0) continue;
                const std::uint32_t red = 255 - static_cast<std::uint32_t>(frame * 20);
                const std::uint32_t green = distance < 20.0 ? 255 : static_cast<std::uint32_t>(frame * 25);
                texels[static_cast<std::size_t>(y) * width + frame * 66 + x] =
                    0xFF000000u | red << 16 | green << 8 | 64;
            }
        }
    }
    return texels;
}

// Bands of colour with a grid, so that displacement shows.
std::vector<std::uint32_t> Picture() {
    std::vector<std::uint32_t> texels(256 * 256);
    for (std::uint32_t y = 0; y < 256; ++y) {
        for (std::uint32_t x = 0; x < 256; ++x) {
            const bool line = x % 32 == 0 || y % 32 == 0;
            texels[y * 256 + x] = line ? 0xFFFFFFFFu : 0xFF000000u | (x << 16) | ((255 - y) << 8) | ((x + y) / 2);
        }
    }
    return texels;
}

}  // namespace

void WriteAssets(const std::filesystem::path& folder) {
    TestSupport::WriteBytes(folder / "mushrum.png", D3DX9Tests::EncodeImage("mushrum.png", 660, 70, 4, CursorStrip()));
    TestSupport::WriteBytes(folder / "ziemia.bmp", D3DX9Tests::EncodeImage("ziemia.bmp", 256, 256, 3, Picture()));
    // A box large enough to fill part of the view, without normals so that they are computed.
    D3DX9Tests::XMeshSource box = D3DX9Tests::Cube(true);
    for (auto& position : box.positions) {
        position[0] *= 8.0f;
        position[1] *= 5.0f;
        position[2] *= 3.0f;
    }
    std::ofstream(folder / "skullocc.x", std::ios::binary) << D3DX9Tests::TextXFile(box);
    std::ofstream(folder / "effect.fx", std::ios::binary) << kLightingEffect;
}

}  // namespace DemoTest
