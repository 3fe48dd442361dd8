#include "InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace NVeskTools {

bool ReadInputFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
    std::error_code status;
    const std::filesystem::file_status file = std::filesystem::status(path, status);
    if (!std::filesystem::exists(file)) {
        error = "no such file";
        return false;
    }
    if (std::filesystem::is_directory(file)) {
        error = "a folder, not a file";
        return false;
    }
    if (!std::filesystem::is_regular_file(file)) {
        error = "not a regular file";
        return false;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        error = "cannot be read";
        return false;
    }
    if (bytes.empty()) {
        error = "the file is empty";
        return false;
    }
    return true;
}

bool LooksLikeText(const std::vector<unsigned char>& bytes, std::string& error) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = bytes[i];
        const bool control = c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v';
        if (control || c == 0x7F) {
            char text[96];
            std::snprintf(text, sizeof text, "not a text file (byte 0x%02X at offset %zu)", c, i);
            error = text;
            return false;
        }
    }
    return true;
}

}  // namespace NVeskTools
