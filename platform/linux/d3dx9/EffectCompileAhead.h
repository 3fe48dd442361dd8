// An effect's shaders compiled ahead. Effect::Create goes through the passes in order on the
// calling thread, compiling each pass's stages when it reaches them, then linking the pass on the
// device; meanwhile worker threads compile the same stages from the last pass backwards. What each
// pass reports is unchanged: a stage it needs is either ready, being compiled (it waits for that
// result) or compiled there and then.
#pragma once

#include "EffectDescription.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace nvesk::d3dx9 {

// The shaders a pass's stage may use: one, or an array's elements picked at BeginPass. An unset
// stage is NULL (the device's) once the other one is set.
std::vector<ShaderCompileRequest> StageChoices(const EffectDescription& description, const PassShader& shader);

// The text one stage compiles: the effect's HLSL with, for an entry given arguments, the entry of
// ours that binds them (BindShaderArguments), and the request that names that entry.
struct BoundStage {
    std::string hlsl;
    ShaderCompileRequest request;
};
bool BindStage(const EffectDescription& description, const ShaderCompileRequest& choice, bool vertex, BoundStage& bound,
               std::string& error);

class CompileAhead {
public:
    // Starts up to one worker fewer than the processor has cores (none on one core).
    CompileAhead(const EffectDescription& description, std::string fileName);
    // Stops taking stages and waits for those in hand.
    ~CompileAhead();
    CompileAhead(const CompileAhead&) = delete;
    CompileAhead& operator=(const CompileAhead&) = delete;

private:
    struct Job {
        BoundStage stage;
        bool vertex = true;
    };
    void Work();

    std::string fileName_;
    std::vector<Job> jobs_;
    std::atomic<std::ptrdiff_t> next_ {-1};  // the next job a worker takes; below 0 when none is left
    std::vector<std::thread> workers_;
};

}  // namespace nvesk::d3dx9
