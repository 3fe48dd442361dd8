#include "ShaderAssemblyErrors.h"

#include "CompilerMessages.h"

#include <algorithm>

namespace nvesk::d3dx9 {

void AssemblyErrors::Add(SourcePosition position, AssemblyRule rule, const std::string& text) {
    faults_.push_back({position, rule, text});
}

std::string AssemblyErrors::Format(const std::string& fileName) const {
    std::vector<Fault> sorted = faults_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Fault& a, const Fault& b) {
        return a.position.line != b.position.line ? a.position.line < b.position.line
                                                  : a.position.column < b.position.column;
    });
    std::string text;
    for (const Fault& fault : sorted)
        text += FormatError(fileName, fault.position, "X" + std::to_string(static_cast<int>(fault.rule)), fault.text);
    return text;
}

}  // namespace nvesk::d3dx9
