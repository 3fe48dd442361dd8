// The source wrapping that carries the half-pixel shift and the alpha test into effect programs.
#include "d3d9/ShaderWrapping.h"

#include <gtest/gtest.h>

namespace {

using nvesk::d3d9::WrapFragmentShader;
using nvesk::d3d9::WrapVertexShader;

TEST(ShaderWrapping, TheUserMainRunsFirstAndTheShiftFollows) {
    std::string wrapped;
    std::string error;
    ASSERT_TRUE(
        WrapVertexShader("// generated\n#version 450\nvoid main() { gl_Position = vec4(0); }\n", &wrapped, &error));
    const size_t version = wrapped.find("#version 450");
    const size_t rename = wrapped.find("#define main nvesk_user_main");
    const size_t userMain = wrapped.find("void main() { gl_Position");
    const size_t ourMain = wrapped.find("void main() {\n    nvesk_user_main();");
    ASSERT_NE(rename, std::string::npos);
    EXPECT_LT(version, rename);
    EXPECT_LT(rename, userMain);
    EXPECT_LT(userMain, wrapped.find("#undef main"));
    EXPECT_LT(wrapped.find("#undef main"), ourMain);
    EXPECT_NE(wrapped.find("gl_Position.xy += nvesk_PixelOffset * gl_Position.w"), std::string::npos);
}

TEST(ShaderWrapping, TheAlphaTestReadsTheColourOutput) {
    std::string wrapped;
    std::string error;
    const std::string fragment = "#version 450\nlayout(location = 0) out vec4 _entryPointOutput;\nvoid main() {}\n";
    ASSERT_TRUE(WrapFragmentShader(fragment, "", &wrapped, &error)) << error;
    EXPECT_NE(wrapped.find("clamp(_entryPointOutput.a"), std::string::npos);
    ASSERT_TRUE(WrapFragmentShader(fragment, "named", &wrapped, &error));
    EXPECT_NE(wrapped.find("clamp(named.a"), std::string::npos);
}

TEST(ShaderWrapping, RefusesSourcesItCannotWrap) {
    std::string wrapped;
    std::string error;
    EXPECT_FALSE(WrapVertexShader("void main() {}\n", &wrapped, &error));
    EXPECT_NE(error.find("#version"), std::string::npos);
    EXPECT_FALSE(WrapVertexShader("#version 450\nuniform float nvesk_x;\nvoid main() {}\n", &wrapped, &error));
    EXPECT_FALSE(WrapFragmentShader("#version 450\nout vec4 a;\nout vec4 b;\nvoid main() {}\n", "", &wrapped, &error));
    EXPECT_FALSE(WrapFragmentShader("#version 450\nvoid main() {}\n", "", &wrapped, &error));
}

}  // namespace
