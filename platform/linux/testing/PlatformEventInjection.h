// The hooks' way in: an SDL event pushed into SDL's queue and taken in by the window layer, as if
// the system had sent it.
#pragma once

#include <SDL.h>

namespace PlatformTesting::detail {

// False when SDL video is not running.
bool Inject(SDL_Event& event);

}  // namespace PlatformTesting::detail
