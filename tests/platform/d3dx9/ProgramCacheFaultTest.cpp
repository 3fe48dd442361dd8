// The compiled-program cache under the faults that processes sharing it meet: a folder that is
// read-only, a folder that is full, and two processes writing the same entry at once, 50 times.
// Each case still draws the right frame, says on stderr why nothing was kept, and never serves a
// program that is not whole. Each run is a process of its own, with a fresh in-memory cache.
#include "../d3d9/Direct3DTestSupport.h"

#include "CacheBytes.h"
#include "HlslCompiler.h"
#include "ProgramCache.h"
#include "support/Scenario.h"
#include "support/TempDir.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace nvesk::d3dx9;

namespace {

// One colour over the whole back buffer, from a vertex and a pixel shader.
const char kSolidEffect[] = R"(
float4 SolidVS(float3 position : POSITION) : POSITION { return float4(position, 1.0); }
float4 SolidPS() : COLOR0 { return float4(0.25, 0.5, 0.75, 1.0); }
technique Solid
{
    pass P0
    {
        VertexShader = compile vs_2_0 SolidVS();
        PixelShader = compile ps_2_0 SolidPS();
        CullMode = NONE;
        ZEnable = FALSE;
    }
}
)";
constexpr DWORD kSolidColour = 0xFF4080BF;

// Exit codes of the scenarios.
enum Outcome { kDrawn = 0, kNoMount = 77 };

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Makes `folder` read-only or full in a mount namespace of this process alone, so that the
// mounts end with it: a read-only tmpfs, or a 16 KiB tmpfs filled to its last byte. As root,
// permission bits would not stop a write; a read-only mount does.
bool MountFault(const std::string& fault, const std::filesystem::path& folder) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    if (fault == "read-only") return mount("tmpfs", folder.c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0;
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k") != 0) return false;
    std::FILE* filler = std::fopen((folder / "filler").c_str(), "wb");
    if (filler == nullptr) return false;
    const std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {}
    std::fclose(filler);
    return true;
}

// Where no mount can be made: a cache folder under a regular file (no folder can be made there,
// for root too), or a limit on the size of any file this process writes (what a full disk does to
// the next write, though the disk is not full).
std::filesystem::path SubstituteFault(const std::string& fault, const std::filesystem::path& folder) {
    if (fault == "file-parent") {
        std::ofstream(folder / "blocker") << "a file where the cache's parent folder would be";
        return folder / "blocker" / "cache";
    }
    signal(SIGXFSZ, SIG_IGN);
    const rlimit none {0, 0};
    setrlimit(RLIMIT_FSIZE, &none);
    return folder;
}

// Files of the cache left in `folder`: the parts of an entry that was not finished, and entries.
int CountFiles(const std::filesystem::path& folder, const std::string& ending) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            ++count;
    }
    return count;
}

// The solid effect drawn over a cleared 64 x 48 back buffer: kDrawn when every pixel has its colour.
int DrawSolid() {
    D3D9Test::Window window(64, 48);
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    if (!D3D9Test::CreateWindowedDevice(window.Handle(), &d3d, &device)) return 10;
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    int outcome = kDrawn;
    if (FAILED(D3DXCreateEffect(device, kSolidEffect, sizeof kSolidEffect, nullptr, nullptr, 0, nullptr, &effect,
                                &errors))) {
        outcome = 11;
    } else {
        const float quad[4][3] = {{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(D3DFVF_XYZ);
        effect->Begin(nullptr, 0);
        effect->BeginPass(0);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
        effect->EndPass();
        effect->End();
        device->EndScene();
        for (DWORD pixel : D3D9Test::ReadBackBuffer(device)) {
            if (pixel != kSolidColour) outcome = 12;
        }
        effect->Release();
    }
    if (errors != nullptr) errors->Release();
    device->Release();
    d3d->Release();
    return outcome;
}

// Argument: the fault ("none", "read-only", "full", "file-parent", "size-limit") and the cache folder.
NVESK_SCENARIO(cache_fault_draw) {
    const std::vector<std::string> words = Words(argument);
    if (words.size() < 2) return 2;
    const std::string& fault = words[0];
    std::filesystem::path folder = words[1];
    if (fault == "read-only" || fault == "full") {
        if (!MountFault(fault, folder)) return kNoMount;
    } else if (fault != "none") {
        folder = SubstituteFault(fault, folder);
    }
    setenv("NVESK_SHADER_CACHE", folder.c_str(), 1);
    const int drawn = DrawSolid();
    if (drawn != kDrawn) return drawn;
    // Nothing half-written stays; a folder that could not be written holds no entry.
    if (CountFiles(folder, ".tmp") != 0) return 21;
    if (fault != "none" && CountFiles(folder, ".program") != 0) return 22;
    return kDrawn;
}

// An entry of the cache as the effect's creation stored it: its key and, for a compiled program,
// the program (other entries, such as a preprocessed effect, have none).
struct Entry {
    std::filesystem::path file;
    std::string key;
    bool isProgram = false;
    CompiledProgram program;
};

// The entries of `folder`, read from the files themselves (magic, format, key, payload, checksum),
// so that whatever keys the compiler uses, the test writes the entries a drawing process reads.
std::vector<Entry> EntriesIn(const std::filesystem::path& folder) {
    const std::string version = CompilerVersion() + '\n';
    std::vector<Entry> entries;
    std::error_code error;
    for (const auto& found : std::filesystem::directory_iterator(folder, error)) {
        if (found.path().extension() != ".program") continue;
        std::ifstream in(found.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.size() < 20) continue;
        CacheReader reader(bytes, 8, bytes.size() - 8);
        std::uint32_t format = 0;
        std::string fullKey;
        std::string payload;
        if (!reader.U32(format) || !reader.Text(fullKey) || !reader.Text(payload)) continue;
        if (fullKey.compare(0, version.size(), version) != 0) continue;
        Entry entry;
        entry.file = found.path();
        entry.key = fullKey.substr(version.size());
        entry.isProgram = DeserializeProgram(payload, entry.program);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// A writer's own copy of a program: a comment at the end of a stage it has, which changes nothing
// it does, so that a reader can tell whose copy it got, and a mix of two is neither.
CompiledProgram WritersCopy(const CompiledProgram& program, int writer) {
    CompiledProgram copy = program;
    std::string& stage = copy.vertexGlsl.empty() ? copy.fragmentGlsl : copy.vertexGlsl;
    stage += "\n// written by writer " + std::to_string(writer) + "\n";
    return copy;
}

// Waits until `file` exists; false after 20 s.
bool WaitFor(const std::filesystem::path& file) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(file)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

// Argument: this writer's number (0 or 1), the cache folder and the rounds. In each round both
// writers meet, store every program entry of the folder at once and read it back: it must be one
// writer's copy, whole.
NVESK_SCENARIO(cache_writer) {
    const std::vector<std::string> words = Words(argument);
    if (words.size() != 3) return 2;
    const int writer = std::atoi(words[0].c_str());
    const std::filesystem::path folder = words[1];
    const int rounds = std::atoi(words[2].c_str());
    std::vector<Entry> programs;
    for (Entry& entry : EntriesIn(folder)) {
        if (entry.isProgram) programs.push_back(std::move(entry));
    }
    if (programs.empty()) return 30;
    const ProgramCache cache(folder, CompilerVersion());
    for (int round = 0; round < rounds; ++round) {
        const std::string prefix = "ready-" + std::to_string(round) + "-";
        std::ofstream(folder / (prefix + std::to_string(writer))) << writer;
        if (!WaitFor(folder / (prefix + std::to_string(1 - writer)))) return 31;
        for (const Entry& entry : programs) {
            if (!cache.Store(entry.key, WritersCopy(entry.program, writer))) return 32;
            const auto loaded = cache.Load(entry.key);
            if (loaded == nullptr) return 33;
            const std::string bytes = SerializeProgram(*loaded);
            if (bytes != SerializeProgram(WritersCopy(entry.program, writer)) &&
                bytes != SerializeProgram(WritersCopy(entry.program, 1 - writer))) {
                return 34;
            }
        }
    }
    return 0;
}

std::string CacheFolder(const TestSupport::TempDir& temp) {
    const std::filesystem::path folder = temp.Path() / "cache";
    std::filesystem::create_directories(folder);
    return folder.string();
}

int CountLines(const std::string& text, const std::string& start) {
    int count = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        count += line.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

struct FaultCase {
    const char* fault;       // as the scenario takes it
    const char* substitute;  // where no mount can be made
    const char* reason;      // what the stderr line gives as the cause
    const char* substituteReason;
};

class ProgramCacheFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(ProgramCacheFaults, TheFrameIsRightAndStderrSaysTheCacheCannotBeWritten) {
    const FaultCase& faultCase = GetParam();
    // The mount where this machine lets the test make one, and the substitute in any case.
    std::vector<std::pair<std::string, std::string>> runs;
    {
        TestSupport::TempDir temp;
        std::string errors;
        const int mounted = TestSupport::RunScenarioForErrors(
            "cache_fault_draw", std::string(faultCase.fault) + " " + CacheFolder(temp), errors);
        if (mounted == kNoMount) {
            std::cout << faultCase.fault << ": no mount can be made here; the substitute alone is run\n";
        } else {
            std::cout << faultCase.fault << ": a tmpfs mounted in the test's own mount namespace\n";
            EXPECT_EQ(mounted, kDrawn) << errors;
            runs.emplace_back(errors, faultCase.reason);
        }
    }
    {
        TestSupport::TempDir temp;
        std::string errors;
        EXPECT_EQ(TestSupport::RunScenarioForErrors(
                      "cache_fault_draw", std::string(faultCase.substitute) + " " + CacheFolder(temp), errors),
                  kDrawn)
            << errors;
        runs.emplace_back(errors, faultCase.substituteReason);
    }
    for (const auto& [errors, reason] : runs) {
        // One line for the folder, though both the preprocessed effect and the program were refused.
        EXPECT_EQ(CountLines(errors, "d3dx9: cannot write the program cache in "), 1) << errors;
        EXPECT_NE(errors.find(std::string("(") + reason + "); programs are compiled at every start"), std::string::npos)
            << errors;
    }
}

const FaultCase kFaultCases[] = {
    {"read-only", "file-parent", "Read-only file system", "Not a directory"},
    {"full", "size-limit", "No space left on device", "File too large"},
};
INSTANTIATE_TEST_SUITE_P(ProgramCache, ProgramCacheFaults, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.fault) == "full" ? "Full" : "ReadOnly";
                         });

TEST(ProgramCacheRace, TwoProcessesWritingOneEntryFiftyTimesLeaveAWholeProgram) {
    TestSupport::TempDir temp;
    const std::string folder = CacheFolder(temp);
    std::string errors;
    // A first process fills the cache with the entries its effect reads.
    ASSERT_EQ(TestSupport::RunScenarioForErrors("cache_fault_draw", "none " + folder, errors), kDrawn) << errors;
    const std::size_t entries = EntriesIn(folder).size();
    ASSERT_GE(entries, 1u);
    const std::vector<int> codes =
        TestSupport::RunScenariosTogether("cache_writer", {"0 " + folder + " 50", "1 " + folder + " 50"});
    EXPECT_EQ(codes, (std::vector<int> {0, 0})) << "30 no program entry, 31 the other never came, 32 not stored, "
                                                   "33 not read back, 34 read back neither writer's copy";
    EXPECT_EQ(CountFiles(folder, ".tmp"), 0);
    EXPECT_EQ(EntriesIn(folder).size(), entries) << "one file per entry";
    // The next process takes the entries as they stand and draws the right frame with them: it
    // found them whole, for it rewrote none (each still holds a writer's copy).
    EXPECT_EQ(TestSupport::RunScenarioForErrors("cache_fault_draw", "none " + folder, errors), kDrawn) << errors;
    EXPECT_EQ(errors.find("d3dx9: "), std::string::npos) << errors;
    EXPECT_EQ(EntriesIn(folder).size(), entries) << "the drawing process needed no entry of its own";
    for (const Entry& entry : EntriesIn(folder)) {
        if (!entry.isProgram) continue;
        const std::string& glsl =
            entry.program.vertexGlsl.empty() ? entry.program.fragmentGlsl : entry.program.vertexGlsl;
        EXPECT_NE(glsl.find("// written by writer "), std::string::npos) << entry.file;
    }
}

TEST(ProgramCacheRace, ADamagedEntryIsSaidOnceAndTheFrameIsRight) {
    TestSupport::TempDir temp;
    const std::string folder = CacheFolder(temp);
    std::string errors;
    ASSERT_EQ(TestSupport::RunScenarioForErrors("cache_fault_draw", "none " + folder, errors), kDrawn) << errors;
    const std::vector<Entry> written = EntriesIn(folder);
    ASSERT_GE(written.size(), 2u) << "the preprocessed effect and its programs";
    // Every entry cut short, as a disk that filled up under an older writer would leave it.
    for (const Entry& entry : written)
        std::filesystem::resize_file(entry.file, std::filesystem::file_size(entry.file) / 2);
    EXPECT_EQ(TestSupport::RunScenarioForErrors("cache_fault_draw", "none " + folder, errors), kDrawn) << errors;
    EXPECT_EQ(CountLines(errors, "d3dx9: the program cache entry "), 1) << errors;
    EXPECT_NE(errors.find(" is damaged; it is compiled again and rewritten"), std::string::npos) << errors;
    // Rewritten whole: every entry reads back, and the next process says nothing.
    const ProgramCache cache(folder, CompilerVersion());
    for (const Entry& entry : EntriesIn(folder))
        EXPECT_TRUE(cache.LoadBytes(entry.key).has_value()) << entry.file;
    EXPECT_EQ(EntriesIn(folder).size(), written.size());
    EXPECT_EQ(TestSupport::RunScenarioForErrors("cache_fault_draw", "none " + folder, errors), kDrawn) << errors;
    EXPECT_EQ(errors.find("d3dx9: "), std::string::npos) << errors;
}

}  // namespace
