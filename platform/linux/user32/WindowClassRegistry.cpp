#include "WindowClassRegistry.h"

#include <winuser.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace nvesk::user32 {
namespace {

// Longer class names make RegisterClassExW fail.
constexpr std::size_t kMaxClassNameLength = 256;

bool SameName(const std::wstring& a, LPCWSTR b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
    }
    return i == a.size() && b[i] == L'\0';
}

}  // namespace

HINSTANCE ModuleOrProgram(HINSTANCE instance) {
    return instance != nullptr ? instance : GetModuleHandleW(nullptr);
}

WindowClassRegistry& WindowClassRegistry::Instance() {
    // Never destroyed: windows and classes may still be used by other objects' destructors at exit.
    static WindowClassRegistry* registry = new WindowClassRegistry;
    return *registry;
}

const WindowClass* WindowClassRegistry::Lookup(LPCWSTR nameOrAtom, HINSTANCE instance) const {
    if (nameOrAtom == nullptr) return nullptr;
    for (const WindowClass& windowClass : classes_) {
        if (windowClass.instance != instance) continue;
        const bool match = IS_INTRESOURCE(nameOrAtom)
                               ? windowClass.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(nameOrAtom))
                               : SameName(windowClass.name, nameOrAtom);
        if (match) return &windowClass;
    }
    return nullptr;
}

ATOM WindowClassRegistry::Register(const WNDCLASSEXW& description, DWORD& error) {
    if (description.cbSize != sizeof(WNDCLASSEXW) || description.lpszClassName == nullptr ||
        IS_INTRESOURCE(description.lpszClassName) || description.lpszClassName[0] == L'\0' ||
        std::wcslen(description.lpszClassName) > kMaxClassNameLength || description.lpfnWndProc == nullptr ||
        description.cbClsExtra < 0 || description.cbWndExtra < 0) {
        error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    const HINSTANCE instance = ModuleOrProgram(description.hInstance);
    const std::lock_guard<std::mutex> lock(mutex_);
    if (Lookup(description.lpszClassName, instance) != nullptr) {
        error = ERROR_CLASS_ALREADY_EXISTS;
        return 0;
    }
    if (nextAtom_ == 0xFFFF) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    WindowClass windowClass;
    windowClass.atom = nextAtom_++;
    windowClass.name = description.lpszClassName;
    windowClass.instance = instance;
    windowClass.procedure = description.lpfnWndProc;
    windowClass.style = description.style;
    classes_.push_back(windowClass);
    return windowClass.atom;
}

bool WindowClassRegistry::Unregister(LPCWSTR nameOrAtom, HINSTANCE instance, DWORD& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const WindowClass* windowClass = Lookup(nameOrAtom, ModuleOrProgram(instance));
    if (windowClass == nullptr) {
        error = ERROR_CLASS_DOES_NOT_EXIST;
        return false;
    }
    if (windowClass->windowCount > 0) {
        error = ERROR_CLASS_HAS_WINDOWS;
        return false;
    }
    classes_.erase(classes_.begin() + (windowClass - classes_.data()));
    return true;
}

std::optional<WindowClass> WindowClassRegistry::Find(LPCWSTR nameOrAtom, HINSTANCE instance) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const WindowClass* windowClass = Lookup(nameOrAtom, ModuleOrProgram(instance));
    if (windowClass == nullptr) return std::nullopt;
    return *windowClass;
}

void WindowClassRegistry::AddWindow(ATOM atom) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (WindowClass& windowClass : classes_) {
        if (windowClass.atom == atom) ++windowClass.windowCount;
    }
}

void WindowClassRegistry::RemoveWindow(ATOM atom) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (WindowClass& windowClass : classes_) {
        if (windowClass.atom == atom && windowClass.windowCount > 0) --windowClass.windowCount;
    }
}

}  // namespace nvesk::user32
