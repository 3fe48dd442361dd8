// The effect file's own preprocessing, before the effect is parsed: #include, #define, #if and
// the caller's macros over the whole text, by glslang's HLSL preprocessor. The result keeps the
// user's line breaks and columns where it can and remembers the file and line each line came from,
// so that every later message points into the user's files.
#pragma once

#include "EffectLexer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// One file of the effect: the effect itself or an included file, named as messages name it.
struct IncludedFile {
    std::string name;
    const char* data = nullptr;  // valid until the source closes it
    std::size_t size = 0;
};

// Where included files come from: beside the including file, or from the caller's handler.
class IncludeSource {
public:
    virtual ~IncludeSource() = default;
    // Finds `name` as written in `parent` (`system` for <name>). On failure `error` says why.
    virtual bool Open(bool system, const std::string& name, const IncludedFile& parent, IncludedFile& file,
                      std::string& error) = 0;
    // Called once for every file Open gave.
    virtual void Close(const IncludedFile& file) = 0;
};

struct Macro {
    std::string name;        // may carry a parameter list: "SCALE(x)"
    std::string definition;  // may be empty
};

struct PreprocessedEffect {
    bool ok = false;
    std::string text;    // no directives left but #pragma; one line for every line produced
    std::string errors;  // `file(line,col): error: ...` lines when !ok

    // Rewrites the `name(line,col)` positions of messages about `text` to the file and line the
    // text came from; other lines stay as they are.
    std::string MapMessages(const std::string& messages, const std::string& name) const;

    struct Origin {
        int file = 0;  // into fileNames
        int line = 1;
    };
    std::vector<std::string> fileNames;  // [0] is the effect itself
    std::vector<Origin> lines;           // one per line of `text`
};

// Files nest at most this deep; a file that includes itself, directly or not, is an error.
constexpr std::size_t kMaxIncludeDepth = 32;

// `includes` may be null: then every #include fails, as it does for an effect in memory without
// a handler. A run that asks for no file is kept, in memory and in the program cache's folder, by
// its whole input; one that asks for files asks for them again every time.
PreprocessedEffect PreprocessEffect(const IncludedFile& effect, const std::vector<Macro>& macros,
                                    IncludeSource* includes);

// What a kept result is stored under, and its bytes there.
std::string PreprocessedKey(const IncludedFile& effect, const std::vector<Macro>& macros);
std::string SerializePreprocessed(const PreprocessedEffect& effect);
// False for bytes that are not a whole result.
bool DeserializePreprocessed(const std::string& bytes, PreprocessedEffect& effect);

// How many times glslang's preprocessor has run in this process.
std::uint64_t PreprocessorRunCount();

}  // namespace nvesk::d3dx9
