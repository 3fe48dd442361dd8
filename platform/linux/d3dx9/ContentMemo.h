// Results of pure operations on large inputs, kept for the last few inputs seen: a program that
// loads the same mesh again (every frame, while a key is held) gets the same result without the
// work. Inputs are compared whole, byte for byte, never by a hash alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace nvesk::d3dx9 {

// The bytes of an operation's inputs, one after another, each with its size. The key only points
// at the inputs until a lookup misses: it then copies them, so that the operation may change
// them before its result is kept. A hit copies nothing.
class MemoKey {
public:
    MemoKey() = default;
    MemoKey(const MemoKey&) = delete;
    MemoKey& operator=(const MemoKey&) = delete;
    MemoKey(MemoKey&&) = default;
    MemoKey& operator=(MemoKey&&) = default;

    // `data` must stay as it is until the lookup.
    MemoKey& Add(const void* data, std::size_t size) {
        const std::uint64_t length = size;
        Piece(Keep(&length, sizeof length));
        pieces_.emplace_back(static_cast<const char*>(data), size);
        size_ += size;
        owns_ = false;
        return *this;
    }
    template <typename T>
    MemoKey& Add(const std::vector<T>& values) {
        return Add(values.data(), values.size() * sizeof(T));
    }
    // A value copied into the key.
    template <typename T>
    MemoKey& Value(const T& value) {
        return Add(Keep(&value, sizeof value).data(), sizeof value);
    }

    std::size_t Size() const { return size_; }
    bool Matches(const std::string& bytes) const {
        if (bytes.size() != size_) return false;
        std::size_t at = 0;
        for (const auto& [data, size] : pieces_) {
            if (size != 0 && std::memcmp(bytes.data() + at, data, size) != 0) return false;
            at += size;
        }
        return true;
    }
    std::string Bytes() const {
        std::string bytes;
        bytes.reserve(size_);
        for (const auto& [data, size] : pieces_)
            bytes.append(data, size);
        return bytes;
    }
    // Copies what the key points at: the inputs may change from here on.
    void Own() {
        if (owns_) return;
        std::string bytes = Bytes();
        pieces_.clear();
        owned_.clear();
        owned_.push_back(std::move(bytes));
        pieces_.emplace_back(owned_.back().data(), owned_.back().size());
        owns_ = true;
    }

private:
    const std::string& Keep(const void* data, std::size_t size) {
        owned_.emplace_back(static_cast<const char*>(data), size);
        return owned_.back();
    }
    void Piece(const std::string& bytes) {
        pieces_.emplace_back(bytes.data(), bytes.size());
        size_ += bytes.size();
    }

    std::vector<std::pair<const char*, std::size_t>> pieces_;
    std::deque<std::string> owned_;  // sizes and values; a deque keeps them in place
    std::size_t size_ = 0;
    bool owns_ = false;
};

template <typename Result>
class ContentMemo {
public:
    explicit ContentMemo(std::size_t capacity) : capacity_(capacity) {}

    // The result kept for exactly these inputs; null when none is, and the key then holds its
    // own copy of the inputs.
    std::shared_ptr<const Result> Find(MemoKey& key) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
                if (key.Matches(entry->first)) {
                    entries_.splice(entries_.begin(), entries_, entry);  // most recent first
                    return entries_.front().second;
                }
            }
        }
        key.Own();
        return nullptr;
    }

    // Keeps `result` for the inputs, dropping the least recently used entry when full.
    void Keep(const MemoKey& key, std::shared_ptr<const Result> result) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.emplace_front(key.Bytes(), std::move(result));
        if (entries_.size() > capacity_) entries_.pop_back();
    }

private:
    std::mutex mutex_;
    std::size_t capacity_;
    std::list<std::pair<std::string, std::shared_ptr<const Result>>> entries_;
};

}  // namespace nvesk::d3dx9
