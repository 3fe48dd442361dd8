// The memory behind a vertex or index buffer: a CPU copy that Lock hands out, and, for every
// pool but SCRATCH, a GL buffer that receives the locked range on Unlock.
#pragma once

#include <d3d9.h>

#include <vector>

namespace nvesk::d3d9 {

class Device;

class BufferStorage {
public:
    BufferStorage(UINT size, DWORD usage, D3DPOOL pool);

    // Creates the GL buffer when the pool needs one (context current).
    void Create();
    void Free();

    // Lock rules of the debug runtime: DISCARD and NOOVERWRITE only on dynamic buffers, the
    // range inside the buffer (offset and size 0 = everything); locks nest.
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    // The uploads happen at the last unlock, for everything locked writable since the first;
    // *writtenBegin and *writtenEnd (when given) receive that byte range, empty if none.
    HRESULT Unlock(UINT* writtenBegin = nullptr, UINT* writtenEnd = nullptr);

    UINT Size() const { return size_; }
    DWORD Usage() const { return usage_; }
    D3DPOOL Pool() const { return pool_; }
    bool IsLocked() const { return lockCount_ > 0; }
    unsigned int GlBuffer() const { return glBuffer_; }
    const BYTE* Data() const { return data_.data(); }

private:
    UINT size_;
    DWORD usage_;
    D3DPOOL pool_;
    std::vector<BYTE> data_;
    unsigned int glBuffer_ = 0;
    int lockCount_ = 0;
    bool discard_ = false;
    UINT dirtyBegin_ = 0;
    UINT dirtyEnd_ = 0;
};

}  // namespace nvesk::d3d9
