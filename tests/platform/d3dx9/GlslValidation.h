// A translated program's GLSL, compiled and linked by glslang as OpenGL GLSL 4.50, as a driver will.
#pragma once

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace D3DX9Tests {

// An empty stage is the device's and is left out.
inline void ExpectValidGlsl(const std::string& vertexGlsl, const std::string& fragmentGlsl) {
    glslang::InitializeProcess();
    glslang::TShader vertex(EShLangVertex);
    glslang::TShader fragment(EShLangFragment);
    glslang::TProgram linked;
    for (auto [shader, text] : {std::pair(&vertex, &vertexGlsl), std::pair(&fragment, &fragmentGlsl)}) {
        if (text->empty()) continue;
        const char* source = text->c_str();
        shader->setStrings(&source, 1);
        shader->setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
        ASSERT_TRUE(shader->parse(GetDefaultResources(), 450, ECoreProfile, false, false, EShMsgDefault))
            << shader->getInfoLog() << "\n"
            << *text;
        linked.addShader(shader);
    }
    EXPECT_TRUE(linked.link(EShMsgDefault)) << linked.getInfoLog() << "\n" << vertexGlsl << "\n" << fragmentGlsl;
}

}  // namespace D3DX9Tests
