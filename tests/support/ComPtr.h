// An interface pointer that gives back its reference when it goes, so a test that fails half-way
// leaks nothing into the next one's live-object count.
#pragma once

#include <windows.h>

#include <utility>

namespace TestSupport {

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : object_(other.object_) {
        if (object_ != nullptr) object_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }

    Interface* Get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // The slot a creation call fills: CreateTexture(..., texture.Out(), nullptr). What was held is
    // given back first.
    Interface** Out() {
        Reset();
        return &object_;
    }

    // Gives the reference back now; what Release returned, or 0 when nothing was held.
    ULONG Reset() {
        if (object_ == nullptr) return 0;
        return std::exchange(object_, nullptr)->Release();
    }

private:
    Interface* object_ = nullptr;
};

}  // namespace TestSupport
