// The file a tool is asked to check, looked at before any device exists, so that a missing,
// unreadable or empty file gets a one-line answer without a display.
#pragma once

#include <string>
#include <vector>

namespace NVeskTools {

// The file's bytes; false, with `error` saying why in a few words ("no such file", "a folder, not
// a file", "cannot be read: Permission denied", "the file is empty"); devices and pipes are
// refused as not regular files.
bool ReadInputFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

// False, with `error` naming the first byte no text file holds (a zero or a control character
// other than tab, line and page breaks), for files that must be text.
bool LooksLikeText(const std::vector<unsigned char>& bytes, std::string& error);

}  // namespace NVeskTools
