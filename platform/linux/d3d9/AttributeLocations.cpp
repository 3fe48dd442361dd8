#include "AttributeLocations.h"

namespace nvesk::d3d9 {

const AttributeLocations& AttributeLocations::FixedFunction() {
    static const AttributeLocations table = [] {
        AttributeLocations fixed;
        for (unsigned usage = 0; usage <= MAXD3DDECLUSAGE; ++usage) {
            for (unsigned index = 0; index < kIndexCount; ++index) {
                fixed.locations_[usage * kIndexCount + index] = static_cast<std::int8_t>(
                    VertexAttributeLocation(static_cast<BYTE>(usage), static_cast<BYTE>(index)));
            }
        }
        return fixed;
    }();
    return table;
}

bool AttributeLocations::ForInputs(const std::vector<ShaderAttribute>& inputs, AttributeLocations* table,
                                   std::string* message) {
    AttributeLocations result;
    unsigned taken = 0;  // a bit per location
    std::vector<unsigned> unplaced;
    for (const ShaderAttribute& input : inputs) {
        if (input.usage > MAXD3DDECLUSAGE || input.usageIndex > MAXD3DDECLUSAGEINDEX) {
            *message = "vertex input " + input.name + " has no Direct3D 9 declaration usage";
            return false;
        }
        const unsigned pair = input.usage * kIndexCount + input.usageIndex;
        const int fixed = VertexAttributeLocation(input.usage, input.usageIndex);
        if (fixed >= 0 && (taken & (1u << fixed)) == 0) {
            result.locations_[pair] = static_cast<std::int8_t>(fixed);
            taken |= 1u << fixed;
        } else if (result.locations_[pair] < 0) {
            unplaced.push_back(pair);
        }
    }
    unsigned next = 0;
    for (unsigned pair : unplaced) {
        if (result.locations_[pair] >= 0) {
            continue;  // the same usage and index read by two inputs
        }
        while (next < kLocationCount && (taken & (1u << next)) != 0) {
            ++next;
        }
        if (next == kLocationCount) {
            *message = "the vertex shader reads more than " + std::to_string(kLocationCount) + " inputs";
            return false;
        }
        result.locations_[pair] = static_cast<std::int8_t>(next);
        taken |= 1u << next;
    }
    *table = result;
    return true;
}

int AttributeLocations::Location(BYTE usage, BYTE usageIndex) const {
    if (usage > MAXD3DDECLUSAGE || usageIndex > MAXD3DDECLUSAGEINDEX) {
        return -1;
    }
    return locations_[usage * kIndexCount + usageIndex];
}

AttributeBindings AttributeLocations::Bindings(const std::vector<ShaderAttribute>& inputs) const {
    AttributeBindings bindings;
    for (const ShaderAttribute& input : inputs) {
        const int location = Location(input.usage, input.usageIndex);
        if (location >= 0) {
            bindings.emplace_back(input.name, static_cast<unsigned>(location));
        }
    }
    return bindings;
}

}  // namespace nvesk::d3d9
