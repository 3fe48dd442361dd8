#include "SourceEdit.h"

#include <algorithm>

namespace nvesk::d3dx9 {

void ApplyEdits(std::vector<SourceEdit> edits, std::string& text) {
    std::stable_sort(edits.begin(), edits.end(),
                     [](const SourceEdit& a, const SourceEdit& b) { return a.offset < b.offset; });
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit)
        text.replace(edit->offset, edit->length, edit->text);
}

}  // namespace nvesk::d3dx9
