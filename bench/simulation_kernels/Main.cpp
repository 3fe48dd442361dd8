// A fire step (spread + pixels) and a water step (drop when due + spread + refraction) at every level
// of vector instructions this processor runs (only NVESK_SIMD's when it is set), and plainly, each
// against one memcpy of the bytes the step touches, in one run; then a table of wall and processor
// time, the ratios to memcpy and each level's goal beside them.
//   simulation_bench [--json FILE] [Google Benchmark flags]
// Without --benchmark_repetitions it runs 7 repetitions of each, taken in random turns, and the
// table shows their medians.
#include "app/FireTexture.h"
#include "app/SimulationLevel.h"
#include "app/SimulationReference.h"
#include "app/WaterTexture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using SimulationKernels::Level;

constexpr int kSize = 256;
constexpr int kPitch = kSize * 4;
constexpr std::size_t kTextureBytes = static_cast<std::size_t>(kPitch) * kSize;
// The fire's two byte grids and its texture; the water's two int grids, its source and its texture.
constexpr std::size_t kFireBytes = 2 * kSize * kSize + kTextureBytes;
constexpr std::size_t kWaterBytes = 2 * kSize * kSize * sizeof(std::int32_t) + 2 * kTextureBytes;

void Memcpy(benchmark::State& state, std::size_t bytes) {
    std::vector<std::uint8_t> from(bytes, 1);
    std::vector<std::uint8_t> to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// `level` empty: the plain step.
void FireStep(benchmark::State& state, std::optional<Level> level) {
    FireTexture fire;
    if (level) fire.kernels = *level;
    std::vector<std::uint8_t> pixels(kTextureBytes);
    // A fire that has burned for a while.
    for (int i = 0; i < 300; ++i) {
        fire.Spread();
        fire.Exchange();
    }
    for (auto _ : state) {
        if (level) {
            fire.SpreadAndWritePixels(pixels.data(), kPitch);
        } else {
            SimulationReference::FireSpread(fire);
            SimulationReference::FireWritePixels(fire, pixels.data(), kPitch);
        }
        fire.Exchange();
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}

void WaterStep(benchmark::State& state, std::optional<Level> level) {
    WaterTexture water(L"water.bmp");
    if (level) water.kernels = *level;
    std::vector<std::uint8_t> source(kTextureBytes);
    std::mt19937 random(5);
    for (std::uint8_t& byte : source)
        byte = static_cast<std::uint8_t>(random());
    std::vector<std::uint8_t> pixels(kTextureBytes);
    // Water with ripples from some drops.
    for (int i = 0; i < 300; ++i) {
        water.DropWhenDue();
        water.Spread();
        water.Exchange();
    }
    for (auto _ : state) {
        water.DropWhenDue();
        if (level) {
            water.SpreadAndRefract(source.data(), kPitch, kSize, kSize, pixels.data(), kPitch);
        } else {
            SimulationReference::WaterSpread(water);
            SimulationReference::WaterRefract(water, source.data(), kPitch, kSize, kSize, pixels.data(), kPitch);
        }
        water.Exchange();
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}

// The goals, as ratios of processor time to memcpy's.
double Goal(const std::string& step, Level level) {
    const bool fire = step == "fire";
    switch (level) {
    case Level::Portable:
        return fire ? 3.0 : 6.0;
    case Level::Avx2:
        return fire ? 2.0 : 4.0;
    case Level::Avx512Vbmi:
        return fire ? 1.2 : 3.0;
    }
    return 0.0;
}

// Each run's time per iteration in microseconds, wall and processor, by name; with repetitions, the
// medians (the only aggregates reported).
class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            const double toMicroseconds = 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            times[run.run_name.str()] = {run.GetAdjustedRealTime() * toMicroseconds,
                                         run.GetAdjustedCPUTime() * toMicroseconds};
        }
    }
    struct Times {
        double wall;
        double processor;
    };
    std::map<std::string, Times> times;
};

// One row of the table: a step at a level (or plainly) against the memcpy of its bytes.
struct Row {
    std::string step;
    std::string level;
    TimeReporter::Times time;
    TimeReporter::Times copy;
    double goal;  // 0: none

    double WallRatio() const { return time.wall / copy.wall; }
    double ProcessorRatio() const { return time.processor / copy.processor; }
    bool Met() const { return goal <= 0.0 || ProcessorRatio() <= goal; }
};

std::string ProcessorName() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) != 0) continue;
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
    }
    return "unknown processor";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

bool WriteJson(const std::string& path, const std::vector<Row>& rows) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    std::fprintf(file, "{\n  \"processor\": \"%s\",\n  \"date\": \"%s\",\n  \"unit\": \"microseconds per step\",\n",
                 ProcessorName().c_str(), UtcNow().c_str());
    std::fprintf(file, "  \"rows\": [\n");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        std::fprintf(file,
                     "    {\"step\": \"%s\", \"level\": \"%s\", \"wall\": %.3f, \"processor\": %.3f, "
                     "\"memcpy_wall\": %.3f, \"memcpy_processor\": %.3f, \"ratio_wall\": %.3f, "
                     "\"ratio_processor\": %.3f, \"goal\": %s}%s\n",
                     row.step.c_str(), row.level.c_str(), row.time.wall, row.time.processor, row.copy.wall,
                     row.copy.processor, row.WallRatio(), row.ProcessorRatio(),
                     row.goal > 0.0 ? std::to_string(row.goal).c_str() : "null", i + 1 < rows.size() ? "," : "");
    }
    std::fprintf(file, "  ]\n}\n");
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Our own flag out of the way, and the defaults where none are given.
    std::string jsonPath;
    std::vector<char*> arguments;
    bool repetitionsGiven = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0 && i + 1 < argc) {
            jsonPath = argv[++i];
            continue;
        }
        if (std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0) repetitionsGiven = true;
        arguments.push_back(argv[i]);
    }
    char repetitions[] = "--benchmark_repetitions=7";
    char interleaving[] = "--benchmark_enable_random_interleaving=true";
    char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    char minTime[] = "--benchmark_min_time=0.1";
    if (!repetitionsGiven)
        arguments.insert(arguments.begin() + 1, {repetitions, interleaving, aggregatesOnly, minTime});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

    std::vector<Level> levels;
    const char* forced = std::getenv("NVESK_SIMD");
    if (forced != nullptr && *forced != '\0') {
        levels.push_back(SimulationKernels::ConfiguredLevel());
    } else {
        for (Level level : {Level::Portable, Level::Avx2, Level::Avx512Vbmi}) {
            if (SimulationKernels::Supported(level)) levels.push_back(level);
        }
    }
    benchmark::RegisterBenchmark("memcpy/fire", Memcpy, kFireBytes);
    benchmark::RegisterBenchmark("memcpy/water", Memcpy, kWaterBytes);
    for (Level level : levels) {
        const std::string name = SimulationKernels::LevelName(level);
        benchmark::RegisterBenchmark(("fire/" + name).c_str(), FireStep, std::optional<Level>(level));
        benchmark::RegisterBenchmark(("water/" + name).c_str(), WaterStep, std::optional<Level>(level));
    }
    benchmark::RegisterBenchmark("fire/plain", FireStep, std::optional<Level>());
    benchmark::RegisterBenchmark("water/plain", WaterStep, std::optional<Level>());

    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::vector<Row> rows;
    for (const char* step : {"fire", "water"}) {
        const auto copy = reporter.times.find(std::string("memcpy/") + step);
        if (copy == reporter.times.end()) continue;
        std::vector<std::pair<std::string, double>> named;
        for (Level level : levels)
            named.emplace_back(SimulationKernels::LevelName(level), Goal(step, level));
        named.emplace_back("plain", 0.0);
        for (const auto& [level, goal] : named) {
            const auto time = reporter.times.find(std::string(step) + "/" + level);
            if (time != reporter.times.end()) rows.push_back({step, level, time->second, copy->second, goal});
        }
    }
    std::printf("\n%s; microseconds per step (medians), ratio to memcpy of the bytes the step touches\n",
                ProcessorName().c_str());
    std::printf("%-6s %-9s %9s %9s %12s %12s %11s %16s  %s\n", "step", "level", "wall", "processor", "memcpy wall",
                "memcpy proc", "ratio wall", "ratio processor", "goal (processor)");
    bool allMet = true;
    for (const Row& row : rows) {
        char goal[32] = "-";
        if (row.goal > 0.0) std::snprintf(goal, sizeof goal, "<= %.1f %s", row.goal, row.Met() ? "met" : "NOT met");
        allMet = allMet && row.Met();
        std::printf("%-6s %-9s %9.1f %9.1f %12.1f %12.1f %11.2f %16.2f  %s\n", row.step.c_str(), row.level.c_str(),
                    row.time.wall, row.time.processor, row.copy.wall, row.copy.processor, row.WallRatio(),
                    row.ProcessorRatio(), goal);
    }
    std::printf("%s\n", allMet ? "every goal met" : "some goals not met");
    if (!jsonPath.empty() && !WriteJson(jsonPath, rows)) {
        std::fprintf(stderr, "cannot write %s\n", jsonPath.c_str());
        return 1;
    }
    return 0;
}
