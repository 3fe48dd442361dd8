#include "UserStream.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace nvesk::d3d9 {
namespace {

constexpr size_t kInitialCapacity = 256 * 1024;

}  // namespace

void UserStream::Destroy() {
    if (buffer_ != 0) {
        glDeleteBuffers(1, &buffer_);
        buffer_ = 0;
    }
    capacity_ = 0;
    used_ = 0;
}

size_t UserStream::Reserve(size_t size) {
    if (buffer_ == 0) {
        glCreateBuffers(1, &buffer_);
    }
    size_t offset = (used_ + kAlignment - 1) / kAlignment * kAlignment;
    if (capacity_ == 0 || offset + size > capacity_) {
        // Orphaning: draws still queued keep reading the old storage.
        capacity_ = std::max({kInitialCapacity, capacity_, size});
        glNamedBufferData(buffer_, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
        offset = 0;
    }
    used_ = offset + size;
    return offset;
}

void UserStream::Write(size_t offset, const void* data, size_t size) {
    glNamedBufferSubData(buffer_, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size), data);
}

}  // namespace nvesk::d3d9
