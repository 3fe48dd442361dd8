// Results of pure operations on large inputs, kept for the last few inputs seen: a program that
// loads the same mesh again (every frame, while a key is held) gets the same result without the
// work. Inputs are compared whole, byte for byte, never by a hash alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace nvesk::d3dx9 {

// The bytes of an operation's inputs, appended one after another, each with its size.
class MemoKey {
public:
    MemoKey& Add(const void* data, std::size_t size) {
        const std::uint64_t length = size;
        bytes_.append(reinterpret_cast<const char*>(&length), sizeof length);
        bytes_.append(static_cast<const char*>(data), size);
        return *this;
    }
    template <typename T>
    MemoKey& Add(const std::vector<T>& values) {
        return Add(values.data(), values.size() * sizeof(T));
    }
    template <typename T>
    MemoKey& Value(const T& value) {
        return Add(&value, sizeof value);
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

template <typename Result>
class ContentMemo {
public:
    explicit ContentMemo(std::size_t capacity) : capacity_(capacity) {}

    // The result kept for exactly these inputs; null when none is.
    std::shared_ptr<const Result> Find(const MemoKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->first == key.Bytes()) {
                entries_.splice(entries_.begin(), entries_, entry);  // most recent first
                return entries_.front().second;
            }
        }
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
