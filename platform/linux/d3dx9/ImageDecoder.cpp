#include "ImageDecoder.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
// stb_image's checks of its own state abort in a debug build; a JPEG whose Huffman codes do not
// match their table trips one (found by the image fuzzer). A failed check marks the decode as
// failed instead, and the file is refused as corrupt.
#define STBI_ASSERT(condition) ((condition) ? (void)0 : NoteFailedDecoderCheck())
namespace {
thread_local bool g_decoderCheckFailed = false;
void NoteFailedDecoderCheck() {
    g_decoderCheckFailed = true;
}
}  // namespace
#define STB_IMAGE_RESIZE_IMPLEMENTATION
// stb_image_resize checks that each output texel's filter weights sum to about 1 before it divides
// by the sum, and aborts a debug build where they do not: 2562 rows down to 2048 sum to more than 1.1
// (found by the image fuzzer). The division is what keeps the colours; the check is left out.
#define STBIR_ASSERT(condition) ((void)sizeof(condition))
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

constexpr std::uint32_t kDefault = 0xFFFFFFFFu;         // D3DX_DEFAULT
constexpr std::uint32_t kDefaultNonPow2 = 0xFFFFFFFEu;  // D3DX_DEFAULT_NONPOW2

bool FormatOf(const unsigned char* bytes, int size, ImageFileFormat& format) {
    if (stbi_is_16_bit_from_memory(bytes, size)) return false;
    if (size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0) {
        format = ImageFileFormat::Png;
    } else if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        format = ImageFileFormat::Bmp;
    } else if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        format = ImageFileFormat::Jpg;
    } else {
        format = ImageFileFormat::Tga;  // the one format without a signature
    }
    return true;
}

std::uint32_t Little(const unsigned char* bytes, int size, int at, int width) {
    std::uint32_t value = 0;
    for (int k = width; k-- > 0;)
        value = value << 8 | (at + k < size ? bytes[at + k] : 0);
    return value;
}

// A BMP's texel layout from its header: palettes, 16-bit masks, and 32-bit texels whose fourth
// byte is used anywhere (D3DX reports X8R8G8B8 when it is zero throughout).
bool BmpPixels(const unsigned char* bytes, int size, int width, int height, FilePixels& pixels) {
    const std::uint32_t headerSize = Little(bytes, size, 14, 4);
    const std::uint32_t bits = Little(bytes, size, headerSize == 12 ? 24 : 28, 2);
    const std::uint32_t compression = headerSize == 12 ? 0 : Little(bytes, size, 30, 4);
    const bool masks = compression == 3 || compression == 6;  // BI_BITFIELDS, BI_ALPHABITFIELDS
    const std::uint32_t greenMask = masks ? Little(bytes, size, 58, 4) : 0;
    const std::uint32_t alphaMask = masks && (headerSize >= 56 || compression == 6) ? Little(bytes, size, 66, 4) : 0;
    switch (bits) {
    case 1:
    case 4:
    case 8:
        pixels = FilePixels::P8;
        return true;
    case 16:
        pixels = greenMask == 0x07E0 ? FilePixels::R5G6B5
                 : alphaMask != 0    ? FilePixels::A1R5G5B5
                                     : FilePixels::X1R5G5B5;
        return true;
    case 24:
        pixels = FilePixels::R8G8B8;
        return true;
    case 32: {
        bool alpha = alphaMask != 0;
        const std::uint32_t offset = Little(bytes, size, 10, 4);
        const std::uint64_t texels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
        for (std::uint64_t i = 0; !masks && !alpha && i < texels && offset + i * 4 + 3 < std::uint64_t(size); ++i)
            alpha = bytes[offset + i * 4 + 3] != 0;
        pixels = alpha ? FilePixels::A8R8G8B8 : FilePixels::X8R8G8B8;
        return true;
    }
    default:
        return false;
    }
}

// The file's texel layout as D3DX names it; false for layouts D3DX refuses.
bool PixelsOf(const unsigned char* bytes, int size, ImageFileFormat format, int width, int height, int channels,
              FilePixels& pixels) {
    switch (format) {
    case ImageFileFormat::Png: {
        static const FilePixels kByColourType[7] = {FilePixels::L8,      FilePixels::L8,       FilePixels::X8R8G8B8,
                                                    FilePixels::P8,      FilePixels::A8R8G8B8, FilePixels::L8,
                                                    FilePixels::A8R8G8B8};
        const unsigned colourType = size > 25 ? bytes[25] : 0;
        if (colourType > 6) return false;
        pixels = kByColourType[colourType];
        return true;
    }
    case ImageFileFormat::Bmp:
        return BmpPixels(bytes, size, width, height, pixels);
    case ImageFileFormat::Jpg:
        pixels = channels == 1 ? FilePixels::L8 : FilePixels::X8R8G8B8;
        return true;
    case ImageFileFormat::Tga: {
        const unsigned type = (size > 2 ? bytes[2] : 0) & 7u;  // without the run-length bit
        const unsigned bits = size > 16 ? bytes[16] : 0;
        if (type == 1) {
            pixels = FilePixels::P8;
        } else if (type == 3) {
            if (bits != 8) return false;  // no 16-bit grey
            pixels = FilePixels::L8;
        } else {
            static const std::pair<unsigned, FilePixels> kByBits[] = {{15, FilePixels::X1R5G5B5},
                                                                      {16, FilePixels::A1R5G5B5},
                                                                      {24, FilePixels::R8G8B8},
                                                                      {32, FilePixels::A8R8G8B8}};
            const auto* found = std::find_if(std::begin(kByBits), std::end(kByBits),
                                             [&](const auto& entry) { return entry.first == bits; });
            if (found == std::end(kByBits)) return false;
            pixels = found->second;
        }
        return true;
    }
    }
    return false;
}

// Whether the file holds at least the texel bytes its header declares. Uncompressed BMP and TGA
// are checked exactly; a run-length TGA packet of two bytes or more gives at most 128 texels.
bool HoldsDeclaredTexels(const unsigned char* bytes, int size, ImageFileFormat format, std::uint32_t width,
                         std::uint32_t height) {
    const std::uint64_t texels = static_cast<std::uint64_t>(width) * height;
    if (format == ImageFileFormat::Bmp) {
        const std::uint32_t headerSize = Little(bytes, size, 14, 4);
        const std::uint32_t compression = headerSize == 12 ? 0 : Little(bytes, size, 30, 4);
        if (compression != 0 && compression != 3 && compression != 6) return true;
        const std::uint64_t bits = Little(bytes, size, headerSize == 12 ? 24 : 28, 2);
        const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
        return Little(bytes, size, 10, 4) + rowBytes * height <= static_cast<std::uint64_t>(size);
    }
    if (format == ImageFileFormat::Tga) {
        const std::uint64_t idLength = Little(bytes, size, 0, 1);
        const std::uint64_t mapEntries = Little(bytes, size, 1, 1) != 0 ? Little(bytes, size, 5, 2) : 0;
        const std::uint64_t mapBytes = mapEntries * ((Little(bytes, size, 7, 1) + 7) / 8);
        const std::uint64_t start = 18 + idLength + mapBytes;
        if (start > static_cast<std::uint64_t>(size)) return false;
        const std::uint64_t data = static_cast<std::uint64_t>(size) - start;
        if ((Little(bytes, size, 2, 1) & 8u) != 0) return texels <= data * 64;
        return texels * ((Little(bytes, size, 16, 1) + 7) / 8) <= data;
    }
    return true;
}

// Whether every PNG chunk up to the end chunk has the data its length declares: the decoder would
// otherwise take memory for a declared length of up to 2 GB before finding the file shorter.
bool PngChunksFit(const unsigned char* bytes, int size) {
    std::uint64_t at = 8;
    while (at + 8 <= static_cast<std::uint64_t>(size)) {
        const std::uint64_t length = static_cast<std::uint64_t>(Little(bytes, size, static_cast<int>(at), 1)) << 24 |
                                     Little(bytes, size, static_cast<int>(at) + 1, 1) << 16 |
                                     Little(bytes, size, static_cast<int>(at) + 2, 1) << 8 |
                                     Little(bytes, size, static_cast<int>(at) + 3, 1);
        if (at + 8 + length > static_cast<std::uint64_t>(size)) return false;
        if (std::memcmp(bytes + at + 4, "IEND", 4) == 0) return true;
        at += 12 + length;  // length, type, data, checksum
    }
    return true;
}

// What in a JPEG's Huffman tables stb_image 2.27 would read or write out of bounds, null when
// nothing: a table (DHT) of more than 256 codes, whose code lengths it writes past its 257-entry
// array, or a scan (SOS) that decodes with a table the file has not defined, whose uninitialised
// entries it indexes with (found by the image fuzzer). The markers are followed as the decoder
// follows them: segments by their length, and bytes that are not a marker (entropy-coded data,
// padding) one at a time; what lies past the end of the file reads as zeros.
const char* JpegHuffmanTableFault(const unsigned char* bytes, int size) {
    // stb_image reads a file as JPEG when 0xFF bytes and then SOI (0xD8) start it.
    int at = 0;
    while (at < size && bytes[at] == 0xFF)
        ++at;
    if (at == 0 || at >= size || bytes[at] != 0xD8) return nullptr;
    ++at;
    const auto byte = [&](std::int64_t offset) { return offset < size ? bytes[offset] : 0u; };
    bool defined[2][4] = {};  // [DC, AC][table]
    bool progressive = false;
    while (at + 1 < size) {
        if (bytes[at] != 0xFF) {
            ++at;
            continue;
        }
        while (at < size && bytes[at] == 0xFF)
            ++at;
        if (at >= size) break;
        const unsigned marker = bytes[at++];
        // Stuffed zero, restart markers, TEM and SOI stand alone; EOI ends the image.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;
        if (marker == 0xD9) break;
        const std::uint32_t length = byte(at) << 8 | byte(at + 1);
        if (marker == 0xC4) {
            const std::int64_t end = static_cast<std::int64_t>(at) + length;
            for (std::int64_t table = at + 2; table < end;) {
                std::uint32_t codes = 0;
                for (int i = 1; i <= 16; ++i)
                    codes += byte(table + i);
                if (codes > 256) return "a Huffman table of more than 256 codes";
                const unsigned kind = byte(table) >> 4;
                const unsigned slot = byte(table) & 15u;
                if (kind <= 1 && slot <= 3) defined[kind][slot] = true;
                table += 17 + codes;
            }
        }
        if (marker == 0xC2) progressive = true;
        if (marker == 0xDA) {
            const unsigned components = byte(at + 2);
            const unsigned firstCoefficient = byte(at + 3 + 2 * components + 0);
            const unsigned refinement = byte(at + 3 + 2 * components + 2) >> 4;
            for (unsigned i = 0; i < components; ++i) {
                const unsigned tables = byte(at + 4 + 2 * i);
                const unsigned dc = tables >> 4;
                const unsigned ac = tables & 15u;
                // Baseline scans read both; progressive ones the DC table in a first DC scan, the
                // AC table in AC scans. A table number past 3 the decoder refuses itself.
                const bool needsDc = progressive ? firstCoefficient == 0 && refinement == 0 : true;
                const bool needsAc = progressive ? firstCoefficient != 0 : true;
                if ((needsDc && dc <= 3 && !defined[0][dc]) || (needsAc && ac <= 3 && !defined[1][ac])) {
                    return "a scan that decodes with a Huffman table the file does not define";
                }
            }
        }
        if (length < 2) return nullptr;  // the decoder refuses the segment
        at += static_cast<int>(length);
    }
    return nullptr;
}

// The PNG without its empty data (IDAT) chunks, which add nothing to the image: stb_image copies a
// first empty one into its data buffer before having one, a null pointer (found by the image fuzzer).
// Empty when there is none to drop; the chunks fit the file (PngChunksFit).
std::vector<unsigned char> WithoutEmptyPngData(const unsigned char* bytes, int size) {
    std::vector<unsigned char> kept;
    std::size_t copied = 0;
    std::size_t at = 8;
    while (at + 12 <= static_cast<std::size_t>(size)) {
        const std::size_t length =
            static_cast<std::size_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        if (length == 0 && std::memcmp(bytes + at + 4, "IDAT", 4) == 0) {
            kept.insert(kept.end(), bytes + copied, bytes + at);
            copied = at + 12;
        }
        if (std::memcmp(bytes + at + 4, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    if (copied != 0) kept.insert(kept.end(), bytes + copied, bytes + size);
    return kept;
}

}  // namespace

ImageDecodeResult ReadImageHeader(const void* data, std::size_t size) {
    ImageDecodeResult result;
    if (data == nullptr || size == 0 || size > 0x7FFFFFFF) {
        result.error = "empty or oversized file";
        return result;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    // Before any of stb_image's reading: its header read builds the tables it meets too.
    if (const char* fault = JpegHuffmanTableFault(bytes, length)) {
        result.error = fault;
        return result;
    }
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels) ||
        !FormatOf(bytes, length, result.image.format)) {
        result.error = "not a PNG, BMP, JPEG or TGA image";
        return result;
    }
    // A BMP stored top row first gives its height negative; it loads like one stored bottom up.
    if (result.image.format == ImageFileFormat::Bmp && height < 0 && height > -static_cast<int>(kMaxImageSide) - 1) {
        height = -height;
    }
    if (width <= 0 || height <= 0 || static_cast<std::uint32_t>(width) > kMaxImageSide ||
        static_cast<std::uint32_t>(height) > kMaxImageSide) {
        result.error = "image size out of range";
        return result;
    }
    if (!PixelsOf(bytes, length, result.image.format, width, height, channels, result.image.pixels)) {
        result.error = "a texel layout D3DX does not read";
        return result;
    }
    if (result.image.format == ImageFileFormat::Png && !PngChunksFit(bytes, length)) {
        result.error = "a chunk longer than the file";
        return result;
    }
    if (!HoldsDeclaredTexels(bytes, length, result.image.format, static_cast<std::uint32_t>(width),
                             static_cast<std::uint32_t>(height))) {
        result.error = "fewer texel bytes than the header declares";
        return result;
    }
    result.image.hasAlpha = channels == 2 || channels == 4;
    result.image.width = static_cast<std::uint32_t>(width);
    result.image.height = static_cast<std::uint32_t>(height);
    result.ok = true;
    return result;
}

ImageDecodeResult DecodeImage(const void* data, std::size_t size) {
    ImageDecodeResult result = ReadImageHeader(data, size);
    if (!result.ok) return result;
    result.ok = false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<unsigned char> png;
    if (result.image.format == ImageFileFormat::Png) png = WithoutEmptyPngData(bytes, length);
    g_decoderCheckFailed = false;
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        png.empty() ? stbi_load_from_memory(bytes, length, &width, &height, &channels, 4)
                    : stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 4),
        stbi_image_free);
    if (!rgba || g_decoderCheckFailed || static_cast<std::uint32_t>(width) != result.image.width ||
        static_cast<std::uint32_t>(height) != result.image.height) {
        result.error = "corrupt image data";
        return result;
    }
    result.image.bgra.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < result.image.bgra.size(); i += 4) {
        result.image.bgra[i] = rgba.get()[i + 2];
        result.image.bgra[i + 1] = rgba.get()[i + 1];
        result.image.bgra[i + 2] = rgba.get()[i];
        result.image.bgra[i + 3] = rgba.get()[i + 3];
    }
    result.ok = true;
    return result;
}

std::uint32_t TextureSide(std::uint32_t requested, std::uint32_t imageSide) {
    if (requested == kDefault) {
        std::uint32_t side = 1;
        while (side < imageSide)
            side <<= 1;
        return side;
    }
    if (requested == kDefaultNonPow2 || requested == 0) return imageSide;
    return requested;
}

std::vector<std::uint8_t> ScaleTexels(const std::vector<std::uint8_t>& bgra, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t newWidth, std::uint32_t newHeight, ScaleFilter filter) {
    if (width == newWidth && height == newHeight) return bgra;
    std::vector<std::uint8_t> scaled(static_cast<std::size_t>(newWidth) * newHeight * 4, 0);
    if (filter == ScaleFilter::Smooth) {
        stbir_resize_uint8_generic(bgra.data(), static_cast<int>(width), static_cast<int>(height), 0, scaled.data(),
                                   static_cast<int>(newWidth), static_cast<int>(newHeight), 0, 4, 3, 0,
                                   STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
        return scaled;
    }
    for (std::uint32_t y = 0; y < newHeight; ++y) {
        for (std::uint32_t x = 0; x < newWidth; ++x) {
            std::uint64_t sx = x;
            std::uint64_t sy = y;
            if (filter == ScaleFilter::Point) {
                sx = (static_cast<std::uint64_t>(x) * width * 2 + width) / (2ull * newWidth);
                sy = (static_cast<std::uint64_t>(y) * height * 2 + height) / (2ull * newHeight);
            } else if (x >= width || y >= height) {
                continue;
            }
            std::memcpy(&scaled[(static_cast<std::size_t>(y) * newWidth + x) * 4],
                        &bgra[(static_cast<std::size_t>(sy) * width + sx) * 4], 4);
        }
    }
    return scaled;
}

std::vector<std::uint8_t> PrepareTexels(const DecodedImage& image, std::uint32_t width, std::uint32_t height,
                                        std::uint32_t colorKey, ScaleFilter filter) {
    std::vector<std::uint8_t> source = image.bgra;
    if (colorKey != 0) {
        for (std::size_t i = 0; i < source.size(); i += 4) {
            std::uint32_t texel;
            std::memcpy(&texel, &source[i], 4);  // little-endian B, G, R, A is 0xAARRGGBB
            if (texel == colorKey) std::memset(&source[i], 0, 4);
        }
    }
    return ScaleTexels(source, image.width, image.height, width, height, filter);
}

}  // namespace nvesk::d3dx9
