// glslang's HLSL front end goes on with a null node when the two branches of a ?: cannot be given
// one type (`return c ? float4x : someStruct;`, or an undeclared name as a branch), and crashes in
// whatever reads the node next: a return, an operator, a call argument. The build wraps glslang's
// TIntermediate::addSelection (ld --wrap, see CMakeLists.txt): while a guard is active on the thread,
// a failed selection is noted and the false branch stands in for it, so that parsing goes on and
// the compile then fails at the ?:, as glslang's GLSL grammar does.
#pragma once

#include "EffectLexer.h"

namespace nvesk::d3dx9 {

// Notes the ?: expressions of the current thread that fail, until destroyed.
class SelectionGuard {
public:
    SelectionGuard();
    ~SelectionGuard();
    SelectionGuard(const SelectionGuard&) = delete;
    SelectionGuard& operator=(const SelectionGuard&) = delete;

    // True with the position of the first that failed.
    bool Failed(SourcePosition& where) const;
};

}  // namespace nvesk::d3dx9
