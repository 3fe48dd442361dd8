#include "Arguments.h"

#include <cctype>
#include <cstring>

namespace FxCheck {

namespace {

bool MacroName(const std::string& name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    for (char c : name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
}

}  // namespace

bool ParseArguments(int argc, const char* const* argv, Arguments& arguments, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            arguments.help = true;
            return true;
        }
        if (argument.size() >= 2 && argument[0] == '-' && (argument[1] == 'D' || argument[1] == 'I')) {
            std::string value = argument.substr(2);
            if (value.empty()) {
                if (i + 1 >= argc) {
                    error = argument + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            if (argument[1] == 'I') {
                arguments.includeFolders.push_back(value);
                continue;
            }
            const std::size_t equals = value.find('=');
            const std::string name = value.substr(0, equals);
            if (!MacroName(name)) {
                error = "-D " + value + ": '" + name + "' is not a macro name";
                return false;
            }
            arguments.defines.emplace_back(name, equals == std::string::npos ? "" : value.substr(equals + 1));
        } else if (!argument.empty() && argument[0] == '-') {
            error = "unknown option " + argument;
            return false;
        } else if (!arguments.file.empty()) {
            error = "one effect file at a time";
            return false;
        } else {
            arguments.file = argument;
        }
    }
    if (arguments.file.empty()) {
        error = "no effect file given";
        return false;
    }
    return true;
}

}  // namespace FxCheck
