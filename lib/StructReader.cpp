#include "lib/StructReader.h"

#include "lib/Logger.h"
#include "lib/TextStream.h"

#include <sstream>

namespace NLib {

namespace {

// Positions and lengths wrap in unsigned 32 bits, with a failed search as 0xFFFFFFFF.
std::uint32_t Position(std::wstring::size_type found) {
    return found == std::wstring::npos ? 0xFFFFFFFFu : static_cast<std::uint32_t>(found);
}

// The substring at start with length, both already wrapped; clamped to the text instead of reading past it.
std::wstring Slice(const std::wstring& text, std::uint32_t start, std::uint32_t length) {
    if (start >= text.size()) return std::wstring();
    return text.substr(start, length);
}

// Erases every "//" comment through its LF, first to last, in one pass over the text (erasing
// them one at a time from the start would take quadratic time on a file full of comments).
std::wstring WithoutComments(const std::wstring& text) {
    std::wstring kept;
    kept.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const wchar_t unit = text[i++];
        if (unit == L'/' && !kept.empty() && kept.back() == L'/') {
            kept.pop_back();
            const std::size_t lineFeed = text.find(L'\n', i);
            i = lineFeed == std::wstring::npos ? text.size() : lineFeed + 1;
        } else {
            kept += unit;
        }
    }
    return kept;
}

std::wstring SectionBody(const std::wstring& text, const std::wstring& structName) {
    const std::wstring::size_type nameAt = text.find(structName);
    const std::uint32_t closeAt = Position(text.find(L'}', nameAt));
    const std::uint32_t openAt = Position(text.find(L'{', nameAt));
    return Slice(text, openAt + 1, closeAt - openAt - 1);
}

template <typename T>
void Extract(const std::wstring& value, void* destination) {
    std::wistringstream stream(value);
    T parsed {};
    if (stream >> parsed) *static_cast<T*>(destination) = parsed;
}

void StoreString(const std::wstring& value, void* destination) {
    const std::uint32_t lastQuote = Position(value.rfind(L'"'));
    const std::uint32_t firstQuote = Position(value.find(L'"'));
    *static_cast<std::wstring*>(destination) = Slice(value, firstQuote + 1, lastQuote - firstQuote - 1);
}

void StoreBool(const std::wstring& value, void* destination) {
    bool* flag = static_cast<bool*>(destination);
    if (value.find(L"true") != std::wstring::npos)
        *flag = true;
    else if (value.find(L"false") != std::wstring::npos)
        *flag = false;
    else if (value.find(L'0') != std::wstring::npos)
        *flag = false;
    else if (value.find(L'1') != std::wstring::npos)
        *flag = true;
}

void Store(std::int32_t type, const std::wstring& value, void* destination) {
    switch (type) {
    case FieldType::Float:
        Extract<float>(value, destination);
        break;
    case FieldType::Double:
        Extract<double>(value, destination);
        break;
    case FieldType::Int32:
        Extract<std::int32_t>(value, destination);
        break;
    case FieldType::Int16:
        Extract<std::int16_t>(value, destination);
        break;
    case FieldType::Int64:
        Extract<std::int64_t>(value, destination);
        break;
    case FieldType::UInt32:
        Extract<std::uint32_t>(value, destination);
        break;
    case FieldType::UInt16:
        Extract<std::uint16_t>(value, destination);
        break;
    case FieldType::UInt64:
        Extract<std::uint64_t>(value, destination);
        break;
    case FieldType::Char:
        Extract<wchar_t>(value, destination);
        break;
    case FieldType::UInt8: {
        std::wistringstream stream(value);
        std::uint16_t parsed = 0;
        if (stream >> parsed) *static_cast<std::uint8_t*>(destination) = static_cast<std::uint8_t>(parsed & 0xFF);
        break;
    }
    case FieldType::String:
        StoreString(value, destination);
        break;
    case FieldType::Bool:
        StoreBool(value, destination);
        break;
    default:
        break;  // unknown codes consume the entry and touch nothing
    }
}

}  // namespace

int StructReader::FillUpStruct(void* const fields[], const std::wstring& fileName, const std::int32_t types[],
                               const std::wstring& structName) {
    std::wstring text;
    {
        TextStream stream(true);
        stream.Open(fileName, OpenMode::Read);
        if (!stream.IsOpen()) {
            Logger::Write(L"NLib::StructReader::FillUpStruct >> Cannot open file \"" + fileName + L"\"", true);
            return 1;
        }
        stream.ReadFileToString(text);  // after a failed read the text is empty
        stream.Close();
    }
    FillFromText(fields, text, types, structName);
    return 0;
}

void StructReader::FillFromText(void* const fields[], const std::wstring& text, const std::int32_t types[],
                                const std::wstring& structName) {
    std::wstring body = SectionBody(WithoutComments(text), structName);
    for (int i = 0; i < kEntryCount; ++i) {
        const std::uint32_t semiAt = Position(body.find(L';'));
        const std::uint32_t eqAt = Position(body.find(L'='));
        const std::wstring value = Slice(body, eqAt + 1, semiAt - eqAt - 1);
        if (semiAt != 0xFFFFFFFFu) body.erase(0, static_cast<std::size_t>(semiAt) + 1);
        Store(types[i], value, fields[i]);
    }
}

}  // namespace NLib
