#include "IndexRanges.h"

#include <algorithm>
#include <cstring>

namespace nvesk::d3d9 {

IndexRanges::IndexRanges(UINT count, UINT indexSize)
    : count_(count),
      indexSize_(indexSize),
      lowest_((count + kBlock - 1) / kBlock, 0),
      highest_((count + kBlock - 1) / kBlock, 0) {}

UINT IndexRanges::IndexAt(const BYTE* data, UINT i) const {
    if (indexSize_ == 2) {
        WORD index;
        std::memcpy(&index, data + static_cast<size_t>(i) * 2, 2);
        return index;
    }
    DWORD index;
    std::memcpy(&index, data + static_cast<size_t>(i) * 4, 4);
    return index;
}

void IndexRanges::Update(const BYTE* data, UINT first, UINT end) {
    end = std::min(end, count_);
    if (first >= end) {
        return;
    }
    for (UINT block = first / kBlock; block <= (end - 1) / kBlock; ++block) {
        const UINT blockEnd = std::min(count_, (block + 1) * kBlock);
        UINT lowest = 0xFFFFFFFFu;
        UINT highest = 0;
        for (UINT i = block * kBlock; i < blockEnd; ++i) {
            const UINT index = IndexAt(data, i);
            lowest = std::min(lowest, index);
            highest = std::max(highest, index);
        }
        lowest_[block] = lowest;
        highest_[block] = highest;
    }
}

bool IndexRanges::ScanWithin(const BYTE* data, UINT first, UINT end, UINT low, UINT high) const {
    for (UINT i = first; i < end; ++i) {
        const UINT index = IndexAt(data, i);
        if (index < low || index > high) {
            return false;
        }
    }
    return true;
}

bool IndexRanges::Within(const BYTE* data, UINT first, UINT count, UINT low, UINT high) const {
    const UINT end = first + count;
    const UINT firstWhole = (first + kBlock - 1) / kBlock;
    const UINT endWhole = end / kBlock;
    if (firstWhole >= endWhole) {
        return ScanWithin(data, first, end, low, high);
    }
    for (UINT block = firstWhole; block < endWhole; ++block) {
        if (lowest_[block] < low || highest_[block] > high) {
            return false;
        }
    }
    return ScanWithin(data, first, firstWhole * kBlock, low, high) &&
           ScanWithin(data, endWhole * kBlock, end, low, high);
}

}  // namespace nvesk::d3d9
