#include "app/SecondScene.h"

#include "lib/TextFormat.h"
#include "renderer/Timer.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

using NVesk::NRenderer::SceneContext;

namespace {

constexpr std::int32_t kNotRestored = 111;
const wchar_t kMeshFile[] = L"skullocc.x";
const wchar_t kEffectFile[] = L"effect.fx";

std::wstring FailureLine(const std::wstring& text, HRESULT result) {
    return L"SecondScene::RestoreResources >> " + text + NLib::ToHexString(static_cast<std::uint32_t>(result));
}

template <typename T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

SecondScene::SecondScene(const float* aspectRatio) : aspect(aspectRatio), mesh(nullptr), effect(nullptr) {
    D3DXMatrixIdentity(&projection);
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&worldViewProjection);
    lightDirection = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

SecondScene::~SecondScene() {
    InvalidateResources();
}

std::int32_t SecondScene::InitResources() {
    const D3DXVECTOR3 eye(0.0f, 5.0f, -20.0f);
    const D3DXVECTOR3 at(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);

    // The angles in single precision: 2.4707963, 3.1415927 and 3.3415928 radians.
    const float pi = D3DX_PI;
    D3DXMATRIX rotateX, rotateZ, rotateY, turned;
    D3DXMatrixRotationX(&rotateX, pi / 2.0f + 0.9f);
    D3DXMatrixRotationZ(&rotateZ, pi);
    D3DXMatrixRotationY(&rotateY, pi + 0.2f);
    D3DXMatrixMultiply(&turned, &rotateX, &rotateZ);
    D3DXMatrixMultiply(&world, &turned, &rotateY);

    const D3DXVECTOR3 light(0.0f, 10.0f, -5.0f);
    D3DXVec3Normalize(&lightDirection, &light);
    return 0;
}

void SecondScene::AddNormals() {
    if ((mesh->GetFVF() & D3DFVF_NORMAL) != 0) return;
    ID3DXMesh* withNormals = nullptr;
    const HRESULT result =
        mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, SceneContext.device, &withNormals);
    if (FAILED(result) || withNormals == nullptr) {
        // The mesh as loaded is still worth drawing.
        normalsFailure.Failed(
            FailureLine(L"Cannot add normals to the mesh. Function \"CloneMeshFVF\" returned an error code: ", result));
        return;
    }
    normalsFailure.Succeeded();
    D3DXComputeNormals(withNormals, nullptr);
    mesh->Release();
    mesh = withNormals;
}

std::int32_t SecondScene::CreateEffect() {
    ID3DXBuffer* errors = nullptr;
    const HRESULT result =
        D3DXCreateEffectFromFileW(SceneContext.device, kEffectFile, nullptr, nullptr, 0, nullptr, &effect, &errors);
    if (FAILED(result)) {
        effect = nullptr;
        if (errors != nullptr) {
            // One wide character per byte of the compiler's output, bytes taken as signed.
            const char* bytes = static_cast<const char*>(errors->GetBufferPointer());
            std::wstring text;
            for (DWORD i = 0; i < errors->GetBufferSize(); ++i)
                text += static_cast<wchar_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(bytes[i])));
            errors->Release();
            MessageBoxW(nullptr, text.c_str(), L"Effect Compilation error", MB_OK);
        } else {
            // No compiler output: the file is missing or unreadable; there is nothing to show.
            effectFailure.Failed(FailureLine(std::wstring(L"Cannot create the effect from ") + kEffectFile +
                                                 L". Function \"D3DXCreateEffectFromFileW\" returned an error code: ",
                                             result));
        }
        return kNotRestored;
    }
    effectFailure.Succeeded();
    ReleaseAndClear(errors);
    return 0;
}

std::int32_t SecondScene::RestoreResources() {
    const HRESULT loaded =
        D3DXLoadMeshFromXW(kMeshFile, D3DXMESH_DYNAMIC, SceneContext.device, nullptr, nullptr, nullptr, nullptr, &mesh);
    if (FAILED(loaded)) {
        mesh = nullptr;
        meshFailure.Failed(FailureLine(std::wstring(L"Cannot load the mesh ") + kMeshFile +
                                           L". Function \"D3DXLoadMeshFromXW\" returned an error code: ",
                                       loaded));
        return kNotRestored;
    }
    meshFailure.Succeeded();
    AddNormals();

    const DWORD faces = mesh->GetNumFaces();
    // Without a face count the adjacency would be written past its array: the mesh is drawn as loaded.
    if (faces != 0) {
        std::unique_ptr<DWORD[]> adjacency(new (std::nothrow) DWORD[static_cast<std::size_t>(faces) * 3]);
        if (adjacency == nullptr) return E_OUTOFMEMORY;
        mesh->GenerateAdjacency(1e-6f, adjacency.get());
        mesh->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, adjacency.get(), nullptr, nullptr, nullptr);
    }

    const std::int32_t effectResult = CreateEffect();
    if (effectResult != 0) return effectResult;

    // A ratio that is not a positive number (no back buffer size) would make the projection NaN.
    float aspectRatio = *aspect;
    if (!(aspectRatio > 0.0f) || !std::isfinite(aspectRatio)) {
        aspectFailure.Failed(L"SecondScene::RestoreResources >> The aspect ratio is not a positive number; 1 is used.");
        aspectRatio = 1.0f;
    } else {
        aspectFailure.Succeeded();
    }
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4.0f, aspectRatio, 1.0f, 100.0f);
    return 0;
}

std::int32_t SecondScene::InvalidateResources() {
    ReleaseAndClear(mesh);
    ReleaseAndClear(effect);
    return 0;
}

void SecondScene::Draw() {
    if (mesh == nullptr || effect == nullptr) return;
    D3DXMATRIX worldView;
    D3DXMatrixMultiply(&worldView, &world, &view);
    D3DXMatrixMultiply(&worldViewProjection, &worldView, &projection);
    effect->SetValue("g_dirToLight", &lightDirection, sizeof(lightDirection));
    effect->SetMatrix("g_mWorldViewProj", &worldViewProjection);
    effect->SetMatrix("g_mWorld", &world);
    effect->Begin(nullptr, 0);
    effect->BeginPass(0);
    mesh->DrawSubset(0);
    effect->EndPass();
    effect->End();
}

void SecondScene::Update() {
    const float angle = static_cast<float>(SceneContext.timer->frameTime);
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, angle);
    D3DXMatrixMultiply(&world, &world, &turn);
    D3DXMATRIX lightTurn;
    D3DXMatrixRotationZ(&lightTurn, angle);
    D3DXVec3TransformCoord(&lightDirection, &lightDirection, &lightTurn);
}
