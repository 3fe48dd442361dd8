#include "CompilerMessages.h"

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

std::string SourceLine(const std::string& source, int line) {
    std::size_t begin = 0;
    for (int current = 1; current < line; ++current) {
        begin = source.find('\n', begin);
        if (begin == std::string::npos) return {};
        ++begin;
    }
    const std::size_t end = source.find('\n', begin);
    return source.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

int TokenColumn(const std::string& lineText, const std::string& token, int stopLine, int stopColumn, int line) {
    const bool stopHere = line == stopLine && stopColumn > 0;
    if (token.empty()) return stopHere ? stopColumn : 1;
    std::size_t best = std::string::npos;
    for (std::size_t at = lineText.find(token); at != std::string::npos; at = lineText.find(token, at + 1)) {
        if (best == std::string::npos) best = at;
        if (stopHere && static_cast<int>(at) + 1 <= stopColumn) best = at;
    }
    if (best != std::string::npos) return static_cast<int>(best) + 1;
    return stopHere ? stopColumn : 1;
}

}  // namespace

std::string FormatError(const std::string& fileName, SourcePosition position, const std::string& message) {
    std::ostringstream text;
    text << fileName << '(' << position.line << ',' << position.column << "): error: " << message << '\n';
    return text.str();
}

std::string FormatError(const std::string& fileName, SourcePosition position, const std::string& code,
                        const std::string& message) {
    std::ostringstream text;
    text << fileName << '(' << position.line << ',' << position.column << "): error " << code << ": " << message
         << '\n';
    return text.str();
}

std::string TranslateGlslangLog(const std::string& log, const std::string& source, const std::string& fileName) {
    static const std::regex kError(R"(^ERROR: (?:.*?):(\d+): '([^']*)' :\s*(.*?)\s*$)");
    static const std::regex kStop(R"(^.*\((\d+)\): error at column (\d+), HLSL parsing failed\.\s*$)");
    static const std::regex kOther(R"(^(?:ERROR|WARNING): (.*?)\s*$)");
    static const std::regex kSummary(R"(^ERROR: \d+ compilation errors\..*$)");

    std::vector<std::string> lines;
    std::istringstream input(log);
    for (std::string line; std::getline(input, line);)
        lines.push_back(line);

    int stopLine = 0;
    int stopColumn = 0;
    std::smatch match;
    for (const std::string& line : lines) {
        if (std::regex_match(line, match, kStop)) {
            stopLine = std::atoi(match[1].str().c_str());
            stopColumn = std::atoi(match[2].str().c_str());
        }
    }

    std::string result;
    for (const std::string& line : lines) {
        if (std::regex_match(line, match, kError)) {
            SourcePosition position;
            position.line = std::atoi(match[1].str().c_str());
            const std::string token = match[2].str();
            position.column =
                TokenColumn(SourceLine(source, position.line), token, stopLine, stopColumn, position.line);
            const std::string text = token.empty() ? match[3].str() : "'" + token + "' : " + match[3].str();
            result += FormatError(fileName, position, text);
        } else if (std::regex_match(line, kStop) || std::regex_match(line, kSummary)) {
            continue;
        } else if (std::regex_match(line, match, kOther)) {
            result += fileName + ": error: " + match[1].str() + '\n';
        }
    }
    if (result.empty() && stopLine > 0) {
        result = FormatError(fileName, SourcePosition {stopLine, stopColumn}, "syntax error");
    }
    return result;
}

std::string PlaceSemanticErrors(const std::string& messages, const std::string& source, const std::string& fileName) {
    static const std::regex kAboutSemantic(R"(^(?:vertex input|vertex output|pixel input) '(\w+)' .*$)");
    const std::string prefix = fileName + ": error: ";
    std::string placed;
    std::istringstream input(messages);
    for (std::string line; std::getline(input, line);) {
        std::smatch match;
        const std::string text = line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : "";
        std::smatch where;
        if (std::regex_match(text, match, kAboutSemantic)) {
            // The message names usage and index (`COLOR4`, `VPOS0`); the source may leave out an index 0.
            const std::string named = match[1].str();
            const std::size_t digits = named.find_last_not_of("0123456789") + 1;
            const std::string index = named.substr(digits);
            const std::regex written(
                ":\\s*(" + named.substr(0, digits) + (index == "0" ? "0?" : index) + ")(?:_centroid)?\\b",
                std::regex::icase);
            if (std::regex_search(source, where, written)) {
                const auto at = static_cast<std::size_t>(where.position(1));
                const std::size_t lineStart = at == 0 ? std::string::npos : source.rfind('\n', at - 1);
                SourcePosition position;
                position.line = 1 + static_cast<int>(std::count(source.begin(), source.begin() + at, '\n'));
                position.column = static_cast<int>(at - (lineStart == std::string::npos ? 0 : lineStart + 1)) + 1;
                placed += FormatError(fileName, position, text);
                continue;
            }
        }
        placed += line + '\n';
    }
    return placed;
}

}  // namespace nvesk::d3dx9
