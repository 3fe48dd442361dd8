// Which GL vertex attribute each declaration usage and usage index feeds. Direct3D 9 matches
// declaration elements to a vertex shader's inputs by usage and index, any of the 14 usages with
// any index 0..15, while a shader reads at most 16 inputs (v0..v15). A program's inputs get their
// own table: those the fixed-function stages read keep the location those stages use, the others
// take the locations left free. Draws without a vertex shader use the fixed-function table.
#pragma once

#include "ShaderProgramBinding.h"

#include <d3d9.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nvesk::d3d9 {

// Each GL input name of a program with its location, for glBindAttribLocation.
using AttributeBindings = std::vector<std::pair<std::string, unsigned>>;

class AttributeLocations {
public:
    // GL's guaranteed attribute count, and Direct3D 9's vertex shader input registers.
    static constexpr unsigned kLocationCount = 16;

    // The locations the generated fixed-function stages read (VertexAttributeLocation).
    static const AttributeLocations& FixedFunction();

    // The table of a program's inputs; false with `message` set when they need more than
    // kLocationCount locations or name a usage or index Direct3D 9 does not have.
    static bool ForInputs(const std::vector<ShaderAttribute>& inputs, AttributeLocations* table, std::string* message);

    // -1 where nothing is read from elements of this usage and index.
    int Location(BYTE usage, BYTE usageIndex) const;

    AttributeBindings Bindings(const std::vector<ShaderAttribute>& inputs) const;

    bool operator==(const AttributeLocations& other) const { return locations_ == other.locations_; }
    bool operator!=(const AttributeLocations& other) const { return !(*this == other); }

    // A table that reads nothing.
    AttributeLocations() { locations_.fill(-1); }

private:
    static constexpr unsigned kIndexCount = MAXD3DDECLUSAGEINDEX + 1;
    static constexpr unsigned kPairCount = (MAXD3DDECLUSAGE + 1) * kIndexCount;

    std::array<std::int8_t, kPairCount> locations_;
};

}  // namespace nvesk::d3d9
