// Image files for texture loading: formats, texel order, D3DX sizes, colour key, bad files.
#include "ImageDecoder.h"

#include "ImageFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace nvesk::d3dx9;

namespace {

// RGBA texels: row y, column x -> (x * 60, y * 40, 200, 255 - x), except one half-transparent.
std::vector<std::uint8_t> Pattern(int width, int height) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgba.insert(rgba.end(), {std::uint8_t(x * 60), std::uint8_t(y * 40), 200, std::uint8_t(255 - x)});
        }
    }
    rgba[3] = 127;
    return rgba;
}

std::vector<std::uint8_t> Encode(ImageFileFormat format, int width, int height, const std::vector<std::uint8_t>& rgba) {
    const char* name = "image.png";
    switch (format) {
    case ImageFileFormat::Png:
        name = "image.png";
        break;
    case ImageFileFormat::Bmp:
        name = "image.bmp";
        break;
    case ImageFileFormat::Tga:
        name = "image.tga";
        break;
    case ImageFileFormat::Jpg:
        name = "image.jpg";
        break;
    }
    std::vector<std::uint32_t> texels;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        texels.push_back(static_cast<std::uint32_t>(rgba[i + 3]) << 24 | static_cast<std::uint32_t>(rgba[i]) << 16 |
                         static_cast<std::uint32_t>(rgba[i + 1]) << 8 | rgba[i + 2]);
    }
    return D3DX9Tests::EncodeImage(name, width, height, 4, texels);
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int width) {
    for (int k = 0; k < width; ++k)
        bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

// A BMP with a 40-byte header (BI_RGB): `rows` as stored, each padded to 4 bytes by the caller,
// after `palette` (B, G, R, 0 per entry).
std::vector<std::uint8_t> Bmp(int width, int height, int bits, const std::vector<std::uint8_t>& palette,
                              const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> file(54 + palette.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put(file, 2, static_cast<std::uint32_t>(file.size() + rows.size()), 4);
    Put(file, 10, static_cast<std::uint32_t>(file.size()), 4);
    Put(file, 14, 40, 4);
    Put(file, 18, static_cast<std::uint32_t>(width), 4);
    Put(file, 22, static_cast<std::uint32_t>(height), 4);
    Put(file, 26, 1, 2);
    Put(file, 28, static_cast<std::uint32_t>(bits), 2);
    Put(file, 46, static_cast<std::uint32_t>(palette.size() / 4), 4);
    std::copy(palette.begin(), palette.end(), file.begin() + 54);
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

FilePixels PixelsOf(const std::vector<std::uint8_t>& file) {
    const ImageDecodeResult result = DecodeImage(file.data(), file.size());
    EXPECT_TRUE(result.ok) << result.error;
    return result.image.pixels;
}

}  // namespace

TEST(ImageDecoder, EachFormatDecodesToBgraTexelsAndNamesItsFormat) {
    const std::vector<std::uint8_t> rgba = Pattern(3, 5);
    for (ImageFileFormat format :
         {ImageFileFormat::Png, ImageFileFormat::Bmp, ImageFileFormat::Tga, ImageFileFormat::Jpg}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::vector<std::uint8_t> file = Encode(format, 3, 5, rgba);
        const ImageDecodeResult result = DecodeImage(file.data(), file.size());
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.image.format, format);
        EXPECT_EQ(result.image.width, 3u);
        EXPECT_EQ(result.image.height, 5u);
        ASSERT_EQ(result.image.bgra.size(), 3u * 5u * 4u);
        const int tolerance = format == ImageFileFormat::Jpg ? 12 : 0;
        // Row 4, column 2: B = 200, G = 160, R = 120.
        const std::uint8_t* texel = &result.image.bgra[(4 * 3 + 2) * 4];
        EXPECT_NEAR(texel[0], 200, tolerance);
        EXPECT_NEAR(texel[1], 160, tolerance);
        EXPECT_NEAR(texel[2], 120, tolerance);
        if (format == ImageFileFormat::Png || format == ImageFileFormat::Tga) {
            EXPECT_EQ(texel[3], 253);
            EXPECT_EQ(result.image.bgra[3], 127);
        }
    }
}

TEST(ImageDecoder, TextureSidesFollowTheD3DXRules) {
    EXPECT_EQ(TextureSide(0xFFFFFFFFu, 3), 4u);
    EXPECT_EQ(TextureSide(0xFFFFFFFFu, 66), 128u);
    EXPECT_EQ(TextureSide(0xFFFFFFFFu, 256), 256u);
    EXPECT_EQ(TextureSide(0xFFFFFFFFu, 1), 1u);
    EXPECT_EQ(TextureSide(0xFFFFFFFEu, 66), 66u);
    EXPECT_EQ(TextureSide(0, 70), 70u);
    EXPECT_EQ(TextureSide(32, 70), 32u);
}

TEST(ImageDecoder, ColourKeyClearsMatchingTexelsAndScalingKeepsFlatColour) {
    std::vector<std::uint8_t> rgba = Pattern(3, 5);
    // Magenta, opaque, at (1, 1) and (2, 3).
    for (int at : {1 * 3 + 1, 3 * 3 + 2}) {
        rgba[at * 4] = 255;
        rgba[at * 4 + 1] = 0;
        rgba[at * 4 + 2] = 255;
        rgba[at * 4 + 3] = 255;
    }
    const std::vector<std::uint8_t> file = Encode(ImageFileFormat::Png, 3, 5, rgba);
    const DecodedImage image = DecodeImage(file.data(), file.size()).image;
    const std::vector<std::uint8_t> keyed = PrepareTexels(image, 3, 5, 0xFFFF00FFu);
    for (int i = 0; i < 15; ++i) {
        const bool key = i == 4 || i == 11;
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(keyed[i * 4 + c], key ? 0 : image.bgra[i * 4 + c]) << "texel " << i;
        }
    }
    // A key whose alpha differs matches nothing.
    EXPECT_EQ(PrepareTexels(image, 3, 5, 0x00FF00FFu), image.bgra);

    std::vector<std::uint8_t> flat;
    for (int i = 0; i < 4; ++i)
        flat.insert(flat.end(), {10, 20, 30, 255});
    const std::vector<std::uint8_t> flatFile = Encode(ImageFileFormat::Png, 2, 2, flat);
    const DecodedImage small = DecodeImage(flatFile.data(), flatFile.size()).image;
    const std::vector<std::uint8_t> scaled = PrepareTexels(small, 4, 8, 0);
    ASSERT_EQ(scaled.size(), 4u * 8u * 4u);
    for (std::size_t i = 0; i < scaled.size(); i += 4) {
        EXPECT_EQ(scaled[i], 30);
        EXPECT_EQ(scaled[i + 1], 20);
        EXPECT_EQ(scaled[i + 2], 10);
        EXPECT_EQ(scaled[i + 3], 255);
    }
}

TEST(ImageDecoder, CorruptTruncatedAndAbsurdFilesAreRefused) {
    const std::vector<std::uint8_t> png = Encode(ImageFileFormat::Png, 3, 5, Pattern(3, 5));
    std::vector<std::uint8_t> huge = png;
    // IHDR width and height (big-endian, at bytes 16..23): 100000 x 100000.
    for (int offset : {16, 20}) {
        huge[offset] = 0x00;
        huge[offset + 1] = 0x01;
        huge[offset + 2] = 0x86;
        huge[offset + 3] = 0xA0;
    }
    const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + png.size() / 2);
    const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    const std::vector<const std::vector<std::uint8_t>*> files = {&huge, &truncated, &text};
    for (const std::vector<std::uint8_t>* file : files) {
        const ImageDecodeResult result = DecodeImage(file->data(), file->size());
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
        EXPECT_TRUE(result.image.bgra.empty());
    }
    EXPECT_FALSE(DecodeImage(nullptr, 0).ok);
}

TEST(ImageDecoder, EachFileReportsTheFormatOfItsOwnTexels) {
    const std::vector<std::uint32_t> texels(4, 0x80336699u);
    auto encoded = [&](const char* name, int channels) {
        return D3DX9Tests::EncodeImage(name, 2, 2, channels, texels);
    };
    EXPECT_EQ(PixelsOf(encoded("grey.png", 1)), FilePixels::L8);
    EXPECT_EQ(PixelsOf(encoded("grey-alpha.png", 2)), FilePixels::A8R8G8B8);
    EXPECT_EQ(PixelsOf(encoded("rgb.png", 3)), FilePixels::X8R8G8B8);
    EXPECT_EQ(PixelsOf(encoded("rgba.png", 4)), FilePixels::A8R8G8B8);
    EXPECT_EQ(PixelsOf(encoded("rgb.jpg", 3)), FilePixels::X8R8G8B8);
    EXPECT_EQ(PixelsOf(encoded("rgb.bmp", 3)), FilePixels::R8G8B8);
    EXPECT_EQ(PixelsOf(encoded("rgba.bmp", 4)), FilePixels::A8R8G8B8);  // an alpha mask in its header
    EXPECT_EQ(PixelsOf(encoded("grey.tga", 1)), FilePixels::L8);
    EXPECT_EQ(PixelsOf(encoded("rgb.tga", 3)), FilePixels::R8G8B8);
    EXPECT_EQ(PixelsOf(encoded("rgba.tga", 4)), FilePixels::A8R8G8B8);
    // 16-bit grey TGA: D3DX reads no such file.
    const std::vector<std::uint8_t> greyAlpha = encoded("grey-alpha.tga", 2);
    EXPECT_FALSE(DecodeImage(greyAlpha.data(), greyAlpha.size()).ok);

    // Hand-made BMPs: a palette, 5-5-5 texels, 32-bit texels without and with a used fourth byte.
    EXPECT_EQ(PixelsOf(Bmp(2, 1, 8, {0, 0, 255, 0, 255, 0, 0, 0}, {0, 1, 0, 0})), FilePixels::P8);
    EXPECT_EQ(PixelsOf(Bmp(2, 1, 16, {}, {0x1F, 0x00, 0xE0, 0x7F})), FilePixels::X1R5G5B5);
    std::vector<std::uint8_t> texels32 = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(PixelsOf(Bmp(2, 1, 32, {}, texels32)), FilePixels::X8R8G8B8);
    texels32[7] = 1;
    EXPECT_EQ(PixelsOf(Bmp(2, 1, 32, {}, texels32)), FilePixels::A8R8G8B8);
}

TEST(ImageDecoder, ATopDownBmpLoadsLikeABottomUpOne) {
    // Two rows of two 24-bit texels (B, G, R), each row padded to 8 bytes: red, green over blue, white.
    const std::vector<std::uint8_t> top = {0, 0, 255, 0, 255, 0, 0, 0};
    const std::vector<std::uint8_t> bottom = {255, 0, 0, 255, 255, 255, 0, 0};
    std::vector<std::uint8_t> bottomUpRows = bottom;
    bottomUpRows.insert(bottomUpRows.end(), top.begin(), top.end());
    std::vector<std::uint8_t> topDownRows = top;
    topDownRows.insert(topDownRows.end(), bottom.begin(), bottom.end());
    const std::vector<std::uint8_t> bottomUp = Bmp(2, 2, 24, {}, bottomUpRows);
    const std::vector<std::uint8_t> topDown = Bmp(2, -2, 24, {}, topDownRows);
    const ImageDecodeResult a = DecodeImage(bottomUp.data(), bottomUp.size());
    const ImageDecodeResult b = DecodeImage(topDown.data(), topDown.size());
    ASSERT_TRUE(a.ok) << a.error;
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(b.image.width, 2u);
    EXPECT_EQ(b.image.height, 2u);
    EXPECT_EQ(b.image.pixels, FilePixels::R8G8B8);
    // Top row first in memory: red, then green.
    const std::vector<std::uint8_t> expected = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
    EXPECT_EQ(a.image.bgra, expected);
    EXPECT_EQ(b.image.bgra, expected);
}

// A header that declares far more texels than the file holds is refused from the header alone,
// before any texel memory is taken; the header read reports a sound file's size without texels.
TEST(ImageDecoder, HeadersDeclaringMoreTexelsThanTheFileHoldsAreRefused) {
    const std::vector<std::uint8_t> bmp = Bmp(2, 2, 24, {}, std::vector<std::uint8_t>(16, 0x40));
    std::vector<std::uint8_t> hugeBmp = bmp;
    Put(hugeBmp, 18, kMaxImageSide, 4);
    Put(hugeBmp, 22, kMaxImageSide, 4);
    std::vector<std::uint8_t> shortBmp = bmp;
    shortBmp.pop_back();
    std::vector<std::uint8_t> farOffsetBmp = bmp;
    Put(farOffsetBmp, 10, 0x7FFFFFF0u, 4);

    // TGA: 18-byte header, true colour 24 bits, 2 x 1 texels.
    std::vector<std::uint8_t> tga(18, 0);
    tga[2] = 2;
    Put(tga, 12, 2, 2);
    Put(tga, 14, 1, 2);
    tga[16] = 24;
    tga.insert(tga.end(), {1, 2, 3, 4, 5, 6});
    std::vector<std::uint8_t> hugeTga = tga;
    Put(hugeTga, 12, kMaxImageSide, 2);
    Put(hugeTga, 14, kMaxImageSide, 2);
    // Run-length: one packet of 2 texels, declared as 16384 x 16384.
    std::vector<std::uint8_t> hugeRleTga = hugeTga;
    hugeRleTga[2] = 10;
    hugeRleTga.resize(18);
    hugeRleTga.insert(hugeRleTga.end(), {0x81, 1, 2, 3});

    const std::vector<std::uint8_t>* const absurdFiles[] = {&hugeBmp, &shortBmp, &farOffsetBmp, &hugeTga, &hugeRleTga};
    for (const std::vector<std::uint8_t>* file : absurdFiles) {
        const ImageDecodeResult header = ReadImageHeader(file->data(), file->size());
        EXPECT_FALSE(header.ok);
        EXPECT_EQ(header.error, "fewer texel bytes than the header declares");
        const ImageDecodeResult decoded = DecodeImage(file->data(), file->size());
        EXPECT_FALSE(decoded.ok);
        EXPECT_TRUE(decoded.image.bgra.empty());
    }

    const std::vector<std::uint8_t>* const soundFiles[] = {&bmp, &tga};
    for (const std::vector<std::uint8_t>* file : soundFiles) {
        const ImageDecodeResult header = ReadImageHeader(file->data(), file->size());
        ASSERT_TRUE(header.ok) << header.error;
        EXPECT_EQ(header.image.width, 2u);
        EXPECT_TRUE(header.image.bgra.empty());
        EXPECT_EQ(header.image.pixels, FilePixels::R8G8B8);
        EXPECT_TRUE(DecodeImage(file->data(), file->size()).ok);
    }
}

// Found by fuzzing: a PNG chunk declaring a gigabyte of data made the decoder take that memory
// before it found the file shorter. Such a file is refused from its chunk headers.
TEST(ImageDecoder, PngChunksLongerThanTheFileAreRefusedBeforeDecoding) {
    const std::vector<std::uint8_t> png = Encode(ImageFileFormat::Png, 3, 5, Pattern(3, 5));
    const auto data = std::search(png.begin(), png.end(), std::begin("IDAT"), std::end("IDAT") - 1);
    ASSERT_NE(data, png.end());
    for (const std::uint32_t length : {0x42670000u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
        std::vector<std::uint8_t> huge = png;
        const std::size_t at = static_cast<std::size_t>(data - png.begin()) - 4;
        for (int k = 0; k < 4; ++k)
            huge[at + k] = static_cast<std::uint8_t>(length >> (8 * (3 - k)));
        const ImageDecodeResult header = ReadImageHeader(huge.data(), huge.size());
        EXPECT_FALSE(header.ok);
        EXPECT_EQ(header.error, "a chunk longer than the file");
        EXPECT_FALSE(DecodeImage(huge.data(), huge.size()).ok);
    }
    // Only the end chunk's checksum missing: every chunk's data is there.
    const std::vector<std::uint8_t> withoutChecksum(png.begin(), png.end() - 4);
    EXPECT_TRUE(ReadImageHeader(withoutChecksum.data(), withoutChecksum.size()).ok);
    EXPECT_TRUE(DecodeImage(png.data(), png.size()).ok);
}

namespace {

// A DHT segment holding one table of `codes` codes (at most 255 of one length, the rest one shorter).
std::vector<std::uint8_t> HuffmanSegment(std::uint32_t codes) {
    std::vector<std::uint8_t> segment {0xFF, 0xC4, 0, 0, 0x00};
    std::uint8_t counts[16] = {};
    counts[15] = static_cast<std::uint8_t>(std::min<std::uint32_t>(codes, 255));
    counts[14] = static_cast<std::uint8_t>(codes - counts[15]);
    segment.insert(segment.end(), std::begin(counts), std::end(counts));
    segment.insert(segment.end(), codes, 0);
    const std::size_t length = segment.size() - 2;
    segment[2] = static_cast<std::uint8_t>(length >> 8);
    segment[3] = static_cast<std::uint8_t>(length);
    return segment;
}

}  // namespace

// stb_image writes a Huffman table's code lengths past the end of its array when the table declares
// more than 256 codes (found by the image fuzzer). Such tables are refused before stb_image reads
// the file, wherever they stand: among the header's segments or after the image data.
TEST(ImageDecoder, JpegHuffmanTablesOfMoreThan256CodesAreRefused) {
    const std::vector<std::uint8_t> jpeg = Encode(ImageFileFormat::Jpg, 3, 5, Pattern(3, 5));
    ASSERT_TRUE(DecodeImage(jpeg.data(), jpeg.size()).ok);
    ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    ASSERT_EQ(jpeg[jpeg.size() - 1], 0xD9);
    for (const std::uint32_t codes : {257u, 400u}) {
        const std::vector<std::uint8_t> table = HuffmanSegment(codes);
        for (const std::size_t at : {std::size_t {2}, jpeg.size() - 2}) {
            std::vector<std::uint8_t> file = jpeg;
            file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), table.begin(), table.end());
            const ImageDecodeResult header = ReadImageHeader(file.data(), file.size());
            EXPECT_FALSE(header.ok) << codes << " codes at " << at;
            EXPECT_EQ(header.error, "a Huffman table of more than 256 codes");
            EXPECT_FALSE(DecodeImage(file.data(), file.size()).ok);
        }
    }
    // 256 codes fit: the decoder itself judges that table (its code lengths overflow).
    std::vector<std::uint8_t> full = jpeg;
    const std::vector<std::uint8_t> table = HuffmanSegment(256);
    full.insert(full.begin() + 2, table.begin(), table.end());
    EXPECT_NE(ReadImageHeader(full.data(), full.size()).error, "a Huffman table of more than 256 codes");
    // A table cut off by the end of the file counts what is missing as zeros, as the decoder reads it.
    std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + 2);
    const std::vector<std::uint8_t> large = HuffmanSegment(300);
    cut.insert(cut.end(), large.begin(), large.begin() + 21);
    EXPECT_EQ(ReadImageHeader(cut.data(), cut.size()).error, "a Huffman table of more than 256 codes");

    // 0xFF fill bytes before the start of the image: still a JPEG to the decoder.
    std::vector<std::uint8_t> filled = jpeg;
    filled.insert(filled.begin(), 3, 0xFF);
    filled.insert(filled.begin() + 5, large.begin(), large.end());
    EXPECT_EQ(ReadImageHeader(filled.data(), filled.size()).error, "a Huffman table of more than 256 codes");

    // The fuzzer's own inputs: a JPEG of the seeds with a table of 257 codes, and one with fill bytes.
    for (const char* name : {"jpeg-huffman-table-of-257-codes.jpg", "jpeg-huffman-table-after-fill-bytes.jpg"}) {
        std::ifstream found(std::string(NVESK_FUZZ_FOUND_DIR "/") + name, std::ios::binary);
        ASSERT_TRUE(found) << "missing " << name;
        const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
        EXPECT_EQ(ReadImageHeader(input.data(), input.size()).error, "a Huffman table of more than 256 codes") << name;
        EXPECT_FALSE(DecodeImage(input.data(), input.size()).ok) << name;
    }
}

// A JPEG whose Huffman codes did not match their table failed one of stb_image's checks of its own
// state, which aborted the process (found by the image fuzzer): its scan decodes with a table the
// file never defines, refused now before decoding. A failed check refuses a file as corrupt, and
// is forgotten once the decode has answered.
TEST(ImageDecoder, JpegCodesOutsideTheirHuffmanTableAreRefused) {
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/jpeg-code-not-in-its-huffman-table.jpg", std::ios::binary);
    ASSERT_TRUE(found);
    const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    EXPECT_EQ(ReadImageHeader(input.data(), input.size()).error,
              "a scan that decodes with a Huffman table the file does not define");
    EXPECT_FALSE(DecodeImage(input.data(), input.size()).ok);
    const std::vector<std::uint8_t> jpeg = Encode(ImageFileFormat::Jpg, 3, 5, Pattern(3, 5));
    EXPECT_TRUE(DecodeImage(jpeg.data(), jpeg.size()).ok);
}

// A damaged JPEG scan that runs out of data (found by the image fuzzer): stb_image then reads zeros
// past its end, shifting them by 32 or more. The decode ends the same way each time, and a sound
// file decodes after it.
TEST(ImageDecoder, JpegScansThatRunOutOfDataEndTheSameEachTime) {
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/jpeg-bit-reader-shift-past-32.jpg", std::ios::binary);
    ASSERT_TRUE(found);
    const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const ImageDecodeResult first = DecodeImage(input.data(), input.size());
    const ImageDecodeResult second = DecodeImage(input.data(), input.size());
    EXPECT_EQ(first.ok, second.ok);
    EXPECT_EQ(first.error, second.error);
    EXPECT_EQ(first.image.bgra, second.image.bgra);
    const std::vector<std::uint8_t> jpeg = Encode(ImageFileFormat::Jpg, 3, 5, Pattern(3, 5));
    EXPECT_TRUE(DecodeImage(jpeg.data(), jpeg.size()).ok);
}

// Scaling 2562 rows down to the 2048 of the largest texture gives filter weights that sum to more
// than stb_image_resize's check allows, which aborted a debug build (found by the image fuzzer); the
// weights are divided by their sum, so a flat colour stays flat.
TEST(ImageDecoder, DownscalingWhoseFilterWeightsSumPastOneKeepsFlatColour) {
    const std::uint32_t height = 2562;
    std::vector<std::uint8_t> flat;
    for (std::uint32_t i = 0; i < 2 * height; ++i)
        flat.insert(flat.end(), {40, 120, 200, 255});
    const std::vector<std::uint8_t> scaled = ScaleTexels(flat, 2, height, 2, 2048, ScaleFilter::Smooth);
    ASSERT_EQ(scaled.size(), std::size_t {2} * 2048 * 4);
    for (std::size_t i = 0; i < scaled.size(); i += 4) {
        ASSERT_NEAR(scaled[i], 40, 1) << i;
        ASSERT_NEAR(scaled[i + 1], 120, 1) << i;
        ASSERT_NEAR(scaled[i + 2], 200, 1) << i;
        ASSERT_NEAR(scaled[i + 3], 255, 1) << i;
    }

    // The fuzzer's input: a 2 x 2562 PNG, loaded as a texture of the largest size.
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/png-2x2562-scaled-to-2048-rows.png", std::ios::binary);
    ASSERT_TRUE(found);
    const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const ImageDecodeResult decoded = DecodeImage(input.data(), input.size());
    ASSERT_TRUE(decoded.ok) << decoded.error;
    ASSERT_EQ(decoded.image.height, height);
    EXPECT_EQ(PrepareTexels(decoded.image, 2, 2048, 0xFF000000u).size(), std::size_t {2} * 2048 * 4);
}

// An empty data chunk first made stb_image copy into a buffer it did not have yet (a null pointer;
// found by the image fuzzer). Empty data chunks add nothing to the image: they are dropped before
// decoding, and the image decodes as without them.
TEST(ImageDecoder, EmptyPngDataChunksAreDroppedBeforeDecoding) {
    const std::vector<std::uint8_t> png = Encode(ImageFileFormat::Png, 3, 5, Pattern(3, 5));
    const ImageDecodeResult plain = DecodeImage(png.data(), png.size());
    ASSERT_TRUE(plain.ok) << plain.error;
    const auto data = std::search(png.begin(), png.end(), std::begin("IDAT"), std::end("IDAT") - 1);
    ASSERT_NE(data, png.end());
    // An empty IDAT (length 0, type, checksum of the type alone) before and after the one with data.
    const std::uint8_t empty[] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    std::vector<std::uint8_t> file = png;
    file.insert(file.begin() + (data - png.begin()) - 4, std::begin(empty), std::end(empty));
    const auto end = std::search(file.begin(), file.end(), std::begin("IEND"), std::end("IEND") - 1);
    file.insert(end - 4, std::begin(empty), std::end(empty));
    const ImageDecodeResult decoded = DecodeImage(file.data(), file.size());
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.image.bgra, plain.image.bgra);

    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/png-empty-first-data-chunk.png", std::ios::binary);
    ASSERT_TRUE(found);
    const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const ImageDecodeResult header = ReadImageHeader(input.data(), input.size());
    const ImageDecodeResult result = DecodeImage(input.data(), input.size());
    // Under UndefinedBehaviorSanitizer (the sanitizer suite) the null copy was the fault itself.
    if (result.ok) {
        EXPECT_EQ(result.image.bgra.size(), std::size_t {header.image.width} * header.image.height * 4);
    } else {
        EXPECT_FALSE(result.error.empty());
    }
}

// A damaged JPEG whose coefficients times their quantisers overflow an int (undefined in stb_image's
// arithmetic, found by the image fuzzer); the decoder is built with wrapping signed arithmetic, so
// under UndefinedBehaviorSanitizer (the sanitizer suite) the file decodes or is refused like any other.
TEST(ImageDecoder, JpegCoefficientsThatOverflowDecodeOrAreRefused) {
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/jpeg-dequantised-coefficient-overflow.jpg", std::ios::binary);
    ASSERT_TRUE(found);
    const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const ImageDecodeResult header = ReadImageHeader(input.data(), input.size());
    ASSERT_TRUE(header.ok) << header.error;
    const ImageDecodeResult result = DecodeImage(input.data(), input.size());
    if (result.ok) {
        EXPECT_EQ(result.image.bgra.size(), std::size_t {header.image.width} * header.image.height * 4);
    } else {
        EXPECT_EQ(result.error, "corrupt image data");
    }
}

// A scan that decodes with a Huffman table the file never defines made stb_image index with the
// table's uninitialised entries, out of bounds (found by the image fuzzer); such a file is refused
// before decoding. The tests' JPEGs define the tables their scans use.
TEST(ImageDecoder, JpegScansWithAnUndefinedHuffmanTableAreRefused) {
    const std::vector<std::uint8_t> jpeg = Encode(ImageFileFormat::Jpg, 3, 5, Pattern(3, 5));
    ASSERT_TRUE(DecodeImage(jpeg.data(), jpeg.size()).ok);
    const std::uint8_t startOfScan[] = {0xFF, 0xDA};
    const auto scan = std::search(jpeg.begin(), jpeg.end(), std::begin(startOfScan), std::end(startOfScan));
    ASSERT_NE(scan, jpeg.end());
    const std::size_t at = static_cast<std::size_t>(scan - jpeg.begin()) + 2;
    ASSERT_GE(jpeg[at + 2], 1);  // components
    // The first component's DC table, then its AC table, moved to table 3, which no DHT defines.
    for (const std::uint8_t tables :
         {std::uint8_t((3 << 4) | (jpeg[at + 4] & 15)), std::uint8_t((jpeg[at + 4] & 0xF0) | 3)}) {
        std::vector<std::uint8_t> file = jpeg;
        file[at + 4] = tables;
        const ImageDecodeResult header = ReadImageHeader(file.data(), file.size());
        EXPECT_FALSE(header.ok);
        EXPECT_EQ(header.error, "a scan that decodes with a Huffman table the file does not define");
        EXPECT_FALSE(DecodeImage(file.data(), file.size()).ok);
    }

    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/jpeg-scan-with-an-undefined-huffman-table.jpg", std::ios::binary);
    ASSERT_TRUE(found);
    const std::vector<std::uint8_t> input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    EXPECT_EQ(ReadImageHeader(input.data(), input.size()).error,
              "a scan that decodes with a Huffman table the file does not define");
}
