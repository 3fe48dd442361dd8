// What the input layer (DirectInput) learns from the window layer: every keyboard and mouse event
// as the system delivered it, and focus changes and window destruction as they happen, before the
// window procedures hear of them.
#pragma once

#include <windows.h>

#include <SDL.h>

namespace nvesk::user32 {

class PlatformEventListener {
public:
    virtual void OnInputEvent(const SDL_Event& event) = 0;
    virtual void OnFocusChanged(HWND lost, HWND gained) = 0;
    virtual void OnWindowDestroyed(HWND window) = 0;

protected:
    ~PlatformEventListener() = default;
};

void AddPlatformEventListener(PlatformEventListener* listener);
void RemovePlatformEventListener(PlatformEventListener* listener);

// Called by the window layer.
void NotifyInputEvent(const SDL_Event& event);
void NotifyFocusChanged(HWND lost, HWND gained);
void NotifyWindowDestroyed(HWND window);

}  // namespace nvesk::user32
