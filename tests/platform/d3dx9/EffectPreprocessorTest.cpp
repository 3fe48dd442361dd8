// The effect file's own preprocessing: includes from a source that records how it is asked,
// macros and conditionals over the whole text, lines and columns kept for every later message,
// and the errors of includes that are missing, recursive or nested too deep.
#include "BuiltInEffects.h"

#include "EffectPreprocessor.h"
#include "ProgramCache.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

using namespace nvesk::d3dx9;

namespace {

// Named texts; records every Open and Close, and refuses names it does not hold.
class FakeIncludes final : public IncludeSource {
public:
    explicit FakeIncludes(std::map<std::string, std::string> files) : files_(std::move(files)) {}

    bool Open(bool system, const std::string& name, const IncludedFile& parent, IncludedFile& file,
              std::string&) override {
        calls.push_back(std::string(system ? "system " : "local ") + name + " from " + parent.name);
        const auto found = files_.find(name);
        if (found == files_.end()) return false;
        file = {found->first, found->second.data(), found->second.size()};
        ++open;
        return true;
    }
    void Close(const IncludedFile& file) override {
        calls.push_back("close " + file.name);
        --open;
    }

    std::vector<std::string> calls;
    int open = 0;

private:
    std::map<std::string, std::string> files_;
};

PreprocessedEffect Preprocess(const std::string& source, IncludeSource* includes = nullptr,
                              const std::vector<Macro>& macros = {}) {
    return PreprocessEffect({"main.fx", source.data(), source.size()}, macros, includes);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);)
        lines.push_back(line);
    return lines;
}

// Runs of spaces as one: macro results keep the columns of the tokens around them.
std::string Collapsed(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c != ' ' || result.empty() || result.back() != ' ') result += c;
    }
    return result;
}

std::string WithoutSpaces(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

void ExpectSameResult(const PreprocessedEffect& a, const PreprocessedEffect& b) {
    EXPECT_EQ(a.ok, b.ok);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.errors, b.errors);
    EXPECT_EQ(a.fileNames, b.fileNames);
    ASSERT_EQ(a.lines.size(), b.lines.size());
    for (std::size_t i = 0; i < a.lines.size(); ++i) {
        EXPECT_EQ(a.lines[i].file, b.lines[i].file) << i;
        EXPECT_EQ(a.lines[i].line, b.lines[i].line) << i;
    }
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

}  // namespace

TEST(EffectPreprocessor, TextWithoutDirectivesKeepsEveryLineAndColumn) {
    for (const char* source : {D3DX9Tests::kAlphaBlendEffect, D3DX9Tests::kMeshEffect}) {
        const PreprocessedEffect result = Preprocess(source);
        ASSERT_TRUE(result.ok) << result.errors;
        const std::vector<std::string> original = Lines(source);
        const std::vector<std::string> produced = Lines(result.text);
        ASSERT_GE(produced.size(), original.size() - 1);
        for (std::size_t i = 0; i < original.size(); ++i) {
            std::string expected = original[i];
            if (expected.find("//") != std::string::npos) expected.erase(expected.find("//"));
            EXPECT_EQ(i < produced.size() ? TrimRight(produced[i]) : std::string(), TrimRight(expected)) << i + 1;
        }
    }
}

TEST(EffectPreprocessor, IncludesAreAskedOnceEachClosedInTurnAndTheirLinesKeepTheirFileAndColumn) {
    FakeIncludes includes({{"a.fxh", "// a\nfloat  fromA;\n#include \"b.fxh\"\nfloat afterB;\n"},
                           {"b.fxh", "\n   float3   fromB = {1, 2, 3};\n"},
                           {"sys.fxh", "float fromSystem;"}});
    const std::string source = "float first;\n#include \"a.fxh\"\n#include <sys.fxh>\nfloat last;\n";
    const PreprocessedEffect result = Preprocess(source, &includes);
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(includes.calls,
              (std::vector<std::string> {"local a.fxh from main.fx", "local b.fxh from a.fxh", "close b.fxh",
                                         "close a.fxh", "system sys.fxh from main.fx", "close sys.fxh"}));
    EXPECT_EQ(includes.open, 0);

    // Each declaration sits at its own column, and a message about its line names its own file and line.
    const std::vector<std::string> lines = Lines(result.text);
    auto lineOf = [&](const std::string& text) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(text) != std::string::npos) return static_cast<int>(i + 1);
        }
        ADD_FAILURE() << text << " missing from\n" << result.text;
        return 0;
    };
    const struct {
        const char* text;
        const char* position;
    } cases[] = {{"first", "main.fx(1,7)"}, {"fromA", "a.fxh(2,8)"},        {"fromB", "b.fxh(2,13)"},
                 {"afterB", "a.fxh(4,7)"},  {"fromSystem", "sys.fxh(1,7)"}, {"last", "main.fx(4,7)"}};
    for (const auto& entry : cases) {
        const int line = lineOf(entry.text);
        ASSERT_GT(line, 0);
        const std::size_t column = lines[static_cast<std::size_t>(line - 1)].find(entry.text) + 1;
        const std::string message =
            "main.fx(" + std::to_string(line) + "," + std::to_string(column) + "): error: 'x' : undeclared\n";
        EXPECT_EQ(result.MapMessages(message, "main.fx"), std::string(entry.position) + ": error: 'x' : undeclared\n");
    }
    // Lines that are not about a position in the text stay as they are.
    EXPECT_EQ(result.MapMessages("main.fx: error: linking\n", "main.fx"), "main.fx: error: linking\n");
}

TEST(EffectPreprocessor, MacrosAndConditionalsApplyToDeclarationsAnnotationsAndTechniques) {
    const std::string source =
        "#define COUNT 3\n"
        "float4 g_Values[COUNT] < string UIName = NAME; >;\n"
        "#ifdef USE_RED\n"
        "technique Red { pass { } }\n"
        "#else\n"
        "technique Blue { pass { } }\n"
        "#endif\n"
        "float g_Scaled = SCALE(4);\n";
    const PreprocessedEffect defined =
        Preprocess(source, nullptr, {{"USE_RED", ""}, {"NAME", "\"tint\""}, {"SCALE(x)", "(x * 2)"}});
    ASSERT_TRUE(defined.ok) << defined.errors;
    EXPECT_NE(Collapsed(defined.text).find("float4 g_Values[3 ] < string UIName = \"tint\";>;"), std::string::npos)
        << defined.text;
    EXPECT_NE(defined.text.find("technique Red"), std::string::npos);
    EXPECT_EQ(defined.text.find("technique Blue"), std::string::npos);
    EXPECT_NE(Collapsed(defined.text).find("g_Scaled = (4 * 2);"), std::string::npos) << defined.text;
    EXPECT_EQ(defined.text.find("#define"), std::string::npos);
    // Line breaks stay where they were: the technique is still on line 4.
    EXPECT_EQ(Lines(defined.text).at(3), "technique Red { pass { } }");

    const PreprocessedEffect plain = Preprocess(source, nullptr, {{"NAME", "\"tint\""}, {"SCALE(x)", "x"}});
    ASSERT_TRUE(plain.ok) << plain.errors;
    EXPECT_EQ(plain.text.find("technique Red"), std::string::npos);
    EXPECT_EQ(Lines(plain.text).at(5), "technique Blue { pass { } }");
}

TEST(EffectPreprocessor, MissingRecursiveAndTooDeepIncludesFailNamingFileAndLine) {
    // A missing file: the handler is asked once, and the message names the including file and line.
    {
        FakeIncludes includes(std::map<std::string, std::string> {{"a.fxh", "float a;\n\n  #include \"gone.fxh\"\n"}});
        const PreprocessedEffect result = Preprocess("#include \"a.fxh\"\n", &includes);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.errors.find("a.fxh(3,3): error: '#include' : failed to open source file: 'gone.fxh'"),
                  std::string::npos)
            << result.errors;
        EXPECT_EQ(includes.calls,
                  (std::vector<std::string> {"local a.fxh from main.fx", "local gone.fxh from a.fxh", "close a.fxh"}));
        EXPECT_EQ(includes.open, 0);
    }
    // Without an include source (an effect in memory without a handler) no include can be read.
    {
        const PreprocessedEffect result = Preprocess("float a;\n#include \"a.fxh\"\n");
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.errors.find("main.fx(2,1): error: '#include' : failed to open source file"), std::string::npos)
            << result.errors;
    }
    // A file that includes itself, directly or through another, stops at once.
    for (const char* cycle : {"a.fxh", "b.fxh"}) {
        FakeIncludes includes(
            {{"a.fxh", std::string("#include \"") + cycle + "\"\n"}, {"b.fxh", "float b;\n#include \"a.fxh\"\n"}});
        const PreprocessedEffect result = Preprocess("#include \"a.fxh\"\n", &includes);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.errors.find(": error: '#include' : recursive include: 'a.fxh'"), std::string::npos)
            << result.errors;
        EXPECT_EQ(includes.open, 0);
    }
    // Distinct files nested deeper than the limit.
    {
        std::map<std::string, std::string> chain;
        for (std::size_t i = 0; i < kMaxIncludeDepth + 5; ++i)
            chain["d" + std::to_string(i)] = "#include \"d" + std::to_string(i + 1) + "\"\n";
        FakeIncludes includes(chain);
        const PreprocessedEffect result = Preprocess("#include \"d0\"\n", &includes);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.errors.find("nested more than " + std::to_string(kMaxIncludeDepth) + " deep"),
                  std::string::npos)
            << result.errors;
        EXPECT_EQ(includes.calls.size(), 2 * kMaxIncludeDepth);
        EXPECT_EQ(includes.open, 0);
    }
    // A preprocessor error in an included file points into that file.
    {
        FakeIncludes includes(std::map<std::string, std::string> {{"a.fxh", "float a;\n#error stop here\n"}});
        const PreprocessedEffect result = Preprocess("\n#include \"a.fxh\"\n", &includes);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.errors.find("a.fxh(2,1): error: '#error' : stop here"), std::string::npos) << result.errors;
        EXPECT_EQ(includes.open, 0);
    }
}

TEST(EffectPreprocessor, PragmaOnceEmptyFilesWindowsLineEndsAndTabsAreReadAsOnWindows) {
    FakeIncludes includes({{"once.fxh", "// guarded\n  #  pragma once\nfloat fromOnce;\n"}, {"empty.fxh", ""}});
    const std::string source =
        "#include \"once.fxh\"\r\n#include \"empty.fxh\"\r\n#include \"once.fxh\"\r\n"
        "\tfloat\t tabbed;\r\n";
    const PreprocessedEffect result = Preprocess(source, &includes);
    ASSERT_TRUE(result.ok) << result.errors;
    const std::string& text = result.text;
    EXPECT_EQ(text.find("fromOnce"), text.rfind("fromOnce")) << text;
    EXPECT_EQ(includes.open, 0);
    EXPECT_EQ(includes.calls.size(), 6u);
    // The tabbed declaration keeps its byte columns on its line (the fourth of the file).
    const std::vector<std::string> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t column = lines[i].find("tabbed");
        if (column == std::string::npos) continue;
        EXPECT_EQ(column, 8u);
        const std::string message = "main.fx(" + std::to_string(i + 1) + ",9): error: x\n";
        EXPECT_EQ(result.MapMessages(message, "main.fx"), "main.fx(4,9): error: x\n");
    }
    EXPECT_NE(text.find("tabbed"), std::string::npos);
}

// A backslash ending a line joins it to the next everywhere; it also ends the token before it, so a
// macro's name stays apart from a body that starts the next line. The lines after keep their numbers.
TEST(EffectPreprocessor, LineContinuationsJoinLinesEndTheTokenBeforeThemAndKeepLaterLineNumbers) {
    const std::string source =
        "#define NAME\\\n"
        "1.5\n"
        "#define SCALE(x)\\\r\n"
        "((x) *\\\n"
        " 2)\n"
        "float a = NAME;\n"
        "float b = SCALE(3) + \\\n"
        "   4;\n"
        "float after;\n";
    const PreprocessedEffect result = Preprocess(source);
    ASSERT_TRUE(result.ok) << result.errors;
    const std::string text = WithoutSpaces(result.text);
    EXPECT_NE(text.find("floata=1.5;"), std::string::npos) << result.text;
    EXPECT_NE(text.find("floatb=((3)*2)+\n4;"), std::string::npos) << result.text;
    EXPECT_EQ(text.find("NAME1"), std::string::npos) << result.text;
    // `after` stands on the ninth line of the file, at its own column.
    const std::vector<std::string> lines = Lines(result.text);
    bool found = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t column = lines[i].find("after");
        if (column == std::string::npos) continue;
        found = true;
        EXPECT_EQ(column, 6u);
        const std::string message = "main.fx(" + std::to_string(i + 1) + ",7): error: x\n";
        EXPECT_EQ(result.MapMessages(message, "main.fx"), "main.fx(9,7): error: x\n");
    }
    EXPECT_TRUE(found) << result.text;
}

// A UTF-8 byte-order mark opening the effect or an included file is no part of the text: the
// directive after it is read, and the columns of the first line are counted without it.
TEST(EffectPreprocessor, AByteOrderMarkOpeningTheEffectOrAnIncludeIsSkipped) {
    FakeIncludes includes(
        std::map<std::string, std::string> {{"marked.fxh", "\xEF\xBB\xBF#define FROM_INCLUDE 2\nfloat inInclude;\n"}});
    const std::string source = "\xEF\xBB\xBF#include \"marked.fxh\"\nfloat fromEffect = FROM_INCLUDE;\n";
    const PreprocessedEffect result = Preprocess(source, &includes);
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.text.find("\xEF"), std::string::npos) << result.text;
    EXPECT_NE(WithoutSpaces(result.text).find("floatfromEffect=2;"), std::string::npos) << result.text;
    const std::vector<std::string> lines = Lines(result.text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("inInclude") == std::string::npos) continue;
        EXPECT_EQ(lines[i].find("float"), 0u);
        const std::string message = "main.fx(" + std::to_string(i + 1) + ",7): error: x\n";
        EXPECT_EQ(result.MapMessages(message, "main.fx"), "marked.fxh(2,7): error: x\n");
    }
    // A mark and nothing else is an empty effect.
    const PreprocessedEffect empty = Preprocess("\xEF\xBB\xBF");
    ASSERT_TRUE(empty.ok) << empty.errors;
    EXPECT_EQ(empty.text.find_first_not_of(" \n"), std::string::npos);
}

// Kept results: the same input is answered with the run's own result without running again; a
// change of text, name or macros runs again; a run that asks for files is never kept.
TEST(EffectPreprocessorCache, SameInputIsServedAndAnyChangedInputRunsAgain) {
    const TestSupport::ScopedEnvironment noDisk("NVESK_SHADER_CACHE", "off");
    const std::string source = "float g_Kept[SIZE];\n// kept, in memory\n";
    const std::vector<Macro> macros = {{"SIZE", "2"}};
    const std::uint64_t before = PreprocessorRunCount();
    const PreprocessedEffect first = Preprocess(source, nullptr, macros);
    ASSERT_TRUE(first.ok) << first.errors;
    EXPECT_EQ(Collapsed(Lines(first.text).at(0)), "float g_Kept[2 ];");
    ExpectSameResult(Preprocess(source, nullptr, macros), first);
    EXPECT_EQ(PreprocessorRunCount(), before + 1);

    struct Change {
        const char* name;
        std::string text;
        std::vector<Macro> macros;
        const char* firstLine;
    };
    const Change changes[] = {{"main.fx", source, {{"SIZE", "3"}}, "float g_Kept[3 ];"},
                              {"main.fx", source, {{"SIZE", "2"}, {"OTHER", ""}}, "float g_Kept[2 ];"},
                              {"main.fx", "float g_Kupt[SIZE];\n// kept, in memory\n", macros, "float g_Kupt[2 ];"},
                              {"other.fx", source, macros, "float g_Kept[2 ];"}};
    std::uint64_t runs = PreprocessorRunCount();
    for (const Change& change : changes) {
        const PreprocessedEffect result =
            PreprocessEffect({change.name, change.text.data(), change.text.size()}, change.macros, nullptr);
        ASSERT_TRUE(result.ok) << result.errors;
        EXPECT_EQ(PreprocessorRunCount(), ++runs) << change.firstLine;
        EXPECT_EQ(Collapsed(Lines(result.text).at(0)), change.firstLine);
        EXPECT_EQ(result.fileNames.at(0), change.name);
    }
    ExpectSameResult(Preprocess(source, nullptr, macros), first);
    EXPECT_EQ(PreprocessorRunCount(), runs);

    // Files asked for, found or not: the source is asked again every time.
    FakeIncludes includes(std::map<std::string, std::string> {{"a.fxh", "float fromA;\n"}});
    const std::string including = "#include \"a.fxh\"\nfloat g_Including;\n";
    const PreprocessedEffect included = Preprocess(including, &includes);
    ASSERT_TRUE(included.ok) << included.errors;
    ExpectSameResult(Preprocess(including, &includes), included);
    EXPECT_EQ(includes.calls.size(), 4u);
    const std::string missing = "#include \"missing.fxh\"\nfloat g_Missing;\n";
    EXPECT_FALSE(Preprocess(missing, &includes).ok);
    EXPECT_FALSE(Preprocess(missing, &includes).ok);
    EXPECT_EQ(includes.calls.size(), 6u);
    EXPECT_EQ(PreprocessorRunCount(), runs + 4);
    // An #include the conditionals skip asks for nothing: kept.
    const std::string skipped = "#if 0\n#include \"a.fxh\"\n#endif\nfloat g_Skipped;\n";
    ExpectSameResult(Preprocess(skipped, &includes), Preprocess(skipped, &includes));
    EXPECT_EQ(includes.calls.size(), 6u);
    EXPECT_EQ(PreprocessorRunCount(), runs + 5);
}

TEST(EffectPreprocessorCache, DiskKeepsResultsAcrossProcessesAndRefusesDamagedOnes) {
    TestSupport::TempDir folder;
    const TestSupport::ScopedEnvironment chosen("NVESK_SHADER_CACHE", folder.Path().c_str());
    const ProgramCache cache(folder.Path(), CompilerVersion());
    auto keyOf = [](const std::string& text) { return PreprocessedKey({"main.fx", text.data(), text.size()}, {}); };

    // A run that asks for no file is written to the folder.
    const std::string fresh = "#define N 4\nfloat g_OnDisk[N];\n";
    const std::uint64_t before = PreprocessorRunCount();
    const PreprocessedEffect ran = Preprocess(fresh);
    ASSERT_TRUE(ran.ok) << ran.errors;
    EXPECT_EQ(PreprocessorRunCount(), before + 1);
    const std::optional<std::string> stored = cache.LoadBytes(keyOf(fresh));
    ASSERT_TRUE(stored.has_value());
    PreprocessedEffect read;
    ASSERT_TRUE(DeserializePreprocessed(*stored, read));
    ExpectSameResult(read, ran);

    // A result found there for a source this process never ran (as at the next start) is taken.
    const std::string planted = "float g_Planted;\n";
    PreprocessedEffect marked = ran;
    marked.text = "float g_FromTheFolder;\n";
    marked.lines = {{0, 1}};
    ASSERT_TRUE(cache.StoreBytes(keyOf(planted), SerializePreprocessed(marked)));
    ExpectSameResult(Preprocess(planted), marked);
    EXPECT_EQ(PreprocessorRunCount(), before + 1);

    // Bytes that are not a whole result are a miss: the source runs and the file is rewritten.
    const std::string bytes = SerializePreprocessed(ran);
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(DeserializePreprocessed(bytes.substr(0, length), read)) << length;
    EXPECT_FALSE(DeserializePreprocessed(bytes + '\0', read));
    PreprocessedEffect unmatched = ran;
    unmatched.lines.pop_back();  // an origin missing for a line
    EXPECT_FALSE(DeserializePreprocessed(SerializePreprocessed(unmatched), read));
    unmatched = ran;
    unmatched.lines[0].file = 5;  // a file that is not named
    EXPECT_FALSE(DeserializePreprocessed(SerializePreprocessed(unmatched), read));

    const std::string damaged = "#define N 5\nfloat g_Damaged[N];\n";
    ASSERT_TRUE(cache.StoreBytes(keyOf(damaged), bytes.substr(0, bytes.size() / 2)));
    const PreprocessedEffect rerun = Preprocess(damaged);
    ASSERT_TRUE(rerun.ok) << rerun.errors;
    EXPECT_EQ(Lines(rerun.text).at(1), "float g_Damaged[5];");
    EXPECT_EQ(PreprocessorRunCount(), before + 2);
    const std::optional<std::string> rewritten = cache.LoadBytes(keyOf(damaged));
    ASSERT_TRUE(rewritten.has_value());
    ASSERT_TRUE(DeserializePreprocessed(*rewritten, read));
    ExpectSameResult(read, rerun);
}
