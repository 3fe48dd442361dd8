// Guard cells around the buffers the simulation steps write: a pattern no step writes, checked after
// the steps. A step that writes past its field (a drop at the bottom edge one row too far, a wide
// store past a row's end) then writes into memory the test owns, so the debug build sees the
// fault, as the sanitizer build sees a write past a buffer's end.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SimulationTest {

// Rows added below a field, and cells on each side of a padded buffer.
constexpr std::size_t kGuardRows = 2;

// A value no step of the fire or the water leaves in a cell it writes.
template <typename Cell>
constexpr Cell GuardValue() {
    return static_cast<Cell>(sizeof(Cell) == 1 ? 0xA5 : 0x5A5A5A5A);
}

// `field` (rows of `rowLength` cells, row 0 at the top) lengthened by kGuardRows rows of the guard
// value. The steps index the field from its start, so the guard rows sit right after its last row.
template <typename Cell>
void AddGuardRows(std::vector<Cell>& field, std::size_t rowLength) {
    field.insert(field.end(), kGuardRows * rowLength, GuardValue<Cell>());
}

// Whether every cell after the first `cells` (the field itself) still holds the guard value.
template <typename Cell>
testing::AssertionResult GuardRowsIntact(const std::vector<Cell>& field, std::size_t cells) {
    for (std::size_t i = cells; i < field.size(); ++i) {
        if (field[i] != GuardValue<Cell>()) {
            return testing::AssertionFailure()
                   << "guard cell " << (i - cells) << " past the field's " << cells << " cells was written";
        }
    }
    return testing::AssertionSuccess();
}

// A buffer of `size` cells with guard cells before and after it.
template <typename Cell>
class Padded {
public:
    // Built piece by piece: no size is added up that could wrap around.
    explicit Padded(std::size_t size, Cell fill = Cell {}) : size_(size) {
        cells_.assign(Guard(), GuardValue<Cell>());
        cells_.insert(cells_.end(), size, fill);
        cells_.insert(cells_.end(), Guard(), GuardValue<Cell>());
    }
    Cell* data() { return cells_.data() + Guard(); }
    const Cell* data() const { return cells_.data() + Guard(); }
    std::vector<Cell> Contents() const { return std::vector<Cell>(data(), data() + size_); }

    testing::AssertionResult Intact() const {
        for (std::size_t i = 0; i < Guard(); ++i) {
            if (cells_[i] != GuardValue<Cell>()) {
                return testing::AssertionFailure()
                       << "guard cell " << (Guard() - i) << " before the buffer was written";
            }
            if (cells_[Guard() + size_ + i] != GuardValue<Cell>()) {
                return testing::AssertionFailure() << "guard cell " << i << " after the buffer was written";
            }
        }
        return testing::AssertionSuccess();
    }

private:
    // Wider than any vector store (64 bytes) of the kernels.
    static constexpr std::size_t Guard() { return 128 / sizeof(Cell); }

    std::size_t size_;
    std::vector<Cell> cells_;
};

}  // namespace SimulationTest
