// D3DX maths against values worked out independently of the implementation: geometric facts
// (where a transform must send known points) and the numbers the mesh scene relies on.
#include <d3dx9math.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectVector(const D3DXVECTOR3& actual, float x, float y, float z, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
    EXPECT_NEAR(actual.z, z, tolerance);
}

D3DXVECTOR3 Transform(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    EXPECT_EQ(D3DXVec3TransformCoord(&out, &v, &m), &out);
    return out;
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tolerance = kTolerance) {
    for (UINT r = 0; r < 4; ++r) {
        for (UINT c = 0; c < 4; ++c)
            EXPECT_NEAR(a(r, c), b(r, c), tolerance) << "row " << r << " column " << c;
    }
}

}  // namespace

TEST(D3DXMath, LightDirectionNormalisesAndTurnsAboutTheViewingAxis) {
    D3DXVECTOR3 light(0.0f, 10.0f, -5.0f);
    EXPECT_EQ(D3DXVec3Normalize(&light, &light), &light);
    ExpectVector(light, 0.0f, 0.894427f, -0.447214f, 1e-6f);
    EXPECT_NEAR(D3DXVec3Length(&light), 1.0f, 1e-6f);

    // Sixty frames whose times add up to a quarter turn.
    const float step = static_cast<float>(3.14159265358979 / 2.0 / 60.0);
    for (int frame = 0; frame < 60; ++frame) {
        D3DXMATRIX rotation;
        D3DXMatrixRotationZ(&rotation, step);
        D3DXVec3TransformCoord(&light, &light, &rotation);
    }
    ExpectVector(light, -0.894427f, 0.0f, -0.447214f, 1e-4f);

    D3DXVECTOR3 zero(0, 0, 0);
    D3DXVec3Normalize(&zero, &zero);
    ExpectVector(zero, 0, 0, 0, 0);
}

TEST(D3DXMath, RotationsTurnAxesTheLeftHandedWay) {
    const float quarter = static_cast<float>(3.14159265358979 / 2.0);
    D3DXMATRIX x, y, z;
    D3DXMatrixRotationX(&x, quarter);
    D3DXMatrixRotationY(&y, quarter);
    D3DXMatrixRotationZ(&z, quarter);
    // Looking down the positive axis, a positive angle turns clockwise.
    ExpectVector(Transform(D3DXVECTOR3(0, 1, 0), x), 0, 0, 1);
    ExpectVector(Transform(D3DXVECTOR3(0, 0, 1), y), 1, 0, 0);
    ExpectVector(Transform(D3DXVECTOR3(1, 0, 0), z), 0, 1, 0);

    // Two turns about one axis add up.
    D3DXMATRIX a, b, sum, product;
    D3DXMatrixRotationY(&a, 0.3f);
    D3DXMatrixRotationY(&b, 0.9f);
    D3DXMatrixRotationY(&sum, 1.2f);
    EXPECT_EQ(D3DXMatrixMultiply(&product, &a, &b), &product);
    ExpectMatrixNear(product, sum);
}

TEST(D3DXMath, MultiplyAppliesTheLeftFactorFirstAndMayWriteIntoAFactor) {
    D3DXMATRIX translate, rotate;
    D3DXMatrixTranslation(&translate, 5, 0, 0);
    D3DXMatrixRotationZ(&rotate, static_cast<float>(3.14159265358979 / 2.0));
    D3DXMATRIX both;
    D3DXMatrixMultiply(&both, &translate, &rotate);
    // Row vectors: first moved to (5,0,0), then turned to (0,5,0).
    ExpectVector(Transform(D3DXVECTOR3(0, 0, 0), both), 0, 5, 0);

    D3DXMATRIX inPlace = translate;
    D3DXMatrixMultiply(&inPlace, &inPlace, &rotate);
    ExpectMatrixNear(inPlace, both, 0);
    D3DXMATRIX inPlaceRight = rotate;
    D3DXMatrixMultiply(&inPlaceRight, &translate, &inPlaceRight);
    ExpectMatrixNear(inPlaceRight, both, 0);
}

TEST(D3DXMath, LookAtPutsTheEyeAtTheOriginLookingDownPositiveZ) {
    const D3DXVECTOR3 eye(0, 5, -20), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    EXPECT_EQ(D3DXMatrixLookAtLH(&view, &eye, &at, &up), &view);
    ExpectVector(Transform(eye, view), 0, 0, 0);
    ExpectVector(Transform(at, view), 0, 0, std::sqrt(425.0f), 1e-4f);
    // A point to the right of the target stays to the right (left-handed).
    EXPECT_GT(Transform(D3DXVECTOR3(1, 0, 0), view).x, 0.99f);
    EXPECT_NEAR(view._44, 1.0f, 0);
    EXPECT_NEAR(view._14, 0.0f, 0);
}

TEST(D3DXMath, PerspectiveMapsTheFrustumToTheUnitVolume) {
    const float aspect = 800.0f / 600.0f;
    EXPECT_EQ(aspect, 1.3333334f);
    const float fov = 0.7853982f;
    D3DXMATRIX projection;
    EXPECT_EQ(D3DXMatrixPerspectiveFovLH(&projection, fov, aspect, 1.0f, 100.0f), &projection);
    EXPECT_NEAR(projection._22, 2.4142137f, 1e-5f);
    EXPECT_NEAR(projection._11, 1.8106601f, 1e-5f);
    EXPECT_EQ(projection._34, 1.0f);
    EXPECT_EQ(projection._44, 0.0f);
    ExpectVector(Transform(D3DXVECTOR3(0, 0, 1), projection), 0, 0, 0);
    ExpectVector(Transform(D3DXVECTOR3(0, 0, 100), projection), 0, 0, 1);
    // The top and right edges of the view at depth 10.
    const float halfHeight = 10.0f * std::tan(fov / 2.0f);
    ExpectVector(Transform(D3DXVECTOR3(halfHeight * aspect, halfHeight, 10), projection), 1, 1,
                 (10.0f - 1.0f) * 100.0f / (99.0f * 10.0f));
}

TEST(D3DXMath, OrthoOffCenterMapsPixelsToClipSpace) {
    D3DXMATRIX projection;
    EXPECT_EQ(D3DXMatrixOrthoOffCenterLH(&projection, 0, 800, 600, 0, 0, 1), &projection);
    ExpectVector(Transform(D3DXVECTOR3(0, 0, 0.5f), projection), -1, 1, 0.5f);
    ExpectVector(Transform(D3DXVECTOR3(800, 600, 0), projection), 1, -1, 0);
    ExpectVector(Transform(D3DXVECTOR3(400, 300, 1), projection), 0, 0, 1);
}

TEST(D3DXMath, MatrixOperatorsMatchTheFunctions) {
    D3DXMATRIX a, b;
    D3DXMatrixRotationX(&a, 0.7f);
    D3DXMatrixTranslation(&b, 1, 2, 3);
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &a, &b);
    ExpectMatrixNear(a * b, product, 0);
    D3DXMATRIX accumulated = a;
    accumulated *= b;
    ExpectMatrixNear(accumulated, product, 0);

    const D3DXMATRIX twice = a + a;
    ExpectMatrixNear(twice, a * 2.0f, 0);
    ExpectMatrixNear(twice, 2.0f * a, 0);
    ExpectMatrixNear(twice / 2.0f, a, 0);
    ExpectMatrixNear(twice - a, a, 0);
    ExpectMatrixNear(-a + a, D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_TRUE(a == +a);
    EXPECT_TRUE(a != b);

    D3DXMATRIX indexed(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(indexed(1, 2), 7.0f);
    EXPECT_EQ(indexed._43, 15.0f);
    indexed(3, 0) = -1.0f;
    EXPECT_EQ(indexed._41, -1.0f);
    const FLOAT* flat = indexed;
    EXPECT_EQ(flat[5], 6.0f);
    EXPECT_TRUE(D3DXMATRIX(flat) == indexed);

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&identity));
    EXPECT_FALSE(D3DXMatrixIsIdentity(&indexed));
    ExpectMatrixNear(identity * a, a, 0);
}

TEST(D3DXMath, VectorOperatorsAndProducts) {
    const D3DXVECTOR3 a(1, 2, 3), b(4, -5, 6);
    ExpectVector(a + b, 5, -3, 9, 0);
    ExpectVector(a - b, -3, 7, -3, 0);
    ExpectVector(a * 2.0f, 2, 4, 6, 0);
    ExpectVector(2.0f * a, 2, 4, 6, 0);
    ExpectVector(b / 2.0f, 2, -2.5f, 3, 0);
    ExpectVector(-a, -1, -2, -3, 0);
    D3DXVECTOR3 c = a;
    c += b;
    c -= a;
    EXPECT_TRUE(c == b);
    EXPECT_TRUE(c != a);
    EXPECT_EQ(D3DXVec3Dot(&a, &b), 12.0f);
    D3DXVECTOR3 cross;
    D3DXVec3Cross(&cross, &a, &b);
    ExpectVector(cross, 27, 6, -13, 0);

    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2, 3, 4);
    D3DXVECTOR3 normal;
    D3DXMATRIX moveAndScale = scale * D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 7, 7, 1);
    D3DXVec3TransformNormal(&normal, &a, &moveAndScale);
    ExpectVector(normal, 2, 6, 12, 0);
    // A projective w divides the point.
    const D3DXMATRIX halve(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2);
    ExpectVector(Transform(a, halve), 0.5f, 1, 1.5f, 0);
}

TEST(D3DXMath, TheMeshOrientationHasTheExpectedAngles) {
    const float pi = 3.1415927f;
    D3DXMATRIX x, z, y, world;
    D3DXMatrixRotationX(&x, pi / 2 + 0.9f);
    D3DXMatrixRotationZ(&z, pi);
    D3DXMatrixRotationY(&y, pi + 0.2f);
    world = x * z * y;
    // Each rotation is orthonormal, so the product keeps lengths and has determinant 1.
    const D3DXVECTOR3 v(0.3f, -0.4f, 1.2f);
    D3DXVECTOR3 turned = Transform(v, world);
    EXPECT_NEAR(D3DXVec3Length(&turned), D3DXVec3Length(&v), 1e-5f);
    D3DXVECTOR3 row0(world._11, world._12, world._13), row1(world._21, world._22, world._23),
        row2(world._31, world._32, world._33), cross;
    D3DXVec3Cross(&cross, &row0, &row1);
    EXPECT_NEAR(D3DXVec3Dot(&cross, &row2), 1.0f, 1e-5f);
    // The x axis: unchanged by X, reversed by Z, then turned 180.2 degrees about Y.
    ExpectVector(Transform(D3DXVECTOR3(1, 0, 0), world), 0.980067f, 0, -0.198669f);
}
