#include "PlatformEventInjection.h"

#include "../user32/NativeWindow.h"
#include "../user32/SdlVideo.h"

namespace PlatformTesting::detail {

bool Inject(SDL_Event& event) {
    if (!nvesk::user32::VideoStarted()) return false;
    if (SDL_PushEvent(&event) < 0) return false;
    nvesk::user32::PumpPlatformEvents();
    return true;
}

}  // namespace PlatformTesting::detail
