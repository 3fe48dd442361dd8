// How long D3DXCreateEffectFromFileW takes for our own effect files, cold and warm. Each creation
// is the first one in a process of its own, as a program meets it at start-up:
//   cold: the program cache and Mesa's shader cache off, every stage through glslang and
//         SPIRV-Cross; then every technique validated, which has the driver link every pass (a
//         pass is linked at its first use), timed apart;
//   warm: both caches filled by an earlier process.
// Then, without files named, each effect of assembly/ beside the same passes in HLSL.
// On a busy machine run it with a real-time priority, so that other work does not land in the
// figures: chrt -f 10 xvfb-run -a bench/effect_creation_bench [--runs N] [--json FILE] [FILE.fx...]
#include "ToolDevice.h"

#include <d3dx9.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

// The goals for a cold creation.
constexpr double kMedianGoalMs = 25;
constexpr double kMaxGoalMs = 200;

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Processor time of every thread of the process.
double ProcessorMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// In the child: one creation, its milliseconds on stdout; 1 when the effect fails.
int CreateOnce(const std::string& file) {
    NVeskTools::ToolDevice device;
    if (!device.Create()) {
        std::fprintf(stderr, "no Direct3D device (no display?)\n");
        return 2;
    }
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const auto start = std::chrono::steady_clock::now();
    const double processorStart = ProcessorMilliseconds();
    const HRESULT created =
        D3DXCreateEffectFromFileW(device.Get(), Wide(file).c_str(), nullptr, nullptr, 0, nullptr, &effect, &errors);
    const double processor = ProcessorMilliseconds() - processorStart;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (FAILED(created)) {
        std::fprintf(stderr, "%s: 0x%08lx\n%s", file.c_str(), static_cast<unsigned long>(created),
                     errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        return 1;
    }
    // The driver links each pass at its first use; ValidateTechnique uses every pass of a technique.
    const auto linkStart = std::chrono::steady_clock::now();
    D3DXEFFECT_DESC description {};
    effect->GetDesc(&description);
    for (UINT t = 0; t < description.Techniques; ++t)
        effect->ValidateTechnique(effect->GetTechnique(t));
    const std::chrono::duration<double, std::milli> linking = std::chrono::steady_clock::now() - linkStart;
    effect->Release();
    if (errors != nullptr) errors->Release();
    std::printf("%.3f %.3f %.3f\n", took.count(), processor, linking.count());
    return 0;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct Sample {
    double wall = -1;  // milliseconds; negative when the creation failed
    double processor = 0;
    double firstUse = 0;  // every pass linked by the driver afterwards
};

// One child process's creation.
Sample TimeInChild(const std::string& self, const std::string& file, const std::string& cacheSettings) {
    const std::string command = cacheSettings + " " + Quoted(self) + " --child " + Quoted(file);
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) return {};
    Sample sample;
    if (std::fscanf(child, "%lf %lf %lf", &sample.wall, &sample.processor, &sample.firstUse) != 3) sample.wall = -1;
    if (pclose(child) != 0) sample.wall = -1;
    return sample;
}

struct Timing {
    std::string file;
    std::vector<double> cold;
    std::vector<double> coldProcessor;
    std::vector<double> coldFirstUse;
    std::vector<double> warm;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Max(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::vector<std::string> DefaultFiles() {
    std::vector<std::string> files = {std::string(NVESK_SOURCE_DIR) + "/assets/effect.fx"};
    std::vector<std::string> ours;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(NVESK_SOURCE_DIR) + "/bench/effect_creation/effects"))
        if (entry.path().extension() == ".fx") ours.push_back(entry.path().string());
    std::sort(ours.begin(), ours.end());
    files.insert(files.end(), ours.begin(), ours.end());
    return files;
}

// Pairs of effects with the same passes, in assembly (NAME.asm.fx) and in HLSL (NAME.hlsl.fx).
std::vector<std::pair<std::string, std::string>> AssemblyPairs() {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::string folder = std::string(NVESK_SOURCE_DIR) + "/bench/effect_creation/assembly/";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string suffix = ".asm.fx";
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string hlsl = folder + name.substr(0, name.size() - suffix.size()) + ".hlsl.fx";
        if (std::filesystem::exists(hlsl)) pairs.emplace_back(entry.path().string(), hlsl);
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

void WriteJson(const std::string& path, const std::vector<Timing>& timings) {
    std::ofstream out(path);
    out << "{\n  \"goal_median_cold_ms\": " << kMedianGoalMs << ",\n  \"goal_max_cold_ms\": " << kMaxGoalMs
        << ",\n  \"files\": [\n";
    for (std::size_t i = 0; i < timings.size(); ++i) {
        const Timing& t = timings[i];
        out << "    {\"file\": \"" << std::filesystem::path(t.file).filename().string()
            << "\", \"cold_median_ms\": " << Median(t.cold) << ", \"cold_max_ms\": " << Max(t.cold)
            << ", \"cold_processor_median_ms\": " << Median(t.coldProcessor)
            << ", \"cold_first_use_links_median_ms\": " << Median(t.coldFirstUse)
            << ", \"warm_median_ms\": " << Median(t.warm) << "}" << (i + 1 < timings.size() ? "," : "") << "\n";
    }
    out << "  ]\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--child") return CreateOnce(argv[2]);
    int runs = 7;
    std::string json;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--json" && i + 1 < argc) {
            json = argv[++i];
        } else if (!argument.empty() && argument[0] == '-') {
            std::fprintf(stderr, "usage: %s [--runs N] [--json FILE] [FILE.fx...]\n", argv[0]);
            return 2;
        } else {
            files.push_back(argument);
        }
    }
    const bool defaultFiles = files.empty();
    if (defaultFiles) files = DefaultFiles();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    char folder[] = "/tmp/nvesk-effect-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 2;
    const std::string cold = "NVESK_SHADER_CACHE=off MESA_SHADER_CACHE_DISABLE=true";
    const std::string warm =
        "NVESK_SHADER_CACHE=" + Quoted(std::string(folder) + "/nvesk") +
        " MESA_SHADER_CACHE_DISABLE=false MESA_SHADER_CACHE_DIR=" + Quoted(std::string(folder) + "/mesa");

    bool failed = false;
    const auto timeFile = [&](const std::string& file) {
        Timing timing {file, {}, {}, {}, {}};
        TimeInChild(self, file, warm);  // fills the caches
        // Cold and warm in turns, so that a busy moment of the machine falls on both.
        for (int run = 0; run < runs; ++run) {
            const Sample coldRun = TimeInChild(self, file, cold);
            const Sample warmRun = TimeInChild(self, file, warm);
            if (coldRun.wall < 0 || warmRun.wall < 0) {
                failed = true;
                break;
            }
            timing.cold.push_back(coldRun.wall);
            timing.coldProcessor.push_back(coldRun.processor);
            timing.coldFirstUse.push_back(coldRun.firstUse);
            timing.warm.push_back(warmRun.wall);
        }
        return timing;
    };
    std::vector<Timing> timings;
    for (const std::string& file : files)
        timings.push_back(timeFile(file));
    // Each pair in turns as well: the assembly effect's runs, then the HLSL one's, then again.
    std::vector<std::pair<Timing, Timing>> pairs;
    if (defaultFiles) {
        for (const auto& [assembly, hlsl] : AssemblyPairs())
            pairs.emplace_back(timeFile(assembly), timeFile(hlsl));
    }
    std::filesystem::remove_all(folder);

    std::printf("Effect creation, each the first in its process (%d runs, milliseconds)\n", runs);
    std::printf("%-18s %12s %10s %15s %15s %12s\n", "file", "cold median", "cold max", "cold processor",
                "then all links", "warm median");
    std::vector<double> coldMedians;
    double coldMax = 0;
    for (const Timing& t : timings) {
        std::printf("%-18s %12.1f %10.1f %15.1f %15.1f %12.1f\n", std::filesystem::path(t.file).filename().c_str(),
                    Median(t.cold), Max(t.cold), Median(t.coldProcessor), Median(t.coldFirstUse), Median(t.warm));
        coldMedians.push_back(Median(t.cold));
        coldMax = std::max(coldMax, Max(t.cold));
    }
    const double median = Median(coldMedians);
    std::printf("median of the files' cold medians: %.1f ms (goal <= %.0f); slowest cold run: %.1f ms (goal <= %.0f)\n",
                median, kMedianGoalMs, coldMax, kMaxGoalMs);
    if (!pairs.empty()) {
        std::printf("\nAssembly passes against the same passes in HLSL (cold; goal: assembly / HLSL <= 1)\n");
        std::printf("%-18s %14s %12s %8s %14s %12s\n", "effect", "asm median", "HLSL median", "ratio", "asm processor",
                    "HLSL proc.");
        for (const auto& [assembly, hlsl] : pairs) {
            const double ratio = Median(assembly.cold) / Median(hlsl.cold);
            std::printf("%-18s %14.1f %12.1f %8.2f %14.1f %12.1f  %s\n",
                        std::filesystem::path(assembly.file).filename().c_str(), Median(assembly.cold),
                        Median(hlsl.cold), ratio, Median(assembly.coldProcessor), Median(hlsl.coldProcessor),
                        ratio <= 1.0 ? "met" : "NOT met");
        }
    }
    if (!json.empty()) WriteJson(json, timings);
    if (failed) {
        std::fprintf(stderr, "an effect failed to be created\n");
        return 1;
    }
    return 0;
}
