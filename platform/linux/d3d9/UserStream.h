// The device's GL buffer that DrawPrimitiveUP and DrawIndexedPrimitiveUP copy user memory into.
// Each draw's bytes go after the previous draw's, and a full buffer is orphaned, so a copy never
// overwrites bytes the GPU may not have read yet and never waits for it.
#pragma once

#include <cstddef>

namespace nvesk::d3d9 {

class UserStream {
public:
    static constexpr size_t kAlignment = 16;

    void Destroy();
    // A fresh range of `size` bytes, aligned to kAlignment; its offset in Buffer().
    size_t Reserve(size_t size);
    void Write(size_t offset, const void* data, size_t size);
    unsigned int Buffer() const { return buffer_; }

private:
    unsigned int buffer_ = 0;
    size_t capacity_ = 0;
    size_t used_ = 0;
};

}  // namespace nvesk::d3d9
