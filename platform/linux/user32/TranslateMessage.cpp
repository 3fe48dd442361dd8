// TranslateMessage: a key-down message gets the character it types posted after it, from the key's
// symbol on the keyboard layout and the thread's Shift, Caps Lock and Ctrl state (US shifted symbols).
#include "KeyboardLayout.h"
#include "MessageQueue.h"

#include <winuser.h>

#include <cstring>

namespace nvesk::user32 {
namespace {

WCHAR ShiftedUs(WCHAR symbol) {
    static const char kPlain[] = "1234567890-=[]\\;',./`";
    static const char kShifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    const char* found = symbol < 0x80 ? std::strchr(kPlain, static_cast<char>(symbol)) : nullptr;
    return found != nullptr && *found != '\0' ? static_cast<WCHAR>(kShifted[found - kPlain]) : symbol;
}

WCHAR KeypadCharacter(BYTE virtualKey) {
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return static_cast<WCHAR>(L'0' + (virtualKey - VK_NUMPAD0));
    switch (virtualKey) {
    case VK_MULTIPLY:
        return L'*';
    case VK_ADD:
        return L'+';
    case VK_SUBTRACT:
        return L'-';
    case VK_DIVIDE:
        return L'/';
    case VK_DECIMAL:
        return L'.';
    default:
        return 0;
    }
}

// The character a key types, or 0 for a key that types none.
WCHAR CharacterFor(const MessageQueue& queue, BYTE virtualKey, BYTE dik) {
    switch (virtualKey) {
    case VK_BACK:
        return 0x08;
    case VK_TAB:
        return L'\t';
    case VK_RETURN:
        return L'\r';
    case VK_ESCAPE:
        return 0x1B;
    case VK_SPACE:
        return L' ';
    default:
        break;
    }
    if (const WCHAR keypad = KeypadCharacter(virtualKey)) return keypad;
    const SDL_Keycode symbol = SDL_GetKeyFromScancode(ScancodeFromDik(dik));
    if (symbol < 0x21 || symbol > 0x7E) return 0;
    const bool shift = (queue.KeyState(VK_SHIFT) & 0x80) != 0;
    const bool capsLock = (queue.KeyState(VK_CAPITAL) & 0x01) != 0;
    const bool control = (queue.KeyState(VK_CONTROL) & 0x80) != 0;
    WCHAR character = static_cast<WCHAR>(symbol);
    if (character >= L'a' && character <= L'z') {
        if (control) return static_cast<WCHAR>(character - L'a' + 1);
        return shift != capsLock ? static_cast<WCHAR>(character - L'a' + L'A') : character;
    }
    if (control) return 0;
    return shift ? ShiftedUs(character) : character;
}

}  // namespace
}  // namespace nvesk::user32

extern "C" BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg == nullptr) return FALSE;
    const UINT message = lpMsg->message;
    if (message == WM_KEYUP || message == WM_SYSKEYUP) return TRUE;
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return FALSE;
    const BYTE scanCode = static_cast<BYTE>((lpMsg->lParam >> 16) & 0x7F);
    const BYTE dik = static_cast<BYTE>(scanCode | (((lpMsg->lParam >> 24) & 1) != 0 ? 0x80 : 0));
    nvesk::user32::MessageQueue& queue = *nvesk::user32::MessageQueue::Current();
    const WCHAR character = nvesk::user32::CharacterFor(queue, static_cast<BYTE>(lpMsg->wParam), dik);
    if (character != 0) {
        const UINT characterMessage = message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        queue.Post(nvesk::user32::MessageQueue::Stamp(lpMsg->hwnd, characterMessage, character, lpMsg->lParam));
    }
    return TRUE;
}
