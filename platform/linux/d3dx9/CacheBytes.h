// Bytes as the on-disk caches write them: little-endian numbers and sized texts, read back with
// every read past the end failing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nvesk::d3dx9 {

class CacheWriter {
public:
    void U32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes_ += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    void U64(std::uint64_t value) {
        U32(static_cast<std::uint32_t>(value));
        U32(static_cast<std::uint32_t>(value >> 32));
    }
    void Text(const std::string& text) {
        U32(static_cast<std::uint32_t>(text.size()));
        bytes_ += text;
    }
    void Raw(const char* data, std::size_t size) { bytes_.append(data, size); }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

// Reads what CacheWriter wrote; every read past the end fails and the reader stays failed.
class CacheReader {
public:
    CacheReader(const std::string& bytes, std::size_t begin, std::size_t end) : bytes_(bytes), at_(begin), end_(end) {}

    bool U32(std::uint32_t& value) {
        if (!Take(4)) return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_ - 4 + i])) << (8 * i);
        return true;
    }
    bool U64(std::uint64_t& value) {
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        if (!U32(low) || !U32(high)) return false;
        value = low | static_cast<std::uint64_t>(high) << 32;
        return true;
    }
    bool Text(std::string& text) {
        std::uint32_t size = 0;
        if (!U32(size) || !Take(size)) return false;
        text.assign(bytes_, at_ - size, size);
        return true;
    }
    template <typename T>
    bool Number(T& value) {
        std::uint32_t raw = 0;
        if (!U32(raw)) return false;
        value = static_cast<T>(raw);
        return true;
    }
    // A count of items of at least `itemBytes` each that can still fit in what is left.
    bool Count(std::uint32_t& count, std::size_t itemBytes) {
        return U32(count) && static_cast<std::size_t>(count) * itemBytes <= end_ - at_;
    }
    bool AtEnd() const { return ok_ && at_ == end_; }
    std::size_t Position() const { return at_; }

private:
    bool Take(std::size_t size) {
        if (!ok_ || size > end_ - at_) return ok_ = false;
        at_ += size;
        return true;
    }
    const std::string& bytes_;
    std::size_t at_;
    std::size_t end_;
    bool ok_ = true;
};

}  // namespace nvesk::d3dx9
