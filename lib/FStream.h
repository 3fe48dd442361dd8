// A file handle with its own read and write positions and cached size.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace NLib {

// Open modes: a bit set; only fourteen combinations are accepted (see FStream::Open).
namespace OpenMode {
enum : std::uint16_t {
    Read = 1,
    Write = 2,
    Truncate = 4,
    Append = 8,
    ShareRead = 16,
};
}  // namespace OpenMode

class FStream {
public:
    // logErrors: failures are written to the log (false only for the log's own stream).
    explicit FStream(bool logErrors);
    ~FStream();
    FStream(const FStream&) = delete;
    FStream& operator=(const FStream&) = delete;

    // 0 opened; 2 refused mode or the system could not open the file.
    int Open(const std::wstring& fileName, std::uint16_t flags);
    // 0, or 1 when the handle failed to close; the stream is reset either way.
    int Close();
    // 0 all read; 5 system error or short read; 6 the request went past the end (the rest was read).
    int Read(void* buffer, std::uint32_t count);
    // 0 all written; 3 system error or short write.
    int Write(const void* buffer, std::uint32_t count);
    // Moves the system file pointer to an offset from the start: 0, or 4 on failure.
    int SetFilePtr(std::uint64_t position);

    HANDLE Handle() const { return m_handle; }
    bool IsOpen() const { return m_isOpen; }
    bool CanWrite() const { return m_canWrite; }
    bool CanRead() const { return m_canRead; }
    std::uint64_t ReadPos() const { return m_readPos; }
    std::uint64_t WritePos() const { return m_writePos; }
    bool IsNew() const { return m_isNew; }
    std::uint64_t Size() const { return m_size; }
    bool LogsErrors() const { return m_logErrors; }

protected:
    void LogError(const std::wstring& message) const;

    HANDLE m_handle;
    bool m_isOpen;
    bool m_canWrite;
    bool m_canRead;
    std::uint64_t m_readPos;
    std::uint64_t m_writePos;
    bool m_isNew;
    std::uint64_t m_size;
    bool m_logErrors;
};

}  // namespace NLib
