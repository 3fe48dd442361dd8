// Compiler messages in the form D3DX gives them: `file(line,col): error: text`, positions in the
// user's own source text.
#pragma once

#include "EffectLexer.h"

#include <string>

namespace nvesk::d3dx9 {

std::string FormatError(const std::string& fileName, SourcePosition position, const std::string& message);
// With an error number: `file(line,col): error X5001: text`.
std::string FormatError(const std::string& fileName, SourcePosition position, const std::string& code,
                        const std::string& message);

// Rewrites glslang's info log (`ERROR: name:line: 'token' : text`, plus a final
// `name(line): error at column N` line) into formatted errors. The column of each error is
// that of its token on the line (the occurrence nearest before the parser's stop), or the stop column.
std::string TranslateGlslangLog(const std::string& log, const std::string& source, const std::string& fileName);

// Messages about a semantic (`fileName: error: pixel input 'COLOR4' ...`) get the position where
// the source first gives that semantic (`: COLOR4`, in any case); other lines stay as they are.
std::string PlaceSemanticErrors(const std::string& messages, const std::string& source, const std::string& fileName);

}  // namespace nvesk::d3dx9
