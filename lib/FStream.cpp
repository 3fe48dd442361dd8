#include "lib/FStream.h"

#include "lib/Logger.h"
#include "lib/TextFormat.h"

namespace NLib {

namespace {

enum class NewFileRule { Cleared, ClearedIfExisted, Unchanged };

struct ModeArguments {
    std::uint16_t flags;
    DWORD access;
    DWORD shareMode;
    DWORD disposition;  // truncating modes fall back to CREATE_NEW
    DWORD attributes;
    bool canRead;
    bool canWrite;
    NewFileRule newFileRule;
};

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kSequential = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

// The fourteen accepted modes; every other flag value is refused.
constexpr ModeArguments kModes[] = {
    {1, GENERIC_READ, 0, OPEN_EXISTING, kSequential, true, false, NewFileRule::Cleared},
    {2, kReadWrite, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, false, true, NewFileRule::ClearedIfExisted},
    {3, kReadWrite, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, true, true, NewFileRule::ClearedIfExisted},
    {6, GENERIC_WRITE, 0, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, false, true, NewFileRule::Unchanged},
    {7, kReadWrite, 0, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, true, true, NewFileRule::Unchanged},
    {10, kReadWrite, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, false, true, NewFileRule::ClearedIfExisted},
    {11, kReadWrite, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, true, true, NewFileRule::ClearedIfExisted},
    {17, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, kSequential, true, false, NewFileRule::Cleared},
    {18, kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, false, true, NewFileRule::ClearedIfExisted},
    {19, kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, true, true, NewFileRule::ClearedIfExisted},
    {22, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, false, true, NewFileRule::Unchanged},
    {23, kReadWrite, FILE_SHARE_READ, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, true, true, NewFileRule::Unchanged},
    {26, kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, false, true, NewFileRule::ClearedIfExisted},
    {27, kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, true, true, NewFileRule::ClearedIfExisted},
};

const ModeArguments* FindMode(std::uint16_t flags) {
    for (const ModeArguments& mode : kModes) {
        if (mode.flags == flags) return &mode;
    }
    return nullptr;
}

}  // namespace

FStream::FStream(bool logErrors)
    : m_handle(nullptr),
      m_isOpen(false),
      m_canWrite(false),
      m_canRead(false),
      m_readPos(0),
      m_writePos(0),
      m_isNew(true),
      m_size(0),
      m_logErrors(logErrors) {}

FStream::~FStream() {
    if (m_isOpen) FStream::Close();
}

void FStream::LogError(const std::wstring& message) const {
    if (m_logErrors) Logger::Write(message, true);
}

int FStream::Open(const std::wstring& fileName, std::uint16_t flags) {
    const ModeArguments* mode = FindMode(flags);
    if (mode == nullptr) {
        LogError(L"NLib::FStream::Open >> Invalid stream flag");
        return 2;
    }

    m_handle = CreateFileW(fileName.c_str(), mode->access, mode->shareMode, nullptr, mode->disposition,
                           mode->attributes, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE && mode->disposition == TRUNCATE_EXISTING) {
        m_handle = CreateFileW(fileName.c_str(), mode->access, mode->shareMode, nullptr, CREATE_NEW, mode->attributes,
                               nullptr);
    }
    const DWORD lastError = GetLastError();
    if (m_handle == INVALID_HANDLE_VALUE) {
        m_handle = nullptr;
        LogError(L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: " +
                 ToHexString(lastError));
        return 2;
    }

    if (mode->newFileRule == NewFileRule::Cleared ||
        (mode->newFileRule == NewFileRule::ClearedIfExisted && lastError == ERROR_ALREADY_EXISTS)) {
        m_isNew = false;
    }
    m_canRead = mode->canRead;
    m_canWrite = mode->canWrite;
    m_isOpen = true;
    LARGE_INTEGER size;
    size.QuadPart = 0;
    if (GetFileSizeEx(m_handle, &size)) m_size = static_cast<std::uint64_t>(size.QuadPart);
    if (flags & OpenMode::Append) m_writePos = m_size;
    return 0;
}

int FStream::Close() {
    const BOOL closed = CloseHandle(m_handle);
    const DWORD lastError = GetLastError();
    m_isOpen = false;
    m_canWrite = false;
    m_canRead = false;
    m_readPos = 0;
    m_writePos = 0;
    m_isNew = true;
    m_handle = nullptr;
    m_size = 0;
    if (!closed) {
        LogError(L"NLib::FStream::Close >> Function \"Close Handle\" returned an error. Error Code: " +
                 ToHexString(lastError));
        return 1;
    }
    return 0;
}

int FStream::SetFilePtr(std::uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(m_handle, distance, nullptr, FILE_BEGIN)) {
        LogError(L"NLib::FStream::SetFilePtr >> SetFilePointerEx returned an error. Error code: " +
                 ToHexString(GetLastError()));
        return 4;
    }
    return 0;
}

int FStream::Write(const void* buffer, std::uint32_t count) {
    SetFilePtr(m_writePos);
    DWORD written = 0;
    if (!WriteFile(m_handle, buffer, count, &written, nullptr)) {
        LogError(L"NLib::FStream::Write >> WriteFile returned an error. Error code: " + ToHexString(GetLastError()));
        return 3;
    }
    m_writePos += written;
    if (written != count) {
        LogError(L"NLib::FStream::Write >> Only " + UInt64ToString(written) + L"/" + UInt64ToString(count) +
                 L" bytes has been written");
        return 3;
    }
    LARGE_INTEGER size;
    if (GetFileSizeEx(m_handle, &size)) m_size = static_cast<std::uint64_t>(size.QuadPart);
    return 0;
}

int FStream::Read(void* buffer, std::uint32_t count) {
    SetFilePtr(m_readPos);
    // On the low 32 bits, as transfers are single 32-bit requests.
    const std::uint32_t remaining = static_cast<std::uint32_t>(m_size) - static_cast<std::uint32_t>(m_readPos);
    bool cut = false;
    if (count > remaining) {
        count = remaining;
        cut = true;
    }
    DWORD read = 0;
    if (!ReadFile(m_handle, buffer, count, &read, nullptr)) {
        LogError(L"NLib::FStream::Read >> ReadFile returned an error. Error code: " + ToHexString(GetLastError()));
        return 5;
    }
    m_readPos += read;
    if (cut) return 6;
    if (read != count) {
        LogError(L"NLib::FStream::Read >> Only " + UInt64ToString(read) + L"/" + UInt64ToString(count) +
                 L" bytes has been m_read");
        return 5;
    }
    return 0;
}

}  // namespace NLib
