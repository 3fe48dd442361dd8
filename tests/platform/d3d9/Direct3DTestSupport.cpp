#include "Direct3DTestSupport.h"

#include <d3d9/Device.h>

#include <cstring>

namespace D3D9Test {

const char kPixelQuadVertexShader[] = R"(#version 450
in vec3 position;
in vec2 texcoord;
uniform vec2 screenSize;
out vec2 uv;
void main() {
    uv = texcoord;
    gl_Position = vec4(position.x * 2.0 / screenSize.x - 1.0, 1.0 - position.y * 2.0 / screenSize.y, position.z, 1.0);
}
)";

namespace {

const wchar_t kClassName[] = L"NVeskDirect3DTest";

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

const char kTexturedFragment[] = R"(#version 450
in vec2 uv;
uniform sampler2D image;
out vec4 color;
void main() { color = texture(image, uv); }
)";

const char kSolidFragment[] = R"(#version 450
in vec2 uv;
uniform vec4 solid;
out vec4 color;
void main() { color = solid; }
)";

}  // namespace

Window::Window(int width, int height) {
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    handle_ = CreateWindowExW(0, kClassName, L"Direct3D test", WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                              CW_USEDEFAULT, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

Window::~Window() {
    if (handle_ != nullptr) {
        DestroyWindow(handle_);
    }
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

D3DPRESENT_PARAMETERS WindowedParameters(HWND window, UINT width, UINT height) {
    D3DPRESENT_PARAMETERS parameters {};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.BackBufferFormat = D3DFMT_UNKNOWN;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return parameters;
}

std::string FramePathName(const ::testing::TestParamInfo<FramePath>& info) {
    return info.param == FramePath::Window ? "Window" : "BackBufferImage";
}

bool DrawsIntoWindow(IDirect3DDevice9* device) {
    return nvesk::d3d9::Device::FromInterface(device)->DrawsIntoWindow();
}

void DeviceTest::MoveDrawingIntoWindow() {
    for (D3DCOLOR colour : {D3DCOLOR(0xFF102030), D3DCOLOR(0xFF405060)}) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        if (DrawsIntoWindow(device_)) {
            return;
        }
    }
    FAIL() << "still drawing into the back buffer's image after two plain Presents";
}

bool CreateWindowedDevice(HWND window, IDirect3D9** d3d, IDirect3DDevice9** device) {
    *device = nullptr;
    *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window, 64, 48);
    if (*d3d != nullptr && (*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, device) == D3D_OK) {
        return true;
    }
    if (*d3d != nullptr) (*d3d)->Release();
    *d3d = nullptr;
    return false;
}

void DeviceTest::SetUp() {
    window_ = new Window(windowWidth_, windowHeight_);
    ASSERT_NE(window_->Handle(), nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
}

void WindowSizedDeviceTest::SetUp() {
    windowWidth_ = kWidth;
    windowHeight_ = kHeight;
    DeviceTest::SetUp();
    ASSERT_EQ(CreateDevice(), D3D_OK);
}

void DeviceTest::TearDown() {
    ReleaseDevice();
    if (d3d_ != nullptr) {
        EXPECT_EQ(d3d_->Release(), 0u);
        d3d_ = nullptr;
    }
    delete window_;
    window_ = nullptr;
}

HRESULT DeviceTest::CreateDevice(D3DDEVTYPE type) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    return d3d_->CreateDevice(D3DADAPTER_DEFAULT, type, window_->Handle(), D3DCREATE_HARDWARE_VERTEXPROCESSING,
                              &parameters, &device_);
}

void DeviceTest::ReleaseDevice() {
    if (device_ == nullptr) {
        return;
    }
    for (nvesk::d3d9::ShaderProgramHandle program : programs_) {
        nvesk::d3d9::ReleaseShaderProgram(device_, program);
    }
    programs_.clear();
    if (vertices_ != nullptr) {
        vertices_->Release();
        vertices_ = nullptr;
    }
    if (declaration_ != nullptr) {
        declaration_->Release();
        declaration_ = nullptr;
    }
    // A bound texture holds a reference, and through it the device: unbind as an application must.
    for (DWORD stage = 0; stage < 16; ++stage) {
        device_->SetTexture(stage, nullptr);
    }
    EXPECT_EQ(device_->Release(), 0u);
    device_ = nullptr;
}

static nvesk::d3d9::ShaderProgramHandle LinkProgram(IDirect3DDevice9* device, const char* fragment, UINT width,
                                                    UINT height) {
    nvesk::d3d9::ShaderProgramSource source;
    source.vertexGlsl = kPixelQuadVertexShader;
    source.fragmentGlsl = fragment;
    source.attributes = {{"position", D3DDECLUSAGE_POSITION, 0}, {"texcoord", D3DDECLUSAGE_TEXCOORD, 0}};
    nvesk::d3d9::ShaderProgramHandle program = 0;
    std::string log;
    EXPECT_EQ(nvesk::d3d9::LinkShaderProgram(device, source, &program, &log), D3D_OK) << log;
    const float size[2] = {static_cast<float>(width), static_cast<float>(height)};
    EXPECT_EQ(nvesk::d3d9::SetUniformFloats(device, program,
                                            nvesk::d3d9::GetUniformLocation(device, program, "screenSize"), 2, 1, size),
              D3D_OK);
    return program;
}

nvesk::d3d9::ShaderProgramHandle DeviceTest::TexturedProgram() {
    const nvesk::d3d9::ShaderProgramHandle program = LinkProgram(device_, kTexturedFragment, kWidth, kHeight);
    EXPECT_EQ(
        nvesk::d3d9::SetSamplerUnit(device_, program, nvesk::d3d9::GetUniformLocation(device_, program, "image"), 0),
        D3D_OK);
    programs_.push_back(program);
    return program;
}

nvesk::d3d9::ShaderProgramHandle DeviceTest::SolidProgram() {
    return ProgramWithFragment(kSolidFragment);
}

nvesk::d3d9::ShaderProgramHandle DeviceTest::ProgramWithFragment(const char* fragment) {
    const nvesk::d3d9::ShaderProgramHandle program = LinkProgram(device_, fragment, kWidth, kHeight);
    programs_.push_back(program);
    return program;
}

void DeviceTest::SetColor(nvesk::d3d9::ShaderProgramHandle program, float r, float g, float b, float a) {
    const float color[4] = {r, g, b, a};
    EXPECT_EQ(nvesk::d3d9::SetUniformFloats(device_, program,
                                            nvesk::d3d9::GetUniformLocation(device_, program, "solid"), 4, 1, color),
              D3D_OK);
}

void DeviceTest::BindVertices(const std::vector<QuadVertex>& vertices) {
    if (declaration_ == nullptr) {
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
            {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
            D3DDECL_END()};
        ASSERT_EQ(device_->CreateVertexDeclaration(elements, &declaration_), D3D_OK);
    }
    if (vertices_ != nullptr) {
        vertices_->Release();
    }
    const UINT bytes = static_cast<UINT>(vertices.size() * sizeof(QuadVertex));
    ASSERT_EQ(device_->CreateVertexBuffer(bytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vertices_,
                                          nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vertices_->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memcpy(data, vertices.data(), bytes);
    ASSERT_EQ(vertices_->Unlock(), D3D_OK);
    ASSERT_EQ(device_->SetVertexDeclaration(declaration_), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vertices_, 0, sizeof(QuadVertex)), D3D_OK);
}

std::vector<QuadVertex> DeviceTest::Quad(float x, float y, float w, float h, float z) {
    return {{x, y, z, 0.0f, 0.0f}, {x + w, y, z, 1.0f, 0.0f}, {x, y + h, z, 0.0f, 1.0f}, {x + w, y + h, z, 1.0f, 1.0f}};
}

std::vector<DWORD> DeviceTest::ReadBackBuffer() {
    return D3D9Test::ReadBackBuffer(device_);
}

}  // namespace D3D9Test
