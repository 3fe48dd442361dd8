#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>

namespace TestSupport {

TempDir::TempDir() {
    static std::atomic<unsigned> counter {0};
    std::random_device entropy;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        const std::string name = "nvesk-test-" + std::to_string(stamp % 1000000007) + "-" +
                                 std::to_string(entropy() % 100000) + "-" + std::to_string(counter++);
        m_path = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(m_path)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::wstring TempDir::File(const std::string& name) const {
    const std::string full = (m_path / name).string();
    return std::wstring(full.begin(), full.end());  // test paths are ASCII
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Utf16LE(const std::wstring& text, bool withMark) {
    std::vector<std::uint8_t> bytes;
    if (withMark) bytes = {0xFF, 0xFE};
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    }
    return bytes;
}

std::vector<std::uint8_t> Utf16BE(const std::wstring& text, bool withMark) {
    std::vector<std::uint8_t> bytes;
    if (withMark) bytes = {0xFE, 0xFF};
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    }
    return bytes;
}

std::vector<std::uint8_t> SingleBytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

WorkingDirectory::WorkingDirectory(const std::filesystem::path& folder) : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_previous = old;
    Set(value);
}

ScopedEnvironment::~ScopedEnvironment() {
    Set(m_previous ? m_previous->c_str() : nullptr);
}

void ScopedEnvironment::Set(const char* value) {
#if defined(_WIN32)
    _putenv_s(m_name, value != nullptr ? value : "");  // an empty value removes it
#else
    if (value != nullptr) {
        setenv(m_name, value, 1);
    } else {
        unsetenv(m_name);
    }
#endif
}

}  // namespace TestSupport
