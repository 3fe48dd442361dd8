// SDL video for the window layer: started on first need, on one thread (SDL's rule), with the
// OpenGL attributes the Direct3D layer creates its context with.
#pragma once

#include <SDL.h>

namespace nvesk::user32 {

// Starts SDL video once; false when there is no display (the failure is reported once on stderr).
bool EnsureVideo();

// Whether there is a screen a person sees (not an off-screen driver asked for by SDL_VIDEODRIVER).
bool DisplayVisible();

// Whether video is up, without starting it.
bool VideoStarted();

// Whether the calling thread is the one that started video and so may touch SDL windows and events.
bool OnVideoThread();

// Wakes the video thread out of a wait for events (from any thread); a no-op before video starts.
void WakeVideoThread();

// Whether an SDL event is only such a wake-up.
bool IsWakeEvent(const SDL_Event& event);

}  // namespace nvesk::user32
