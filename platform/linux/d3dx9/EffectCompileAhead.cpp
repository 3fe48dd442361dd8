#include "EffectCompileAhead.h"

#include "HlslCompiler.h"
#include "ShaderArguments.h"

#include <algorithm>
#include <set>
#include <utility>

namespace nvesk::d3dx9 {

std::vector<ShaderCompileRequest> StageChoices(const EffectDescription& description, const PassShader& shader) {
    switch (shader.assignment) {
    case ShaderAssignment::None:
        return {ShaderCompileRequest()};
    case ShaderAssignment::Compiled:
        return {shader.compiled};
    case ShaderAssignment::Selected:
        break;
    }
    for (const ShaderObjectDesc& object : description.shaders) {
        if (object.name != shader.object) continue;
        if (!shader.indexParameter.empty() || !shader.indexTokens.empty()) return object.shaders;
        return {object.shaders[static_cast<std::size_t>(shader.index)]};
    }
    return {ShaderCompileRequest()};  // the parser checked every name
}

bool BindStage(const EffectDescription& description, const ShaderCompileRequest& choice, bool vertex, BoundStage& bound,
               std::string& error) {
    bound.hlsl = description.hlsl;
    return BindShaderArguments(description, choice, vertex ? "fx_vertex_entry" : "fx_pixel_entry", bound.hlsl,
                               bound.request, error);
}

CompileAhead::CompileAhead(const EffectDescription& description, std::string fileName)
    : fileName_(std::move(fileName)) {
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores < 2) return;
    // Each distinct stage once, in the order the passes reach them.
    std::set<std::pair<bool, std::string>> seen;
    for (const EffectTechniqueDesc& technique : description.techniques) {
        for (const EffectPassDesc& pass : technique.passes) {
            for (const bool vertex : {true, false}) {
                for (const ShaderCompileRequest& choice :
                     StageChoices(description, vertex ? pass.vertexShader : pass.pixelShader)) {
                    Job job;
                    job.vertex = vertex;
                    std::string error;
                    if (choice.entry.empty() || !BindStage(description, choice, vertex, job.stage, error)) continue;
                    const ShaderCompileRequest& request = job.stage.request;
                    if (!seen.insert({vertex, request.profile + ' ' + request.entry + '\n' + job.stage.hlsl}).second)
                        continue;
                    jobs_.push_back(std::move(job));
                }
            }
        }
    }
    // The calling thread compiles the first pass itself; one stage alone gains nothing.
    if (jobs_.size() < 2) return;
    next_ = static_cast<std::ptrdiff_t>(jobs_.size()) - 1;
    const std::size_t workers = std::min<std::size_t>(cores - 1, jobs_.size() - 1);
    for (std::size_t i = 0; i < workers; ++i)
        workers_.emplace_back([this] { Work(); });
}

CompileAhead::~CompileAhead() {
    next_ = -1;
    for (std::thread& worker : workers_)
        worker.join();
}

void CompileAhead::Work() {
    for (std::ptrdiff_t i = next_--; i >= 0; i = next_--) {
        const Job& job = jobs_[static_cast<std::size_t>(i)];
        try {
            // The result stays in the compiler's store for the pass that needs it.
            if (job.vertex) {
                CompileProgram(job.stage.hlsl, job.stage.hlsl, fileName_, job.stage.request, ShaderCompileRequest());
            } else {
                CompileProgram(job.stage.hlsl, job.stage.hlsl, fileName_, ShaderCompileRequest(), job.stage.request);
            }
        } catch (...) {
            // Out of memory: the pass compiles the stage again on the calling thread, which reports it.
        }
    }
}

}  // namespace nvesk::d3dx9
