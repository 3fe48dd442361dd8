#include "lib/TextStream.h"

#include "lib/TextFormat.h"

#include <vector>

namespace NLib {

namespace {

constexpr wchar_t kLineFeed = 0x000A;
constexpr wchar_t kCarriageReturn = 0x000D;

// Every LF not already preceded by CR gets one (also an LF at the very start).
void ExpandLineBreaks(std::wstring& text) {
    std::wstring expanded;
    expanded.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kLineFeed && (i == 0 || text[i - 1] != kCarriageReturn)) expanded += kCarriageReturn;
        expanded += text[i];
    }
    text.swap(expanded);
}

std::uint16_t Unit(const unsigned char* bytes, bool bigEndian) {
    return bigEndian ? static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1])
                     : static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

void AppendWithoutCarriageReturns(std::wstring& out, wchar_t unit) {
    if (unit != kCarriageReturn) out += unit;
}

}  // namespace

TextStream::TextStream(bool logErrors) : FStream(logErrors), m_encoding(TextEncoding::Ansi) {}

TextStream::~TextStream() {
    if (m_isOpen) Close();
}

int TextStream::Open(const std::wstring& fileName, std::uint16_t flags) {
    const int opened = FStream::Open(fileName, flags);
    if (opened != 0) return opened;

    if (m_isNew) {
        m_encoding = TextEncoding::Utf16LE;
        static const unsigned char kMark[2] = {0xFF, 0xFE};
        FStream::Write(kMark, sizeof kMark);
        return 0;
    }

    // Straight from the handle: the stored read position stays where it is and nothing is reported.
    unsigned char mark[2] = {0, 0};
    DWORD got = 0;
    if (ReadFile(m_handle, mark, sizeof mark, &got, nullptr) && got == sizeof mark) {
        const std::uint16_t value = Unit(mark, false);
        if (value == 0xFEFF)
            m_encoding = TextEncoding::Utf16LE;
        else if (value == 0xFFFE)
            m_encoding = TextEncoding::Utf16BE;
    }
    if (m_encoding != TextEncoding::Ansi) {
        m_readPos = 2;
        m_writePos = (flags & OpenMode::Append) ? m_size : 2;
    }
    return 0;
}

TextStream& TextStream::operator<<(const std::wstring& text) {
    m_buffer.reserve(m_buffer.size() + text.size());
    m_buffer.append(text);
    return *this;
}

int TextStream::Flush() {
    if (m_buffer.empty()) return 100;
    ExpandLineBreaks(m_buffer);

    int result = 0;
    if (m_encoding == TextEncoding::Ansi) {
        const int units = static_cast<int>(m_buffer.size());
        std::vector<char> bytes(m_buffer.size());
        BOOL usedDefault = FALSE;
        const int converted = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, m_buffer.data(), units, bytes.data(),
                                                  units, nullptr, &usedDefault);
        if (converted == 0) {
            LogError(L"NLib::TextStream::Flush >> Function \"WideCharToMultiByte\" returned an error. Error Code: " +
                     ToHexString(GetLastError()));
            return 101;  // the text stays pending
        }
        result = FStream::Write(bytes.data(), static_cast<std::uint32_t>(converted));
    } else {
        result = WriteUtf16(m_encoding == TextEncoding::Utf16BE);
    }
    m_buffer.clear();
    return result;
}

int TextStream::WriteUtf16(bool bigEndian) {
    std::vector<unsigned char> bytes(m_buffer.size() * 2);
    for (std::size_t i = 0; i < m_buffer.size(); ++i) {
        const auto unit = static_cast<std::uint16_t>(m_buffer[i]);
        const auto low = static_cast<unsigned char>(unit & 0xFF);
        const auto high = static_cast<unsigned char>(unit >> 8);
        bytes[2 * i] = bigEndian ? high : low;
        bytes[2 * i + 1] = bigEndian ? low : high;
    }
    return FStream::Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

int TextStream::Close() {
    Flush();
    m_buffer.clear();
    m_encoding = TextEncoding::Ansi;
    return FStream::Close();
}

int TextStream::ReadFileToString(std::wstring& out) {
    out.clear();
    const std::uint64_t savedReadPos = m_readPos;

    if (m_encoding == TextEncoding::Ansi) {
        m_readPos = 0;
        const auto byteCount = static_cast<std::uint32_t>(m_size);
        std::vector<char> bytes(byteCount);
        const int read = FStream::Read(bytes.data(), byteCount);
        if (read != 0) return read;
        std::vector<wchar_t> units(byteCount);
        const int converted = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), static_cast<int>(byteCount),
                                                  units.data(), static_cast<int>(byteCount));
        if (converted == 0) {
            LogError(
                L"NLib::TextStream::ReadFileToString >> Function \"MultiByteToWideChar\" returned an error. "
                L"Error Code: " +
                ToHexString(GetLastError()));
            return 102;
        }
        out.reserve(static_cast<std::size_t>(converted));
        for (int i = 0; i < converted; ++i)
            AppendWithoutCarriageReturns(out, units[static_cast<std::size_t>(i)]);
    } else {
        m_readPos = 2;
        const std::uint64_t textBytes = m_size >= 2 ? m_size - 2 : 0;  // never wraps into a huge read
        const auto unitCount = static_cast<std::uint32_t>(textBytes) / 2;
        std::vector<unsigned char> bytes(static_cast<std::size_t>(unitCount) * 2);
        const int read = FStream::Read(bytes.data(), unitCount * 2);
        if (read != 0) return read;
        const bool bigEndian = m_encoding == TextEncoding::Utf16BE;
        out.reserve(unitCount);
        for (std::uint32_t i = 0; i < unitCount; ++i) {
            AppendWithoutCarriageReturns(out, static_cast<wchar_t>(Unit(&bytes[2 * i], bigEndian)));
        }
    }

    m_readPos = savedReadPos;
    return 0;
}

}  // namespace NLib
