// A device made for each test, and the one effect a test creates on it, released at the end
// with a check that nothing else still holds it.
#pragma once

#include "../d3d9/Direct3DTestSupport.h"

#include <d3dx9.h>

namespace D3DX9Tests {

class EffectDeviceTest : public D3D9Test::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }

    void TearDown() override {
        if (effect_ != nullptr) {
            EXPECT_EQ(effect_->Release(), 0u);
            effect_ = nullptr;
        }
        DeviceTest::TearDown();
    }

    ID3DXEffect* effect_ = nullptr;
};

}  // namespace D3DX9Tests
