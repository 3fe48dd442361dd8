#include "BufferStorage.h"
#include "com/Diagnostics.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace nvesk::d3d9 {

using com::Reject;

BufferStorage::BufferStorage(UINT size, DWORD usage, D3DPOOL pool)
    : size_(size), usage_(usage), pool_(pool), data_(size, 0) {}

void BufferStorage::Create() {
    // Scratch buffers are never drawn from; every other pool can feed a draw.
    if (pool_ == D3DPOOL_SCRATCH) {
        return;
    }
    glCreateBuffers(1, &glBuffer_);
    glNamedBufferData(glBuffer_, size_, data_.data(),
                      (usage_ & D3DUSAGE_DYNAMIC) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
}

void BufferStorage::Free() {
    if (glBuffer_ != 0) {
        glDeleteBuffers(1, &glBuffer_);
        glBuffer_ = 0;
    }
    data_.clear();
    data_.shrink_to_fit();
    lockCount_ = 0;
}

HRESULT BufferStorage::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (data == nullptr) {
        return Reject("data is null");
    }
    *data = nullptr;
    const bool dynamic = (usage_ & D3DUSAGE_DYNAMIC) != 0;
    if ((flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) != 0 && !dynamic) {
        return Reject("DISCARD and NOOVERWRITE need a dynamic buffer");
    }
    if (size == 0) {
        // 0 locks from the offset to the end.
        if (offset >= size_) {
            return Reject("offset %u lies past the buffer's %u bytes", offset, size_);
        }
        size = size_ - offset;
    }
    if (offset > size_ || size > size_ - offset) {
        return Reject("the range %u + %u lies past the buffer's %u bytes", offset, size, size_);
    }
    if ((flags & D3DLOCK_READONLY) == 0) {
        if (lockCount_ == 0 || dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = offset + size;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, offset + size);
        }
        discard_ = discard_ || (flags & D3DLOCK_DISCARD) != 0;
    } else if (lockCount_ == 0) {
        dirtyBegin_ = dirtyEnd_ = 0;
    }
    ++lockCount_;
    *data = data_.data() + offset;
    return D3D_OK;
}

HRESULT BufferStorage::Unlock(UINT* writtenBegin, UINT* writtenEnd) {
    if (lockCount_ == 0) {
        return Reject("the buffer is not locked");
    }
    if (writtenBegin != nullptr && writtenEnd != nullptr) {
        *writtenBegin = *writtenEnd = 0;
    }
    if (--lockCount_ > 0) {
        return D3D_OK;
    }
    if (writtenBegin != nullptr && writtenEnd != nullptr) {
        *writtenBegin = dirtyBegin_;
        *writtenEnd = dirtyEnd_;
    }
    if (glBuffer_ != 0 && dirtyBegin_ < dirtyEnd_) {
        if (discard_) {
            // A fresh store: draws still reading the old contents need not be waited for.
            glNamedBufferData(glBuffer_, size_, nullptr, GL_DYNAMIC_DRAW);
            glNamedBufferSubData(glBuffer_, 0, size_, data_.data());
        } else {
            glNamedBufferSubData(glBuffer_, dirtyBegin_, dirtyEnd_ - dirtyBegin_, data_.data() + dirtyBegin_);
        }
    }
    discard_ = false;
    dirtyBegin_ = dirtyEnd_ = 0;
    return D3D_OK;
}

}  // namespace nvesk::d3d9
