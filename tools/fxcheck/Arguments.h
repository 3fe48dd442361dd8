// fxcheck's command line: FILE.fx [-D NAME[=VALUE]]... [-I DIR]...
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace FxCheck {

inline constexpr char kUsage[] = "fxcheck FILE.fx [-D NAME[=VALUE]]... [-I DIR]...";

struct Arguments {
    std::string file;
    std::vector<std::pair<std::string, std::string>> defines;  // NAME alone defines it empty
    std::vector<std::string> includeFolders;                   // searched in this order
    bool help = false;
};

// False, with `error` saying what is wrong, when the command line is not one fxcheck takes. The
// option's value may follow it or be joined to it (-DDEBUG=1, -Iinclude).
bool ParseArguments(int argc, const char* const* argv, Arguments& arguments, std::string& error);

}  // namespace FxCheck
