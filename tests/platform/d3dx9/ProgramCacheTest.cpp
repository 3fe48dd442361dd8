// The compiled-program cache on disk: a hit gives back the program as compiled, a change of key or
// of compilers is a miss, a damaged or truncated file is ignored and rewritten, and the compiler
// reads and fills the cache the environment names.
#include "BuiltInEffects.h"

#include "EffectParser.h"
#include "HlslCompiler.h"
#include "ProgramCache.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

using namespace nvesk::d3dx9;

namespace {

struct Compiled {
    std::string key;
    std::shared_ptr<const CompiledProgram> program;
};

Compiled CompileFirstPass(const std::string& source) {
    const ParseResult parsed = ParseEffect(source);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    if (!parsed.ok) return {};
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult result =
        CompileProgram(parsed.description.hlsl, "memory", pass.vertexShader.compiled, pass.pixelShader.compiled);
    EXPECT_NE(result.program, nullptr) << result.errors;
    return {ProgramKey(parsed.description.hlsl, pass.vertexShader.compiled, pass.pixelShader.compiled), result.program};
}

void ExpectSameConstants(const StageConstants& a, const StageConstants& b) {
    EXPECT_EQ(a.uniformName, b.uniformName);
    EXPECT_EQ(a.registerCount, b.registerCount);
    ASSERT_EQ(a.slots.size(), b.slots.size());
    for (std::size_t i = 0; i < a.slots.size(); ++i) {
        EXPECT_EQ(a.slots[i].name, b.slots[i].name);
        EXPECT_EQ(a.slots[i].offset, b.slots[i].offset);
        EXPECT_EQ(a.slots[i].matrixStride, b.slots[i].matrixStride);
        EXPECT_EQ(a.slots[i].arrayStride, b.slots[i].arrayStride);
        EXPECT_EQ(a.slots[i].columnMajor, b.slots[i].columnMajor);
        EXPECT_EQ(a.slots[i].baseType, b.slots[i].baseType);
    }
}

void ExpectSameVaryings(const std::vector<StageVarying>& a, const std::vector<StageVarying>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].usage, b[i].usage);
        EXPECT_EQ(a[i].usageIndex, b[i].usageIndex);
        EXPECT_EQ(a[i].location, b[i].location);
    }
}

void ExpectSameProgram(const CompiledProgram& a, const CompiledProgram& b) {
    EXPECT_EQ(a.vertexGlsl, b.vertexGlsl);
    EXPECT_EQ(a.fragmentGlsl, b.fragmentGlsl);
    ASSERT_EQ(a.vertexInputs.size(), b.vertexInputs.size());
    for (std::size_t i = 0; i < a.vertexInputs.size(); ++i) {
        EXPECT_EQ(a.vertexInputs[i].glslName, b.vertexInputs[i].glslName);
        EXPECT_EQ(a.vertexInputs[i].usage, b.vertexInputs[i].usage);
        EXPECT_EQ(a.vertexInputs[i].usageIndex, b.vertexInputs[i].usageIndex);
    }
    EXPECT_EQ(a.colorOutput, b.colorOutput);
    ExpectSameConstants(a.vertexConstants, b.vertexConstants);
    ExpectSameConstants(a.pixelConstants, b.pixelConstants);
    EXPECT_EQ(a.samplers, b.samplers);
    ExpectSameVaryings(a.vertexOutputs, b.vertexOutputs);
    ExpectSameVaryings(a.pixelInputs, b.pixelInputs);
}

}  // namespace

TEST(ProgramCache, HitGivesBackTheProgramAsCompiled) {
    TestSupport::TempDir folder;
    // A pass with a pixel shader alone keeps the registers it reads for the device's vertex stage.
    const std::string pixelOnly =
        "float4 PS(float4 c : COLOR0, float2 t : TEXCOORD0) : COLOR0 { return c * t.x; }\n"
        "technique T { pass P { VertexShader = NULL; PixelShader = compile ps_2_0 PS(); } }\n";
    for (const std::string& source :
         {std::string(D3DX9Tests::kMeshEffect), std::string(D3DX9Tests::kAlphaTestEffect), pixelOnly}) {
        const Compiled compiled = CompileFirstPass(source);
        ASSERT_NE(compiled.program, nullptr);
        if (source == pixelOnly) {
            EXPECT_EQ(compiled.program->pixelInputs.size(), 2u);
        }
        EXPECT_TRUE(ProgramCache(folder.Path(), "v1").Store(compiled.key, *compiled.program));
        const auto loaded = ProgramCache(folder.Path(), "v1").Load(compiled.key);
        ASSERT_NE(loaded, nullptr);
        ExpectSameProgram(*loaded, *compiled.program);
    }
    // Only the finished files remain: no temporary is left behind.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_EQ(entry.path().extension(), ".program");
        ++files;
    }
    EXPECT_EQ(files, 3);
}

TEST(ProgramCache, KeyOrCompilerChangeIsAMiss) {
    TestSupport::TempDir folder;
    const Compiled compiled = CompileFirstPass(D3DX9Tests::kMeshEffect);
    ASSERT_NE(compiled.program, nullptr);
    const ProgramCache cache(folder.Path(), "glslang 1");
    ASSERT_TRUE(cache.Store(compiled.key, *compiled.program));
    EXPECT_EQ(cache.Load(compiled.key + " "), nullptr);
    EXPECT_EQ(ProgramCache(folder.Path(), "glslang 2").Load(compiled.key), nullptr);
    ASSERT_NE(cache.Load(compiled.key), nullptr);

    // A file of another key under this key's name (a hash collision) is not taken for it.
    const std::string other = compiled.key + "// other";
    std::filesystem::copy_file(cache.FileFor(compiled.key), cache.FileFor(other));
    EXPECT_EQ(cache.Load(other), nullptr);

    // The real compiler's version names every compiler in the chain.
    const std::string version = CompilerVersion();
    for (const char* part : {"format ", "glslang ", "SPIRV-Tools", "SPIRV-Cross"})
        EXPECT_NE(version.find(part), std::string::npos) << version;
}

TEST(ProgramCache, DamagedOrTruncatedFileIsIgnoredAndRewritten) {
    TestSupport::TempDir folder;
    const Compiled compiled = CompileFirstPass(D3DX9Tests::kAlphaTestEffect);
    ASSERT_NE(compiled.program, nullptr);
    const ProgramCache cache(folder.Path(), "v1");
    ASSERT_TRUE(cache.Store(compiled.key, *compiled.program));
    const std::filesystem::path file = cache.FileFor(compiled.key);
    const std::vector<std::uint8_t> good = TestSupport::ReadBytes(file);
    ASSERT_GT(good.size(), 100u);

    std::vector<std::vector<std::uint8_t>> damaged;
    for (std::size_t at : {std::size_t {0}, std::size_t {9}, good.size() / 2, good.size() - 1}) {
        damaged.push_back(good);
        damaged.back()[at] ^= 0x10;
    }
    for (std::size_t length : {std::size_t {0}, std::size_t {7}, good.size() / 2, good.size() - 1})
        damaged.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    damaged.push_back(good);
    damaged.back().push_back(0);

    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damage " + std::to_string(i));
        TestSupport::WriteBytes(file, damaged[i]);
        EXPECT_EQ(cache.Load(compiled.key), nullptr);
        ASSERT_TRUE(cache.Store(compiled.key, *compiled.program));
        EXPECT_EQ(TestSupport::ReadBytes(file), good);
        const auto loaded = cache.Load(compiled.key);
        ASSERT_NE(loaded, nullptr);
        ExpectSameProgram(*loaded, *compiled.program);
    }
}

TEST(ProgramCache, ProgramBytesCutShortOrPaddedAreRefused) {
    const Compiled compiled = CompileFirstPass(D3DX9Tests::kMeshEffect);
    ASSERT_NE(compiled.program, nullptr);
    const std::string bytes = SerializeProgram(*compiled.program);
    CompiledProgram back;
    ASSERT_TRUE(DeserializeProgram(bytes, back));
    ExpectSameProgram(back, *compiled.program);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        CompiledProgram cut;
        EXPECT_FALSE(DeserializeProgram(bytes.substr(0, length), cut)) << length;
    }
    EXPECT_FALSE(DeserializeProgram(bytes + '\0', back));
    // A count far beyond the bytes that follow is refused before anything is reserved for it.
    std::string huge = bytes;
    const std::size_t inputs = 8 + compiled.program->vertexGlsl.size() + compiled.program->fragmentGlsl.size();
    huge.replace(inputs, 4, "\xff\xff\xff\x7f", 4);
    EXPECT_FALSE(DeserializeProgram(huge, back));
}

TEST(ProgramCache, FolderComesFromTheEnvironment) {
    {
        TestSupport::ScopedEnvironment chosen("NVESK_SHADER_CACHE", "/tmp/somewhere");
        EXPECT_EQ(ProgramCache::DirectoryFromEnvironment(), std::filesystem::path("/tmp/somewhere"));
    }
    for (const char* off : {"off", "0", ""}) {
        TestSupport::ScopedEnvironment chosen("NVESK_SHADER_CACHE", off);
        EXPECT_EQ(ProgramCache::DirectoryFromEnvironment(), std::nullopt) << off;
    }
    TestSupport::ScopedEnvironment unset("NVESK_SHADER_CACHE", nullptr);
    {
        TestSupport::ScopedEnvironment xdg("XDG_CACHE_HOME", "/var/cache-home");
        EXPECT_EQ(ProgramCache::DirectoryFromEnvironment(), std::filesystem::path("/var/cache-home/nvesk"));
    }
    TestSupport::ScopedEnvironment relative("XDG_CACHE_HOME", "relative");
    TestSupport::ScopedEnvironment home("HOME", "/home/someone");
    EXPECT_EQ(ProgramCache::DirectoryFromEnvironment(), std::filesystem::path("/home/someone/.cache/nvesk"));
}

TEST(ProgramCache, CompilerReadsAndFillsTheCacheTheEnvironmentNames) {
    TestSupport::TempDir folder;
    const TestSupport::ScopedEnvironment chosen("NVESK_SHADER_CACHE", folder.Path().c_str());
    const ProgramCache cache(folder.Path(), CompilerVersion());

    // A source this process has not compiled yet: each stage compiled, then written to the cache
    // under the key of a program of that stage alone.
    const std::string fresh = std::string(D3DX9Tests::kMeshEffect) + "// filled\n";
    const std::uint64_t before = StageCompileCount();
    const Compiled compiled = CompileFirstPass(fresh);
    ASSERT_NE(compiled.program, nullptr);
    EXPECT_EQ(StageCompileCount(), before + 2);
    const ParseResult freshParsed = ParseEffect(fresh);
    ASSERT_TRUE(freshParsed.ok);
    const EffectPassDesc& freshPass = freshParsed.description.techniques.at(0).passes.at(0);
    const auto vertex =
        cache.Load(ProgramKey(freshParsed.description.hlsl, freshPass.vertexShader.compiled, ShaderCompileRequest()));
    const auto pixel =
        cache.Load(ProgramKey(freshParsed.description.hlsl, ShaderCompileRequest(), freshPass.pixelShader.compiled));
    ASSERT_NE(vertex, nullptr);
    ASSERT_NE(pixel, nullptr);
    EXPECT_EQ(vertex->vertexGlsl, compiled.program->vertexGlsl);
    EXPECT_TRUE(vertex->fragmentGlsl.empty());
    EXPECT_EQ(pixel->fragmentGlsl, compiled.program->fragmentGlsl);
    EXPECT_TRUE(pixel->vertexGlsl.empty());

    // Stages planted in the cache for another new source are taken from there, not compiled.
    const std::string planted = std::string(D3DX9Tests::kMeshEffect) + "// planted\n";
    const ParseResult parsed = ParseEffect(planted);
    ASSERT_TRUE(parsed.ok);
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    CompiledProgram markedVertex = *vertex;
    markedVertex.samplers.push_back("planted");
    ASSERT_TRUE(cache.Store(ProgramKey(parsed.description.hlsl, pass.vertexShader.compiled, ShaderCompileRequest()),
                            markedVertex));
    ASSERT_TRUE(
        cache.Store(ProgramKey(parsed.description.hlsl, ShaderCompileRequest(), pass.pixelShader.compiled), *pixel));
    const ProgramCompileResult served =
        CompileProgram(parsed.description.hlsl, "memory", pass.vertexShader.compiled, pass.pixelShader.compiled);
    ASSERT_NE(served.program, nullptr);
    EXPECT_EQ(StageCompileCount(), before + 2);
    // The vertex stage's samplers come first, then the pixel stage's it does not name.
    CompiledProgram expected = *compiled.program;
    expected.samplers = markedVertex.samplers;
    for (const std::string& sampler : pixel->samplers)
        expected.samplers.push_back(sampler);
    ExpectSameProgram(*served.program, expected);
}

// The compiler's tables are built ahead of the first effect only where the cache cannot serve:
// off, missing, empty, or holding nothing but another writer's unfinished file.
TEST(ProgramCache, CompilerStartsAheadOnlyWhereNoProgramIsStored) {
    TestSupport::TempDir folder;
    const ProgramCache cache(folder.Path() / "programs", CompilerVersion());
    {
        const TestSupport::ScopedEnvironment off("NVESK_SHADER_CACHE", "off");
        EXPECT_TRUE(StartCompiler());
    }
    const TestSupport::ScopedEnvironment chosen("NVESK_SHADER_CACHE", (folder.Path() / "programs").c_str());
    EXPECT_FALSE(cache.HoldsPrograms()) << "no folder yet";
    EXPECT_TRUE(StartCompiler());
    std::filesystem::create_directories(folder.Path() / "programs");
    { std::ofstream(folder.Path() / "programs" / "0123456789abcdef.program.77.0.tmp") << "half"; }
    EXPECT_FALSE(cache.HoldsPrograms()) << "a write under way is not a program";
    EXPECT_TRUE(StartCompiler());

    const Compiled compiled = CompileFirstPass(std::string(D3DX9Tests::kMeshEffect) + "// stored\n");
    ASSERT_NE(compiled.program, nullptr);
    ASSERT_TRUE(cache.Store(compiled.key, *compiled.program));
    EXPECT_TRUE(cache.HoldsPrograms());
    EXPECT_FALSE(StartCompiler());
}
