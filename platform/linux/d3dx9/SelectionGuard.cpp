#include "SelectionGuard.h"

#include <glslang/Include/Common.h>
#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/MachineIndependent/parseVersions.h>

// The wrapped member function, called as the free function the x86-64 ABI makes of it.
#define NVESK_ADD_SELECTION _ZN7glslang13TIntermediate12addSelectionEPNS_12TIntermTypedES2_S2_RKNS_10TSourceLocE
#define NVESK_CONCAT(a, b) a##b
#define NVESK_WRAPPED(prefix, name) NVESK_CONCAT(prefix, name)

extern "C" glslang::TIntermTyped* NVESK_WRAPPED(__real_, NVESK_ADD_SELECTION)(glslang::TIntermediate* self,
                                                                              glslang::TIntermTyped* condition,
                                                                              glslang::TIntermTyped* whenTrue,
                                                                              glslang::TIntermTyped* whenFalse,
                                                                              const glslang::TSourceLoc& location);

namespace {

struct GuardState {
    int active = 0;
    bool failed = false;
    nvesk::d3dx9::SourcePosition where;
};

thread_local GuardState g_guard;

}  // namespace

extern "C" glslang::TIntermTyped* NVESK_WRAPPED(__wrap_, NVESK_ADD_SELECTION)(glslang::TIntermediate* self,
                                                                              glslang::TIntermTyped* condition,
                                                                              glslang::TIntermTyped* whenTrue,
                                                                              glslang::TIntermTyped* whenFalse,
                                                                              const glslang::TSourceLoc& location) {
    glslang::TIntermTyped* node =
        NVESK_WRAPPED(__real_, NVESK_ADD_SELECTION)(self, condition, whenTrue, whenFalse, location);
    if (node != nullptr || g_guard.active == 0) return node;
    if (!g_guard.failed) {
        g_guard.failed = true;
        g_guard.where = {location.line, location.column > 0 ? location.column : 1};
    }
    return whenFalse != nullptr ? whenFalse : whenTrue;
}

// An operand that ++ or -- cannot take (an unknown name, `return S++;`): glslang's HLSL front end
// makes no node for the operator and, after a postfix one, goes on with the null in its place,
// which crashes whatever reads it next (a return, an operator, a call argument). The build also
// wraps HlslParseContext::handleLvalue, which both forms ask about their result: a missing result
// is an error at the operator, and a float constant stands in for it, so that parsing goes on and
// the compile fails there.
#define NVESK_HANDLE_LVALUE _ZN7glslang16HlslParseContext12handleLvalueERKNS_10TSourceLocEPKcRPNS_12TIntermTypedE

// HlslParseContext derives from TParseVersions first: its address is that of its parse versions.
extern "C" glslang::TIntermTyped* NVESK_WRAPPED(__real_, NVESK_HANDLE_LVALUE)(glslang::TParseVersions* self,
                                                                              const glslang::TSourceLoc& location,
                                                                              const char* op,
                                                                              glslang::TIntermTyped*& node);

extern "C" glslang::TIntermTyped* NVESK_WRAPPED(__wrap_, NVESK_HANDLE_LVALUE)(glslang::TParseVersions* self,
                                                                              const glslang::TSourceLoc& location,
                                                                              const char* op,
                                                                              glslang::TIntermTyped*& node) {
    if (node != nullptr) return NVESK_WRAPPED(__real_, NVESK_HANDLE_LVALUE)(self, location, op, node);
    self->error(location, "the operand cannot be incremented or decremented", op, "");
    node = self->intermediate.addConstantUnion(0.0, glslang::EbtFloat, location, true);
    return node;
}

namespace nvesk::d3dx9 {

SelectionGuard::SelectionGuard() {
    if (g_guard.active++ == 0) g_guard.failed = false;
}

SelectionGuard::~SelectionGuard() {
    --g_guard.active;
}

bool SelectionGuard::Failed(SourcePosition& where) const {
    if (g_guard.failed) where = g_guard.where;
    return g_guard.failed;
}

}  // namespace nvesk::d3dx9
