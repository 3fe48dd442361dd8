#include "EffectPreprocessor.h"
#include "EffectLexer.h"

#include "CacheBytes.h"
#include "CompilerMessages.h"
#include "ContentMemo.h"
#include "ProgramCache.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>

namespace nvesk::d3dx9 {

namespace {

std::mutex g_preprocessorMutex;
std::atomic<std::uint64_t> g_runCount {0};

// Results of runs that asked for no file, by their whole input.
ContentMemo<PreprocessedEffect> g_preprocessed(8);

// Bumped whenever the result's form or the way it is made changes.
constexpr char kPreprocessedKind[] = "preprocessed effect 2\n";

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

// Comments become spaces (line breaks kept), so that lining tokens up never lands in one.
std::string BlankComments(std::string text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"' && text[i] != '\n'; ++i) {
                if (text[i] == '\\') ++i;
            }
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            for (; i < text.size() && text[i] != '\n'; ++i)
                text[i] = ' ';
        } else if (text.compare(i, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? text.size() : end + 2;
            for (; i < stop; ++i) {
                if (text[i] != '\n' && text[i] != '\r') text[i] = ' ';
            }
        } else {
            ++i;
        }
    }
    return text;
}

// A file's text as the legacy compiler reads it: a UTF-8 byte-order mark at its start is no part
// of it, and a line continuation (a backslash ending the line) also ends the token before it, so
// that `#define NAME\` keeps NAME apart from the next line's first token. glslang joins the lines
// and keeps the line numbers of the lines after.
std::string SourceText(const char* data, std::size_t size) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    if (size >= 3 && std::equal(kByteOrderMark, kByteOrderMark + 3, data)) {
        data += 3;
        size -= 3;
    }
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const bool endsLine =
            i + 1 < size && (data[i + 1] == '\n' || (data[i + 1] == '\r' && i + 2 < size && data[i + 2] == '\n'));
        if (data[i] == '\\' && endsLine && !text.empty() && !std::isspace(static_cast<unsigned char>(text.back())))
            text += ' ';
        text += data[i];
    }
    return text;
}

// Where `token` stands in `original` at or after `from`, a word or number only where it stands alone.
std::size_t FindToken(const std::string& original, const Token& token, std::size_t from) {
    const bool word = token.kind == TokenKind::Identifier || token.kind == TokenKind::Number;
    const bool number = token.kind == TokenKind::Number;
    auto joins = [&](char c) { return IsIdentifierPart(c) || (number && c == '.'); };
    for (std::size_t at = original.find(token.text, from); at != std::string::npos;
         at = original.find(token.text, at + 1)) {
        const std::size_t end = at + token.text.size();
        if (!word || ((at == 0 || !joins(original[at - 1])) && (end >= original.size() || !joins(original[end]))))
            return at;
    }
    return std::string::npos;
}

// The preprocessor prints tokens with spacing of its own; each token that comes from the user's
// line goes back to its column there. Tokens a macro produced keep the preprocessor's spacing.
std::string Realign(const std::string& produced, const std::string& original) {
    const LexResult lexed = Tokenize(produced);
    if (!lexed.ok) return produced;
    std::string line;
    std::size_t cursor = 0;
    std::size_t previousEnd = 0;
    for (const Token& token : lexed.tokens) {
        if (token.kind == TokenKind::End) break;
        const bool spaced = token.offset > previousEnd && !line.empty();
        // Two words side by side would become one: keep them apart.
        const bool mustSeparate = spaced && IsIdentifierPart(line.back()) && IsIdentifierPart(token.text.front());
        const std::size_t found = FindToken(original, token, cursor);
        std::size_t column = line.size() + (spaced ? 1 : 0);
        if (found != std::string::npos) {
            cursor = found + token.text.size();
            if (found >= line.size() + (mustSeparate ? 1 : 0)) column = found;
        }
        line.append(column - line.size(), ' ');
        line += token.text;
        previousEnd = token.offset + token.length;
    }
    return line;
}

bool HasPragmaOnce(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word[0] != '#') continue;
        std::string pragma = word.substr(1);
        if (pragma.empty()) words >> pragma;
        std::string once;
        if (pragma == "pragma" && words >> once && once.compare(0, 4, "once") == 0 && !IsIdentifierPart(once[4]))
            return true;
    }
    return false;
}

// The name glslang knows file `index` by; plain, so it survives its #line directives unchanged.
std::string KeyOf(std::size_t index) {
    return "fx" + std::to_string(index);
}

int IndexOfKey(const std::string& key, std::size_t count) {
    if (key.size() < 3 || key.compare(0, 2, "fx") != 0) return -1;
    for (std::size_t i = 2; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i]))) return -1;
    }
    const std::size_t index = std::strtoul(key.c_str() + 2, nullptr, 10);
    return index < count ? static_cast<int>(index) : -1;
}

// Answers glslang's include requests from an IncludeSource, refusing recursion and deep nesting.
class Includer final : public glslang::TShader::Includer {
public:
    struct File {
        IncludedFile file;
        int parent = -1;
        bool open = false;
        std::shared_ptr<const std::string> source;  // what glslang reads (SourceText)
        std::string text;                           // comments blanked, for lining tokens up
    };

    Includer(const IncludedFile& effect, IncludeSource* source) : source_(source) {
        auto text = std::make_shared<const std::string>(SourceText(effect.data, effect.size));
        files_.push_back({effect, -1, false, text, BlankComments(*text)});
    }

    const std::string& EffectText() const { return *files_.front().source; }
    ~Includer() override {
        for (File& file : files_) {
            if (file.open) source_->Close(file.file);
        }
    }
    Includer(const Includer&) = delete;
    Includer& operator=(const Includer&) = delete;

    const std::vector<File>& Files() const { return files_; }

    // Whether glslang asked for any file, found or not: then the result depends on the files.
    bool Asked() const { return asked_; }

    IncludeResult* includeLocal(const char* header, const char* includer, size_t depth) override {
        asked_ = true;
        IncludeResult* result = Include(false, header, includer, depth);
        if (result->headerName.empty()) localFailure_ = std::string(result->headerData, result->headerLength);
        return result;
    }

    // glslang asks here too when a "name" was not found: that answer stands, the handler is
    // asked once per directive as D3DX does.
    IncludeResult* includeSystem(const char* header, const char* includer, size_t depth) override {
        asked_ = true;
        if (!localFailure_.empty()) {
            std::string message;
            message.swap(localFailure_);
            return Fail(message);
        }
        return Include(true, header, includer, depth);
    }

    void releaseInclude(IncludeResult* result) override {
        if (result == nullptr) return;
        if (result->headerName.empty()) {
            delete static_cast<std::string*>(result->userData);
        } else {
            const int index = IndexOfKey(result->headerName, files_.size());
            if (index >= 0 && files_[static_cast<std::size_t>(index)].open) {
                files_[static_cast<std::size_t>(index)].open = false;
                source_->Close(files_[static_cast<std::size_t>(index)].file);
            }
        }
        delete result;
    }

private:
    static IncludeResult* Fail(const std::string& message) {
        auto* text = new std::string(message);
        return new IncludeResult("", text->data(), text->size(), text);
    }

    IncludeResult* Include(bool system, const char* header, const char* includer, size_t depth) {
        if (source_ == nullptr) return Fail("failed to open source file (no include handler)");
        if (depth > kMaxIncludeDepth)
            return Fail("includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
        const int parent = std::max(0, IndexOfKey(includer, files_.size()));
        IncludedFile file;
        std::string error;
        if (!source_->Open(system, header, files_[static_cast<std::size_t>(parent)].file, file, error))
            return Fail(error.empty() ? "failed to open source file" : error);
        auto source = std::make_shared<const std::string>(SourceText(file.data, file.size));
        std::string text = BlankComments(*source);
        // glslang leaves `#pragma once` to us: a second inclusion of such a file reads nothing.
        const bool repeated = HasPragmaOnce(text) && !onceIncluded_.insert(file.name).second;
        for (int at = parent; at >= 0 && !repeated; at = files_[static_cast<std::size_t>(at)].parent) {
            if (files_[static_cast<std::size_t>(at)].file.name == file.name) {
                source_->Close(file);
                return Fail("recursive include");
            }
        }
        files_.push_back({file, parent, true, source, std::move(text)});
        // glslang reads the last byte of what it is given: an empty file is handed over as one line break.
        static const char kNothing[] = "\n";
        const bool nothing = repeated || source->empty();
        return new IncludeResult(KeyOf(files_.size() - 1), nothing ? kNothing : source->data(),
                                 nothing ? 1 : source->size(), nullptr);
    }

    IncludeSource* source_;
    std::vector<File> files_;
    std::string localFailure_;
    std::set<std::string> onceIncluded_;
    bool asked_ = false;
};

// glslang's log (`ERROR: fx1:4: '#include' : text for header name: a.fxh`) as our messages.
std::string TranslateLog(const std::string& log, const std::vector<Includer::File>& files) {
    static const std::regex kLocated(R"(^(?:ERROR|WARNING): (.*?):(\d+): .*$)");
    static const std::regex kHeader(R"(^(.*) for header name: (.*)$)");
    std::string errors;
    for (std::string line : SplitLines(log)) {
        if (line.rfind("ERROR: ", 0) != 0) continue;
        std::smatch match;
        if (std::regex_match(line, match, kHeader)) line = match[1].str() + ": '" + match[2].str() + "'";
        const Includer::File* file = nullptr;
        std::string name = files.front().file.name;
        if (std::regex_match(line, match, kLocated)) {
            const int index = IndexOfKey(match[1].str(), files.size());
            name = index >= 0 ? files[static_cast<std::size_t>(index)].file.name : match[1].str();
            if (index >= 0) file = &files[static_cast<std::size_t>(index)];
        }
        errors += TranslateGlslangLog(line, file != nullptr ? file->text : std::string(), name);
    }
    return errors.empty() ? files.front().file.name + ": error: preprocessing failed\n" : errors;
}

// The preprocessor's output as the parser's text: #line directives become empty lines and set
// where the following lines come from; every other line goes back to its columns.
void Assemble(const std::string& output, const std::vector<Includer::File>& files, PreprocessedEffect& result) {
    static const std::regex kLine(R"(^\s*#\s*line\s+(\d+)(?:\s+\"([^\"]*)\")?.*$)");
    std::vector<std::vector<std::string>> originals(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        result.fileNames.push_back(files[i].file.name);
        originals[i] = SplitLines(files[i].text);
    }
    PreprocessedEffect::Origin at;
    for (const std::string& line : SplitLines(output)) {
        std::smatch match;
        if (std::regex_match(line, match, kLine)) {
            result.lines.push_back(at);
            result.text += '\n';
            at.line = std::atoi(match[1].str().c_str());
            if (!match[2].matched) continue;
            const int index = IndexOfKey(match[2].str(), files.size());
            if (index >= 0) {
                at.file = index;
                continue;
            }
            // A #line of the user's own naming another file: its lines cannot be lined up.
            result.fileNames.push_back(match[2].str());
            originals.emplace_back();
            at.file = static_cast<int>(result.fileNames.size() - 1);
            continue;
        }
        const auto& original = originals[static_cast<std::size_t>(at.file)];
        const bool known = at.line >= 1 && static_cast<std::size_t>(at.line) <= original.size();
        const bool directive =
            line.find_first_not_of(" \t") != std::string::npos && line[line.find_first_not_of(" \t")] == '#';
        result.text += known && !directive ? Realign(line, original[static_cast<std::size_t>(at.line - 1)]) : line;
        result.text += '\n';
        result.lines.push_back(at);
        ++at.line;
    }
}

}  // namespace

std::string PreprocessedEffect::MapMessages(const std::string& messages, const std::string& name) const {
    static const std::regex kPosition(R"(^\((\d+),(\d+)\)(.*)$)");
    std::string mapped;
    for (const std::string& line : SplitLines(messages)) {
        std::smatch match;
        const std::string rest = line.compare(0, name.size(), name) == 0 ? line.substr(name.size()) : std::string();
        const std::size_t number =
            std::regex_match(rest, match, kPosition) ? std::strtoul(match[1].str().c_str(), nullptr, 10) : 0;
        if (number == 0 || number > lines.size()) {
            mapped += line + '\n';
            continue;
        }
        const Origin& origin = lines[number - 1];
        mapped += fileNames[static_cast<std::size_t>(origin.file)] + '(' + std::to_string(origin.line) + ',' +
                  match[2].str() + ')' + match[3].str() + '\n';
    }
    return mapped;
}

namespace {

PreprocessedEffect Run(const IncludedFile& effect, const std::vector<Macro>& macros, IncludeSource* includes,
                       bool& asked) {
    ++g_runCount;
    PreprocessedEffect result;
    std::lock_guard<std::mutex> lock(g_preprocessorMutex);
    static const bool initialised = glslang::InitializeProcess();
    if (!initialised) {
        result.errors = effect.name + ": error: the HLSL preprocessor could not start\n";
        return result;
    }
    std::string preamble;
    for (const Macro& macro : macros)
        preamble += "#define " + macro.name + ' ' + macro.definition + '\n';

    Includer includer(effect, includes);
    glslang::TShader shader(EShLangVertex);
    // Never nothing: glslang reads the last byte of what it is given (a file of a byte-order mark alone).
    static const std::string kLineBreak = "\n";
    const std::string& source = includer.EffectText().empty() ? kLineBreak : includer.EffectText();
    const char* text = source.data();
    const int length = static_cast<int>(source.size());
    const std::string key = KeyOf(0);
    const char* name = key.c_str();
    shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
    shader.setPreamble(preamble.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, EShLangVertex, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    const auto messages = static_cast<EShMessages>(EShMsgReadHlsl | EShMsgHlslDX9Compatible);
    std::string output;
    if (!shader.preprocess(GetDefaultResources(), 100, ENoProfile, false, false, messages, &output, includer)) {
        result.errors = TranslateLog(shader.getInfoLog(), includer.Files());
        asked = includer.Asked();
        return result;
    }
    Assemble(output, includer.Files(), result);
    result.ok = true;
    asked = includer.Asked();
    return result;
}

}  // namespace

std::string PreprocessedKey(const IncludedFile& effect, const std::vector<Macro>& macros) {
    MemoKey key;
    key.Add(effect.name.data(), effect.name.size()).Add(effect.data, effect.size).Value(macros.size());
    for (const Macro& macro : macros)
        key.Add(macro.name.data(), macro.name.size()).Add(macro.definition.data(), macro.definition.size());
    return kPreprocessedKind + key.Bytes();
}

std::string SerializePreprocessed(const PreprocessedEffect& effect) {
    CacheWriter out;
    out.Text(effect.text);
    out.U32(static_cast<std::uint32_t>(effect.fileNames.size()));
    for (const std::string& name : effect.fileNames)
        out.Text(name);
    out.U32(static_cast<std::uint32_t>(effect.lines.size()));
    for (const PreprocessedEffect::Origin& origin : effect.lines) {
        out.U32(static_cast<std::uint32_t>(origin.file));
        out.U32(static_cast<std::uint32_t>(origin.line));
    }
    return std::move(out.Bytes());
}

bool DeserializePreprocessed(const std::string& bytes, PreprocessedEffect& effect) {
    CacheReader in(bytes, 0, bytes.size());
    std::uint32_t count = 0;
    if (!in.Text(effect.text) || !in.Count(count, 4)) return false;
    effect.fileNames.resize(count);
    for (std::string& name : effect.fileNames) {
        if (!in.Text(name)) return false;
    }
    if (!in.Count(count, 8)) return false;
    effect.lines.resize(count);
    for (PreprocessedEffect::Origin& origin : effect.lines) {
        std::uint32_t file = 0;
        std::uint32_t line = 0;
        if (!in.U32(file) || !in.U32(line) || file >= effect.fileNames.size() || line > 0x7FFFFFFF) return false;
        origin.file = static_cast<int>(file);
        origin.line = static_cast<int>(line);
    }
    // One origin per line of the text.
    if (!in.AtEnd() ||
        static_cast<std::size_t>(std::count(effect.text.begin(), effect.text.end(), '\n')) != effect.lines.size()) {
        return false;
    }
    effect.ok = true;
    effect.errors.clear();
    return true;
}

std::uint64_t PreprocessorRunCount() {
    return g_runCount.load();
}

PreprocessedEffect PreprocessEffect(const IncludedFile& effect, const std::vector<Macro>& macros,
                                    IncludeSource* includes) {
    // A run that asks for no file depends on the name, the text and the macros alone: kept in
    // memory and beside the compiled programs, it spares glslang's start-up at the next start.
    MemoKey memoKey;
    const std::string key = PreprocessedKey(effect, macros);
    memoKey.Add(key.data(), key.size());
    if (const auto kept = g_preprocessed.Find(memoKey)) return *kept;
    const auto diskDirectory = ProgramCache::DirectoryFromEnvironment();
    std::optional<ProgramCache> disk;
    if (diskDirectory) disk.emplace(*diskDirectory, CompilerVersion());
    if (disk) {
        PreprocessedEffect stored;
        if (const auto bytes = disk->LoadBytes(key); bytes && DeserializePreprocessed(*bytes, stored)) {
            g_preprocessed.Keep(memoKey, std::make_shared<const PreprocessedEffect>(stored));
            return stored;
        }
    }
    bool asked = false;
    PreprocessedEffect result = Run(effect, macros, includes, asked);
    if (result.ok && !asked) {
        g_preprocessed.Keep(memoKey, std::make_shared<const PreprocessedEffect>(result));
        if (disk) disk->StoreBytes(key, SerializePreprocessed(result));
    }
    return result;
}

}  // namespace nvesk::d3dx9
