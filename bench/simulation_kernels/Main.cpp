// A fire step (spread + pixels) and a water step (drop when due + spread + refraction), fast and
// plain, each against one memcpy of the bytes the step touches, with the ratios printed after (of
// the medians with --benchmark_repetitions).
#include "app/FireTexture.h"
#include "app/SimulationReference.h"
#include "app/WaterTexture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

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

template <bool Fast>
void FireStep(benchmark::State& state) {
    FireTexture fire;
    std::vector<std::uint8_t> pixels(kTextureBytes);
    // A fire that has burned for a while.
    for (int i = 0; i < 300; ++i) {
        fire.Spread();
        fire.Exchange();
    }
    for (auto _ : state) {
        if (Fast) {
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

template <bool Fast>
void WaterStep(benchmark::State& state) {
    WaterTexture water(L"water.bmp");
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
        if (Fast) {
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

BENCHMARK_CAPTURE(Memcpy, fire_bytes, kFireBytes);
BENCHMARK_TEMPLATE(FireStep, true);
BENCHMARK_TEMPLATE(FireStep, false);
BENCHMARK_CAPTURE(Memcpy, water_bytes, kWaterBytes);
BENCHMARK_TEMPLATE(WaterStep, true);
BENCHMARK_TEMPLATE(WaterStep, false);

// The console table, and each run's time per iteration kept for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
    // Wall and processor time: on a busy machine the processor time is the steadier.
    std::map<std::string, std::pair<double, double>> times;
};

// With repetitions, the ratio of the medians.
void PrintRatio(const RatioReporter& reporter, const std::string& step, const std::string& memcpyRun, double goal) {
    const auto find = [&reporter](const std::string& name) {
        const auto median = reporter.times.find(name + "_median");
        return median != reporter.times.end() ? median : reporter.times.find(name);
    };
    const auto time = find(step);
    const auto copy = find(memcpyRun);
    if (time == reporter.times.end() || copy == reporter.times.end()) return;
    std::printf("%-24s %6.2f x memcpy (processor time %.2f x; goal <= %.0f)\n", step.c_str(),
                time->second.first / copy->second.first, time->second.second / copy->second.second, goal);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    PrintRatio(reporter, "FireStep<true>", "Memcpy/fire_bytes", 3);
    PrintRatio(reporter, "FireStep<false>", "Memcpy/fire_bytes", 3);
    PrintRatio(reporter, "WaterStep<true>", "Memcpy/water_bytes", 6);
    PrintRatio(reporter, "WaterStep<false>", "Memcpy/water_bytes", 6);
    return 0;
}
