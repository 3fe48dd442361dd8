#include "Frames.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Usage: d3d9_frame_bench [seconds per round] [rounds]. The sides take turns; each keeps its best
// round, so a busy machine slows both alike instead of whichever ran during the disturbance. The
// median of the rounds' own ratios is printed too: a burst of spare CPU that lifts one side's
// round alone moves the best-round ratio, not the median.
int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    double raw = 0.0;
    double ours = 0.0;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const double rawRound = FrameBench::RunRawGlFrames(seconds);
        const double oursRound = FrameBench::RunDirect3DFrames(seconds);
        if (rawRound <= 0.0 || oursRound <= 0.0) {
            std::fprintf(stderr, "a side could not run (raw GL %.1f, Direct3D %.1f)\n", rawRound, oursRound);
            return 1;
        }
        std::printf("round %d: raw OpenGL %.1f frames/s, our Direct3D 9 %.1f frames/s\n", round + 1, rawRound,
                    oursRound);
        raw = std::max(raw, rawRound);
        ours = std::max(ours, oursRound);
        ratios.push_back(oursRound / rawRound);
    }
    if (ratios.empty()) {
        std::fprintf(stderr, "no rounds to run\n");
        return 1;
    }
    std::sort(ratios.begin(), ratios.end());
    const size_t middle = ratios.size() / 2;
    const double median = ratios.size() % 2 == 1 ? ratios[middle] : (ratios[middle - 1] + ratios[middle]) / 2.0;
    std::printf("raw OpenGL:      %8.1f frames/s\n", raw);
    std::printf("our Direct3D 9:  %8.1f frames/s\n", ours);
    std::printf("median of the rounds' ratios: %.3f\n", median);
    std::printf("ratio (ours/raw): %.3f\n", ours / raw);
    return 0;
}
