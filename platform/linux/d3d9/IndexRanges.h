// The smallest and largest index of each block of an index buffer, brought up to date on every
// write, so that a draw checks its indices against the vertex range it declares by reading the
// summaries of whole blocks and only the indices of the two partial blocks at its ends.
#pragma once

#include <d3d9.h>

#include <vector>

namespace nvesk::d3d9 {

class IndexRanges {
public:
    // `count` indices of `indexSize` bytes (2 or 4), all 0.
    IndexRanges(UINT count, UINT indexSize);

    // Indices [first, end) of `data` were written.
    void Update(const BYTE* data, UINT first, UINT end);
    // Whether indices [first, first + count) of `data` all lie in [low, high].
    bool Within(const BYTE* data, UINT first, UINT count, UINT low, UINT high) const;

private:
    static constexpr UINT kBlock = 256;

    UINT IndexAt(const BYTE* data, UINT i) const;
    bool ScanWithin(const BYTE* data, UINT first, UINT end, UINT low, UINT high) const;

    UINT count_;
    UINT indexSize_;
    std::vector<UINT> lowest_;
    std::vector<UINT> highest_;
};

}  // namespace nvesk::d3d9
