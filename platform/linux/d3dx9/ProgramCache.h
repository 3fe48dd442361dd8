// Compiled programs kept on disk between runs, so that a program's effects do not go through
// glslang and SPIRV-Cross again at every start. One file per program, named by a hash of its key
// (source text, entries, profiles and the compilers' versions); the file repeats the whole key and
// carries a checksum, so a damaged, truncated or colliding file reads as a miss and is rewritten.
// A damaged entry, and a folder that cannot be written (read-only, full), each say so once per
// process on stderr; the program is compiled as without the cache.
// Preprocessed effects are kept the same way, under keys of their own.
//
// Where: $NVESK_SHADER_CACHE when set ("off" turns the cache off), else $XDG_CACHE_HOME/nvesk,
// else ~/.cache/nvesk.
#pragma once

#include "HlslCompiler.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace nvesk::d3dx9 {

// What identifies a program apart from the compilers: the entries, the profiles and the HLSL.
std::string ProgramKey(const std::string& hlsl, const ShaderCompileRequest& vertexShader,
                       const ShaderCompileRequest& pixelShader);

// glslang, SPIRV-Tools and SPIRV-Cross versions and the cache's own format version.
std::string CompilerVersion();

// The program as bytes and back; false for bytes that are not a whole program.
std::string SerializeProgram(const CompiledProgram& program);
bool DeserializeProgram(const std::string& bytes, CompiledProgram& program);

class ProgramCache {
public:
    ProgramCache(std::filesystem::path directory, std::string compilerVersion);

    // The folder the environment names; empty when the cache is off or there is nowhere to put it.
    static std::optional<std::filesystem::path> DirectoryFromEnvironment();

    // The program stored for `key` by the same compilers; null when absent, damaged or another's.
    std::shared_ptr<const CompiledProgram> Load(const std::string& key) const;
    // Writes the file whole under a temporary name, then renames it into place; false on failure
    // (the cache is an optimisation: the caller carries on).
    bool Store(const std::string& key, const CompiledProgram& program) const;

    // Other results kept the same way under keys of their own (a preprocessed effect): the bytes
    // stored for `key`, absent when missing or damaged.
    std::optional<std::string> LoadBytes(const std::string& key) const;
    bool StoreBytes(const std::string& key, const std::string& payload) const;

    std::filesystem::path FileFor(const std::string& key) const;

    // Whether the folder holds a stored program (of any compilers): a program that ran here before
    // most likely finds its stages there.
    bool HoldsPrograms() const;

private:
    std::string FullKey(const std::string& key) const;

    std::filesystem::path directory_;
    std::string compilerVersion_;
};

}  // namespace nvesk::d3dx9
