// libFuzzer target: the effect front end on arbitrary text must either describe an effect whose
// HLSL keeps the source's line breaks, or report an error at a position inside it. (The HLSL may be
// a little longer: int globals are declared as floats there, and array casts become calls.)
#include "platform/linux/d3dx9/EffectParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    const nvesk::d3dx9::ParseResult result = nvesk::d3dx9::ParseEffect(source);
    if (result.ok) {
        if (result.description.hlsl.size() < source.size()) std::abort();
        if (std::count(source.begin(), source.end(), '\n') !=
            std::count(result.description.hlsl.begin(), result.description.hlsl.end(), '\n')) {
            std::abort();
        }
    } else {
        const long lines = std::count(source.begin(), source.end(), '\n') + 1;
        if (result.error.empty() || result.errorPosition.line < 1 || result.errorPosition.line > lines ||
            result.errorPosition.column < 1) {
            std::abort();
        }
    }
    return 0;
}
