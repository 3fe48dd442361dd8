// D3DX maths with the published definitions: row vectors (v' = v * M), left-handed.
#include <d3dx9math.h>

#include <cmath>
#include <cstring>

// --- D3DXVECTOR3 ---

D3DXVECTOR3::D3DXVECTOR3(const FLOAT* values) {
    x = values[0];
    y = values[1];
    z = values[2];
}
D3DXVECTOR3::D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
D3DXVECTOR3::D3DXVECTOR3(FLOAT vx, FLOAT vy, FLOAT vz) {
    x = vx;
    y = vy;
    z = vz;
}
D3DXVECTOR3::operator FLOAT*() {
    return &x;
}
D3DXVECTOR3::operator const FLOAT*() const {
    return &x;
}

D3DXVECTOR3& D3DXVECTOR3::operator+=(const D3DXVECTOR3& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
}
D3DXVECTOR3& D3DXVECTOR3::operator-=(const D3DXVECTOR3& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
}
D3DXVECTOR3& D3DXVECTOR3::operator*=(FLOAT f) {
    x *= f;
    y *= f;
    z *= f;
    return *this;
}
D3DXVECTOR3& D3DXVECTOR3::operator/=(FLOAT f) {
    const FLOAT inverse = 1.0f / f;
    return *this *= inverse;
}
D3DXVECTOR3 D3DXVECTOR3::operator+() const {
    return *this;
}
D3DXVECTOR3 D3DXVECTOR3::operator-() const {
    return D3DXVECTOR3(-x, -y, -z);
}
D3DXVECTOR3 D3DXVECTOR3::operator+(const D3DXVECTOR3& v) const {
    return D3DXVECTOR3(*this) += v;
}
D3DXVECTOR3 D3DXVECTOR3::operator-(const D3DXVECTOR3& v) const {
    return D3DXVECTOR3(*this) -= v;
}
D3DXVECTOR3 D3DXVECTOR3::operator*(FLOAT f) const {
    return D3DXVECTOR3(*this) *= f;
}
D3DXVECTOR3 D3DXVECTOR3::operator/(FLOAT f) const {
    return D3DXVECTOR3(*this) /= f;
}
D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3& v) {
    return v * f;
}
BOOL D3DXVECTOR3::operator==(const D3DXVECTOR3& v) const {
    return x == v.x && y == v.y && z == v.z;
}
BOOL D3DXVECTOR3::operator!=(const D3DXVECTOR3& v) const {
    return !(*this == v);
}

// --- D3DXVECTOR4 ---

D3DXVECTOR4::D3DXVECTOR4(const FLOAT* values) : x(values[0]), y(values[1]), z(values[2]), w(values[3]) {}
D3DXVECTOR4::D3DXVECTOR4(const D3DVECTOR& xyz, FLOAT vw) : x(xyz.x), y(xyz.y), z(xyz.z), w(vw) {}
D3DXVECTOR4::D3DXVECTOR4(FLOAT vx, FLOAT vy, FLOAT vz, FLOAT vw) : x(vx), y(vy), z(vz), w(vw) {}
D3DXVECTOR4::operator FLOAT*() {
    return &x;
}
D3DXVECTOR4::operator const FLOAT*() const {
    return &x;
}
BOOL D3DXVECTOR4::operator==(const D3DXVECTOR4& v) const {
    return x == v.x && y == v.y && z == v.z && w == v.w;
}
BOOL D3DXVECTOR4::operator!=(const D3DXVECTOR4& v) const {
    return !(*this == v);
}

// --- D3DXMATRIX ---

D3DXMATRIX::D3DXMATRIX(const FLOAT* values) {
    std::memcpy(m, values, sizeof(m));
}
D3DXMATRIX::D3DXMATRIX(const D3DMATRIX& matrix) : D3DMATRIX(matrix) {}
D3DXMATRIX::D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
                       FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
    _11 = f11;
    _12 = f12;
    _13 = f13;
    _14 = f14;
    _21 = f21;
    _22 = f22;
    _23 = f23;
    _24 = f24;
    _31 = f31;
    _32 = f32;
    _33 = f33;
    _34 = f34;
    _41 = f41;
    _42 = f42;
    _43 = f43;
    _44 = f44;
}
FLOAT& D3DXMATRIX::operator()(UINT row, UINT column) {
    return m[row][column];
}
FLOAT D3DXMATRIX::operator()(UINT row, UINT column) const {
    return m[row][column];
}
D3DXMATRIX::operator FLOAT*() {
    return &_11;
}
D3DXMATRIX::operator const FLOAT*() const {
    return &_11;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& matrix) {
    D3DXMatrixMultiply(this, this, &matrix);
    return *this;
}
D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& matrix) {
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] += matrix.m[i / 4][i % 4];
    return *this;
}
D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& matrix) {
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] -= matrix.m[i / 4][i % 4];
    return *this;
}
D3DXMATRIX& D3DXMATRIX::operator*=(FLOAT f) {
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] *= f;
    return *this;
}
D3DXMATRIX& D3DXMATRIX::operator/=(FLOAT f) {
    const FLOAT inverse = 1.0f / f;
    return *this *= inverse;
}
D3DXMATRIX D3DXMATRIX::operator+() const {
    return *this;
}
D3DXMATRIX D3DXMATRIX::operator-() const {
    return D3DXMATRIX(*this) *= -1.0f;
}
D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& matrix) const {
    return D3DXMATRIX(*this) *= matrix;
}
D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& matrix) const {
    return D3DXMATRIX(*this) += matrix;
}
D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& matrix) const {
    return D3DXMATRIX(*this) -= matrix;
}
D3DXMATRIX D3DXMATRIX::operator*(FLOAT f) const {
    return D3DXMATRIX(*this) *= f;
}
D3DXMATRIX D3DXMATRIX::operator/(FLOAT f) const {
    return D3DXMATRIX(*this) /= f;
}
D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX& matrix) {
    return matrix * f;
}
BOOL D3DXMATRIX::operator==(const D3DXMATRIX& matrix) const {
    return std::memcmp(m, matrix.m, sizeof(m)) == 0;
}
BOOL D3DXMATRIX::operator!=(const D3DXMATRIX& matrix) const {
    return !(*this == matrix);
}

// --- functions ---

extern "C" {

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut) {
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return pOut;
}

BOOL WINAPI D3DXMatrixIsIdentity(const D3DXMATRIX* pM) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return *pM == identity;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
    D3DXMATRIX product;  // pOut may be one of the factors
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += pM1->m[row][k] * pM2->m[k][column];
            product.m[row][column] = sum;
        }
    }
    *pOut = product;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
    D3DXMATRIX transposed;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column)
            transposed.m[row][column] = pM->m[column][row];
    }
    *pOut = transposed;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
    *pOut = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle) {
    const float c = std::cos(Angle);
    const float s = std::sin(Angle);
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle) {
    const float c = std::cos(Angle);
    const float s = std::sin(Angle);
    *pOut = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle) {
    const float c = std::cos(Angle);
    const float s = std::sin(Angle);
    *pOut = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                      const D3DXVECTOR3* pUp) {
    D3DXVECTOR3 zAxis = *pAt - *pEye;
    D3DXVec3Normalize(&zAxis, &zAxis);
    D3DXVECTOR3 xAxis;
    D3DXVec3Cross(&xAxis, pUp, &zAxis);
    D3DXVec3Normalize(&xAxis, &xAxis);
    D3DXVECTOR3 yAxis;
    D3DXVec3Cross(&yAxis, &zAxis, &xAxis);
    *pOut = D3DXMATRIX(xAxis.x, yAxis.x, zAxis.x, 0, xAxis.y, yAxis.y, zAxis.y, 0, xAxis.z, yAxis.z, zAxis.z, 0,
                       -D3DXVec3Dot(&xAxis, pEye), -D3DXVec3Dot(&yAxis, pEye), -D3DXVec3Dot(&zAxis, pEye), 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
    const float yScale = 1.0f / std::tan(fovy / 2.0f);
    const float xScale = yScale / Aspect;
    const float depth = zf / (zf - zn);
    *pOut = D3DXMATRIX(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, depth, 1, 0, 0, -zn * depth, 0);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                              FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, 1.0f / (zf - zn), 0, (l + r) / (l - r),
                       (t + b) / (b - t), zn / (zn - zf), 1);
    return pOut;
}

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* pV) {
    return std::sqrt(D3DXVec3Dot(pV, pV));
}

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    const D3DXVECTOR3 cross(pV1->y * pV2->z - pV1->z * pV2->y, pV1->z * pV2->x - pV1->x * pV2->z,
                            pV1->x * pV2->y - pV1->y * pV2->x);
    *pOut = cross;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
    const float length = D3DXVec3Length(pV);
    // A zero vector has no direction: it stays zero rather than becoming NaN.
    *pOut = length == 0.0f ? D3DXVECTOR3(0, 0, 0) : *pV / length;
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    const D3DXVECTOR4 result(pV->x * pM->_11 + pV->y * pM->_21 + pV->z * pM->_31 + pM->_41,
                             pV->x * pM->_12 + pV->y * pM->_22 + pV->z * pM->_32 + pM->_42,
                             pV->x * pM->_13 + pV->y * pM->_23 + pV->z * pM->_33 + pM->_43,
                             pV->x * pM->_14 + pV->y * pM->_24 + pV->z * pM->_34 + pM->_44);
    *pOut = result;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, pV, pM);
    *pOut = D3DXVECTOR3(h.x / h.w, h.y / h.w, h.z / h.w);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    const D3DXVECTOR3 result(pV->x * pM->_11 + pV->y * pM->_21 + pV->z * pM->_31,
                             pV->x * pM->_12 + pV->y * pM->_22 + pV->z * pM->_32,
                             pV->x * pM->_13 + pV->y * pM->_23 + pV->z * pM->_33);
    *pOut = result;
    return pOut;
}

}  // extern "C"
