// MessageBoxW: SDL's message box with the buttons, default button and icon the style asks for;
// without a display, or where SDL cannot show a box, the text goes to stderr and the answer is IDOK.
#include "MessageBoxLog.h"
#include "NativeWindow.h"
#include "SdlVideo.h"
#include "Utf8Text.h"
#include "WindowTable.h"
#include "kernel32/FaultPoint.h"

#include <winuser.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace nvesk::user32 {
namespace {

// Windows' value, which winerror.h does not carry.
constexpr DWORD kErrorInvalidMessageBoxStyle = 1158;

struct Button {
    int id;
    const char* label;
};

std::vector<Button> ButtonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {{IDOK, "OK"}};
    case MB_OKCANCEL:
        return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL:
        return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    case MB_CANCELTRYCONTINUE:
        return {{IDCANCEL, "Cancel"}, {IDTRYAGAIN, "Try Again"}, {IDCONTINUE, "Continue"}};
    default:
        return {};
    }
}

Uint32 IconFlags(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING:
        return SDL_MESSAGEBOX_WARNING;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:
        return SDL_MESSAGEBOX_INFORMATION;
    default:
        return 0;
    }
}

// What the user is told where no box can be shown: a box that never appears would leave the text
// nowhere (the box that says the log cannot be opened, for one).
int WriteToStderr(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return IDOK;
}

// The answer, or nothing when SDL could not show the box.
std::optional<int> ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type,
                           const std::vector<Button>& buttons) {
    const std::size_t defaultIndex = std::min<std::size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    std::vector<SDL_MessageBoxButtonData> data;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        Uint32 flags = 0;
        if (i == defaultIndex) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        // Escape answers Cancel where there is one, as in Windows; a lone OK too.
        if (buttons[i].id == IDCANCEL || buttons.size() == 1) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back(SDL_MessageBoxButtonData {flags, buttons[i].id, buttons[i].label});
    }
    SDL_MessageBoxData box {};
    box.flags = IconFlags(type);
    box.window = NativeWindow(owner);
    box.title = caption.c_str();
    box.message = text.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int pressed = 0;
    if (nvesk::kernel32::TakeFault("SDL_ShowMessageBox")) {
        std::fprintf(stderr, "user32: SDL cannot show a message box (an injected failure)\n");
        return std::nullopt;
    }
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        std::fprintf(stderr, "user32: SDL cannot show a message box (%s)\n", SDL_GetError());
        return std::nullopt;
    }
    // Closing the box without a button (window manager) answers as Escape does.
    if (pressed == -1) pressed = buttons.size() == 1 ? buttons[0].id : IDCANCEL;
    return pressed;
}

}  // namespace
}  // namespace nvesk::user32

extern "C" int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    using namespace nvesk::user32;
    if (hWnd != nullptr && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::vector<Button> buttons = ButtonsFor(uType);
    if (buttons.empty()) {
        SetLastError(kErrorInvalidMessageBoxStyle);
        return 0;
    }
    const std::wstring caption = lpCaption != nullptr ? lpCaption : L"Error";
    const std::wstring text = lpText != nullptr ? lpText : L"";
    if (const std::optional<int> answer = MessageBoxLog::Record(MessageBoxRecord {hWnd, text, caption, uType})) {
        return *answer;
    }
    const std::string caption8 = ToUtf8(caption.c_str());
    const std::string text8 = ToUtf8(text.c_str());
    if (!DisplayVisible()) return WriteToStderr(text8, caption8);
    const std::optional<int> pressed = ShowBox(hWnd, text8, caption8, uType, buttons);
    return pressed ? *pressed : WriteToStderr(text8, caption8);
}
