// D3DX 9 maths: matrices and vectors for row vectors in a left-handed system.
#pragma once

#include "windef.h"

#include "d3d9types.h"

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(const FLOAT* values);
    D3DXVECTOR3(const D3DVECTOR& v);
    D3DXVECTOR3(FLOAT x, FLOAT y, FLOAT z);

    operator FLOAT*();
    operator const FLOAT*() const;

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v);
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v);
    D3DXVECTOR3& operator*=(FLOAT f);
    D3DXVECTOR3& operator/=(FLOAT f);

    D3DXVECTOR3 operator+() const;
    D3DXVECTOR3 operator-() const;

    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const;
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const;
    D3DXVECTOR3 operator*(FLOAT f) const;
    D3DXVECTOR3 operator/(FLOAT f) const;

    friend D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3& v);

    BOOL operator==(const D3DXVECTOR3& v) const;
    BOOL operator!=(const D3DXVECTOR3& v) const;
};
typedef D3DXVECTOR3* LPD3DXVECTOR3;

struct D3DXVECTOR4 {
    D3DXVECTOR4() = default;
    D3DXVECTOR4(const FLOAT* values);
    D3DXVECTOR4(const D3DVECTOR& xyz, FLOAT w);
    D3DXVECTOR4(FLOAT x, FLOAT y, FLOAT z, FLOAT w);

    operator FLOAT*();
    operator const FLOAT*() const;

    BOOL operator==(const D3DXVECTOR4& v) const;
    BOOL operator!=(const D3DXVECTOR4& v) const;

    FLOAT x, y, z, w;
};
typedef D3DXVECTOR4* LPD3DXVECTOR4;

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    D3DXMATRIX(const FLOAT* values);
    D3DXMATRIX(const D3DMATRIX& matrix);
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24, FLOAT f31,
               FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44);

    FLOAT& operator()(UINT row, UINT column);
    FLOAT operator()(UINT row, UINT column) const;

    operator FLOAT*();
    operator const FLOAT*() const;

    D3DXMATRIX& operator*=(const D3DXMATRIX& matrix);
    D3DXMATRIX& operator+=(const D3DXMATRIX& matrix);
    D3DXMATRIX& operator-=(const D3DXMATRIX& matrix);
    D3DXMATRIX& operator*=(FLOAT f);
    D3DXMATRIX& operator/=(FLOAT f);

    D3DXMATRIX operator+() const;
    D3DXMATRIX operator-() const;

    D3DXMATRIX operator*(const D3DXMATRIX& matrix) const;
    D3DXMATRIX operator+(const D3DXMATRIX& matrix) const;
    D3DXMATRIX operator-(const D3DXMATRIX& matrix) const;
    D3DXMATRIX operator*(FLOAT f) const;
    D3DXMATRIX operator/(FLOAT f) const;

    friend D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX& matrix);

    BOOL operator==(const D3DXMATRIX& matrix) const;
    BOOL operator!=(const D3DXMATRIX& matrix) const;
};
typedef D3DXMATRIX* LPD3DXMATRIX;

static_assert(sizeof(D3DXVECTOR3) == 12, "D3DXVECTOR3 layout");
static_assert(sizeof(D3DXVECTOR4) == 16, "D3DXVECTOR4 layout");
static_assert(sizeof(D3DXMATRIX) == 64, "D3DXMATRIX layout");

extern "C" {

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut);
BOOL WINAPI D3DXMatrixIsIdentity(const D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                      const D3DXVECTOR3* pUp);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn, FLOAT zf);

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* pV);
FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);

}  // extern "C"
