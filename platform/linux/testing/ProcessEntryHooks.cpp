#include <PlatformTesting/ProcessEntry.h>

#include "user32/GlDriverPreload.h"

namespace PlatformTesting {

struct ProcessEntryWork::State {
    nvesk::user32::GlDriverPreload preload;
};

ProcessEntryWork::ProcessEntryWork() : state_(std::make_unique<State>()) {}

ProcessEntryWork::~ProcessEntryWork() = default;

}  // namespace PlatformTesting
