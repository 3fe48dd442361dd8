// Tables of calls at the Direct3D 9 and D3DX boundary: each call's expected result, and no object
// left behind by a refusal.
#pragma once

#include <PlatformTesting/Direct3D.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace D3D9Test {

struct BoundaryCase {
    const char* call;
    std::function<HRESULT()> run;
    HRESULT expected;
};

inline BoundaryCase Case(const char* call, std::function<HRESULT()> run, HRESULT expected = D3DERR_INVALIDCALL) {
    return {call, std::move(run), expected};
}

inline void ExpectResults(const std::vector<BoundaryCase>& cases) {
    for (const BoundaryCase& test : cases) {
        const int before = PlatformTesting::LiveDirect3DObjects();
        EXPECT_EQ(test.run(), test.expected) << test.call;
        if (FAILED(test.expected)) {
            EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), before) << test.call;
        }
    }
}

}  // namespace D3D9Test
