#include "ProgramCache.h"

#include "CacheBytes.h"

#include <glslang/Public/ShaderLang.h>
#include <spirv-tools/libspirv.h>
#include <spirv_cross/spirv_cross_c.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <system_error>

namespace nvesk::d3dx9 {

namespace {

// Bumped whenever CompiledProgram, the file layout or the translation (the HLSL preamble) changes.
constexpr std::uint32_t kFormatVersion = 4;
constexpr char kMagic[8] = {'N', 'V', 'E', 'S', 'K', 'P', 'C', '\0'};

std::uint64_t Fnv1a(const char* data, std::size_t size) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

void WriteConstants(CacheWriter& out, const StageConstants& constants) {
    out.Text(constants.uniformName);
    out.U32(constants.registerCount);
    out.U32(static_cast<std::uint32_t>(constants.slots.size()));
    for (const ConstantSlot& slot : constants.slots) {
        out.Text(slot.name);
        out.U32(slot.offset);
        out.U32(slot.matrixStride);
        out.U32(slot.arrayStride);
        out.U32(slot.columnMajor ? 1 : 0);
        out.U32(static_cast<std::uint32_t>(slot.baseType));
    }
}

bool ReadConstants(CacheReader& in, StageConstants& constants) {
    std::uint32_t count = 0;
    if (!in.Text(constants.uniformName) || !in.U32(constants.registerCount) || !in.Count(count, 24)) return false;
    constants.slots.resize(count);
    for (ConstantSlot& slot : constants.slots) {
        std::uint32_t columnMajor = 0;
        std::uint32_t baseType = 0;
        if (!in.Text(slot.name) || !in.U32(slot.offset) || !in.U32(slot.matrixStride) || !in.U32(slot.arrayStride) ||
            !in.U32(columnMajor) || !in.U32(baseType) || columnMajor > 1 ||
            baseType > static_cast<std::uint32_t>(ConstantBaseType::Bool)) {
            return false;
        }
        slot.columnMajor = columnMajor != 0;
        slot.baseType = static_cast<ConstantBaseType>(baseType);
    }
    return true;
}

// The registers a stage writes or reads when the device supplies the other stage.
void WriteVaryings(CacheWriter& out, const std::vector<StageVarying>& varyings) {
    out.U32(static_cast<std::uint32_t>(varyings.size()));
    for (const StageVarying& varying : varyings) {
        out.U32(static_cast<std::uint32_t>(varying.usage));
        out.U32(static_cast<std::uint32_t>(varying.usageIndex));
        out.U32(varying.location);
    }
}

bool ReadVaryings(CacheReader& in, std::vector<StageVarying>& varyings) {
    std::uint32_t count = 0;
    if (!in.Count(count, 12)) return false;
    varyings.resize(count);
    for (StageVarying& varying : varyings) {
        if (!in.Number(varying.usage) || !in.Number(varying.usageIndex) || !in.U32(varying.location)) return false;
    }
    return true;
}

// One line on stderr per folder and kind of trouble: a cache that cannot be written would otherwise
// say so for every program of every effect.
void ReportOnce(const std::string& kind, const std::filesystem::path& folder, const std::string& line) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(kind + '\n' + folder.string()).second) return;
    std::fprintf(stderr, "d3dx9: %s\n", line.c_str());
    std::fflush(stderr);
}

// All of `bytes` into a new file; errno's code on failure (the file is then removed).
int WriteNewFile(const std::filesystem::path& path, const std::string& bytes) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file < 0) return errno;
    std::size_t written = 0;
    int failure = 0;
    while (written < bytes.size()) {
        const ssize_t step = ::write(file, bytes.data() + written, bytes.size() - written);
        if (step < 0 && errno == EINTR) continue;
        if (step <= 0) {
            failure = step < 0 ? errno : ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(step);
    }
    if (::close(file) != 0 && failure == 0) failure = errno;
    if (failure != 0) ::unlink(path.c_str());
    return failure;
}

bool ReadFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

}  // namespace

std::string ProgramKey(const std::string& hlsl, const ShaderCompileRequest& vertexShader,
                       const ShaderCompileRequest& pixelShader) {
    return vertexShader.profile + ' ' + vertexShader.entry + ' ' + pixelShader.profile + ' ' + pixelShader.entry +
           '\n' + hlsl;
}

std::string CompilerVersion() {
    static const std::string version = [] {
        const glslang::Version glslangVersion = glslang::GetVersion();
        unsigned major = 0;
        unsigned minor = 0;
        unsigned patch = 0;
        spvc_get_version(&major, &minor, &patch);
        return "format " + std::to_string(kFormatVersion) + "; glslang " + std::to_string(glslangVersion.major) + "." +
               std::to_string(glslangVersion.minor) + "." + std::to_string(glslangVersion.patch) +
               glslangVersion.flavor + "; SPIRV-Tools " + spvSoftwareVersionString() + "; SPIRV-Cross C API " +
               std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
    }();
    return version;
}

std::string SerializeProgram(const CompiledProgram& program) {
    CacheWriter out;
    out.Text(program.vertexGlsl);
    out.Text(program.fragmentGlsl);
    out.U32(static_cast<std::uint32_t>(program.vertexInputs.size()));
    for (const VertexInput& input : program.vertexInputs) {
        out.Text(input.glslName);
        out.U32(static_cast<std::uint32_t>(input.usage));
        out.U32(static_cast<std::uint32_t>(input.usageIndex));
    }
    out.Text(program.colorOutput);
    WriteConstants(out, program.vertexConstants);
    WriteConstants(out, program.pixelConstants);
    out.U32(static_cast<std::uint32_t>(program.samplers.size()));
    for (const std::string& sampler : program.samplers)
        out.Text(sampler);
    WriteVaryings(out, program.vertexOutputs);
    WriteVaryings(out, program.pixelInputs);
    return std::move(out.Bytes());
}

bool DeserializeProgram(const std::string& bytes, CompiledProgram& program) {
    CacheReader in(bytes, 0, bytes.size());
    std::uint32_t count = 0;
    if (!in.Text(program.vertexGlsl) || !in.Text(program.fragmentGlsl) || !in.Count(count, 12)) return false;
    program.vertexInputs.resize(count);
    for (VertexInput& input : program.vertexInputs) {
        if (!in.Text(input.glslName) || !in.Number(input.usage) || !in.Number(input.usageIndex)) return false;
    }
    if (!in.Text(program.colorOutput) || !ReadConstants(in, program.vertexConstants) ||
        !ReadConstants(in, program.pixelConstants) || !in.Count(count, 4)) {
        return false;
    }
    program.samplers.resize(count);
    for (std::string& sampler : program.samplers) {
        if (!in.Text(sampler)) return false;
    }
    return ReadVaryings(in, program.vertexOutputs) && ReadVaryings(in, program.pixelInputs) && in.AtEnd();
}

ProgramCache::ProgramCache(std::filesystem::path directory, std::string compilerVersion)
    : directory_(std::move(directory)), compilerVersion_(std::move(compilerVersion)) {}

std::optional<std::filesystem::path> ProgramCache::DirectoryFromEnvironment() {
    if (const char* chosen = std::getenv("NVESK_SHADER_CACHE"); chosen != nullptr) {
        if (*chosen == '\0' || std::strcmp(chosen, "off") == 0 || std::strcmp(chosen, "0") == 0) return std::nullopt;
        return std::filesystem::path(chosen);
    }
    // XDG cache folders are absolute; a relative value is ignored, as the freedesktop rules say.
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / "nvesk";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".cache" / "nvesk";
    }
    return std::nullopt;
}

std::string ProgramCache::FullKey(const std::string& key) const {
    return compilerVersion_ + '\n' + key;
}

std::filesystem::path ProgramCache::FileFor(const std::string& key) const {
    const std::string full = FullKey(key);
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.program",
                  static_cast<unsigned long long>(Fnv1a(full.data(), full.size())));
    return directory_ / name;
}

bool ProgramCache::HoldsPrograms() const {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory_, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().extension() == ".program") return true;
    }
    return false;
}

// File: magic, format version, key (text), payload (text), checksum of everything before it.
std::optional<std::string> ProgramCache::LoadBytes(const std::string& key) const {
    std::string bytes;
    const std::filesystem::path file = FileFor(key);
    if (!ReadFile(file, bytes)) return std::nullopt;
    const std::size_t body = bytes.size() < 8 ? 0 : bytes.size() - 8;
    CacheReader trailer(bytes, body, bytes.size());
    std::uint64_t checksum = 0;
    if (bytes.size() < sizeof kMagic + 4 + 8 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        !trailer.U64(checksum) || checksum != Fnv1a(bytes.data(), body)) {
        ReportOnce("damaged", directory_,
                   "the program cache entry " + file.string() + " is damaged; it is compiled again and rewritten");
        return std::nullopt;
    }
    CacheReader in(bytes, sizeof kMagic, body);
    std::uint32_t format = 0;
    std::string storedKey;
    std::string payload;
    if (!in.U32(format) || format != kFormatVersion || !in.Text(storedKey) || storedKey != FullKey(key) ||
        !in.Text(payload) || !in.AtEnd()) {
        return std::nullopt;
    }
    return payload;
}

std::shared_ptr<const CompiledProgram> ProgramCache::Load(const std::string& key) const {
    const std::optional<std::string> payload = LoadBytes(key);
    if (!payload) return nullptr;
    auto program = std::make_shared<CompiledProgram>();
    return DeserializeProgram(*payload, *program) ? program : nullptr;
}

bool ProgramCache::Store(const std::string& key, const CompiledProgram& program) const {
    return StoreBytes(key, SerializeProgram(program));
}

bool ProgramCache::StoreBytes(const std::string& key, const std::string& payload) const {
    CacheWriter out;
    out.Raw(kMagic, sizeof kMagic);
    out.U32(kFormatVersion);
    out.Text(FullKey(key));
    out.Text(payload);
    out.U64(Fnv1a(out.Bytes().data(), out.Bytes().size()));

    const auto refused = [this](const std::string& reason) {
        ReportOnce("write", directory_,
                   "cannot write the program cache in " + directory_.string() + " (" + reason +
                       "); programs are compiled at every start");
        return false;
    };
    std::error_code error;
    std::filesystem::create_directories(directory_, error);
    if (error) return refused(error.message());
    // A name of its own per writer: processes sharing the cache never write into one file, and a
    // reader finds the old entry or the new one whole, never a mix.
    static std::atomic<unsigned> counter {0};
    const std::filesystem::path target = FileFor(key);
    std::filesystem::path temporary = target;
    temporary += "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    if (const int failure = WriteNewFile(temporary, out.Bytes()); failure != 0) return refused(std::strerror(failure));
    std::filesystem::rename(temporary, target, error);
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(temporary, error);
        return refused(reason);
    }
    return true;
}

}  // namespace nvesk::d3dx9
