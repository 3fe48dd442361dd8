// A change to the effect's HLSL before glslang reads it, made where the legacy compiler accepts
// what glslang does not. Edits are collected while the text is read and applied at once, last
// first, so that each keeps the offsets of the text as the user wrote it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

struct SourceEdit {
    std::size_t offset;  // into the text as read
    std::size_t length;  // bytes replaced; 0 inserts
    std::string text;
};

// Applies `edits` to `text`; edits at one offset keep the order they were made in.
void ApplyEdits(std::vector<SourceEdit> edits, std::string& text);

}  // namespace nvesk::d3dx9
