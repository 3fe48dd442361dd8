// A file stream for wide text: UTF-16 LE/BE with a byte-order mark, or the ANSI code page.
// Output is batched in memory until Flush or Close; input is read in one piece.
#pragma once

#include "lib/FStream.h"

#include <cstdint>
#include <string>

namespace NLib {

namespace TextEncoding {
enum : std::uint16_t {
    Ansi = 0,
    Utf16LE = 1,
    Utf16BE = 2,
};
}  // namespace TextEncoding

class TextStream : public FStream {
public:
    explicit TextStream(bool logErrors);
    ~TextStream();

    // FStream::Open, then the encoding: a new file gets the mark FF FE; an existing one is read by its mark.
    int Open(const std::wstring& fileName, std::uint16_t flags);
    // Appends text to the pending buffer; nothing reaches the file.
    TextStream& operator<<(const std::wstring& text);
    // Writes the pending text with CR LF line ends. 0; 100 nothing pending; 101 ANSI conversion failed
    // (text kept); 3 the write failed.
    int Flush();
    // Flushes, forgets the encoding and closes the file: FStream::Close's result.
    int Close();
    // The whole file, decoded, every CR removed. 0; 102 ANSI conversion failed; 5 (or 6) the read failed.
    int ReadFileToString(std::wstring& out);

    std::uint16_t Encoding() const { return m_encoding; }
    const std::wstring& Pending() const { return m_buffer; }

private:
    int WriteUtf16(bool bigEndian);

    std::wstring m_buffer;  // UTF-16 code units appended since the last flush
    std::uint16_t m_encoding;
};

}  // namespace NLib
