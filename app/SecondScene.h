// The mesh scene: a lit mesh turning in front of a fixed camera, the light turning about the
// viewing axis.
#pragma once

#include "app/StepFailureLog.h"
#include "renderer/Scene.h"

#include <d3dx9.h>

class SecondScene final : public NVesk::NRenderer::Scene {
public:
    // `aspectRatio` is read at every restore (the renderer's published value).
    explicit SecondScene(const float* aspectRatio);
    ~SecondScene() override;
    SecondScene(const SecondScene&) = delete;
    SecondScene& operator=(const SecondScene&) = delete;

    // Needs both the mesh and the effect; draws nothing without them.
    void Draw() override;
    void DrawImages() override {}
    // Turns the mesh about the vertical axis and the light about the viewing axis, one radian a second.
    void Update() override;
    std::int32_t InvalidateResources() override;
    // Loads "skullocc.x" and "effect.fx": 0; 111 the mesh or the effect could not be made;
    // E_OUTOFMEMORY no room for the adjacency.
    std::int32_t RestoreResources() override;
    // Camera, pose and light from the start.
    std::int32_t InitResources() override;
    std::int32_t ReleaseResources() override { return 0; }

    const float* aspect;
    ID3DXMesh* mesh;
    ID3DXEffect* effect;
    D3DXMATRIX projection;
    D3DXMATRIX view;
    D3DXMATRIX world;
    D3DXMATRIX worldViewProjection;
    D3DXVECTOR3 lightDirection;

private:
    // The mesh with normals, computed when the file has none; the loaded mesh stays when the
    // normals cannot be added.
    void AddNormals();
    std::int32_t CreateEffect();

    // A held F2 restores the scene every frame: each step's failure is written once.
    StepFailureLog meshFailure;
    StepFailureLog normalsFailure;
    StepFailureLog effectFailure;
    StepFailureLog aspectFailure;
};
