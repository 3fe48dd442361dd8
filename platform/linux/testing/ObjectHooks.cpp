#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>

#include "com/Diagnostics.h"
#include "com/Object.h"

namespace PlatformTesting {

using nvesk::com::Kind;
using nvesk::com::Object;

static_assert(static_cast<int>(Direct3DObject::VertexDeclaration) == static_cast<int>(Kind::VertexDeclaration) &&
                  static_cast<int>(Direct3DObject::Buffer) == static_cast<int>(Kind::Buffer) &&
                  static_cast<int>(Direct3DObject::InputDevice) + 1 == static_cast<int>(Kind::Count),
              "the hook's kinds are the registry's, in the same order");

int LiveDirect3DObjects(Direct3DObject type) {
    return Object::Count(static_cast<Kind>(type));
}

int LiveDirect3DObjects() {
    int total = 0;
    for (int kind = 0; kind < static_cast<int>(Kind::Count); ++kind) {
        total += Object::Count(static_cast<Kind>(kind));
    }
    return total;
}

std::string LastRefusal() {
    return nvesk::com::LastRefusal();
}

void ClearLastRefusal() {
    nvesk::com::ClearLastRefusal();
}

double SecondsSinceProcessStart() {
    return nvesk::com::SecondsSinceProcessStart();
}

double FirstFramePresentedSeconds() {
    return nvesk::com::FirstFramePresentedSeconds();
}

double FirstFramePresentedMonotonic() {
    return nvesk::com::FirstFramePresentedMonotonic();
}

double FirstFramePresentedProcessorSeconds() {
    return nvesk::com::FirstFramePresentedProcessorSeconds();
}

DebugOutputCapture::DebugOutputCapture() {
    nvesk::com::CaptureDebugOutput(true);
}

DebugOutputCapture::~DebugOutputCapture() {
    nvesk::com::CaptureDebugOutput(false);
}

std::string DebugOutputCapture::Text() const {
    return nvesk::com::CapturedDebugOutput();
}

std::string LiveObjectReport() {
    return Object::LiveObjectReport();
}

}  // namespace PlatformTesting
