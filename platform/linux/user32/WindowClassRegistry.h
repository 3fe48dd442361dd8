// The process's registered window classes: looked up by name (case-insensitive) or atom, per module.
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace nvesk::user32 {

struct WindowClass {
    ATOM atom = 0;
    std::wstring name;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    UINT style = 0;
    int windowCount = 0;
};

class WindowClassRegistry {
public:
    static WindowClassRegistry& Instance();

    // The new class's atom, or 0 with the Windows error in `error`.
    ATOM Register(const WNDCLASSEXW& description, DWORD& error);
    bool Unregister(LPCWSTR nameOrAtom, HINSTANCE instance, DWORD& error);
    std::optional<WindowClass> Find(LPCWSTR nameOrAtom, HINSTANCE instance) const;

    // Counts the windows of a class, which cannot be unregistered while it has any.
    void AddWindow(ATOM atom);
    void RemoveWindow(ATOM atom);

private:
    WindowClassRegistry() = default;
    const WindowClass* Lookup(LPCWSTR nameOrAtom, HINSTANCE instance) const;

    mutable std::mutex mutex_;
    std::vector<WindowClass> classes_;
    ATOM nextAtom_ = 0xC000;  // where Windows numbers application classes from
};

// A null module means the program's own, as in Windows.
HINSTANCE ModuleOrProgram(HINSTANCE instance);

}  // namespace nvesk::user32
