// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace TestSupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The file's full name as the engine takes it.
    std::wstring File(const std::string& name) const;

private:
    std::filesystem::path m_path;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
// Text as bytes: UTF-16 LE (optionally with its mark) or one byte per unit.
std::vector<std::uint8_t> Utf16LE(const std::wstring& text, bool withMark);
std::vector<std::uint8_t> Utf16BE(const std::wstring& text, bool withMark);
std::vector<std::uint8_t> SingleBytes(const std::string& text);

// Makes a folder the working directory until destroyed.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path m_previous;
};

// Sets an environment variable (null: unsets it) until destroyed, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const char* value);
    const char* m_name;
    std::optional<std::string> m_previous;
};

}  // namespace TestSupport
