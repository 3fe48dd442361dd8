// The thread message queue: posting, retrieval in Windows' order, and dispatch.
#include "MessageQueue.h"
#include "NativeWindow.h"
#include "SdlVideo.h"
#include "SentMessages.h"
#include "WindowTable.h"

#include <winuser.h>

namespace nvesk::user32 {
namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

bool ValidFilter(HWND filter) {
    if (filter == nullptr || filter == kThreadMessagesOnly || WindowTable::Instance().Find(filter) != nullptr) {
        return true;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

// One look at the queue: sent messages are delivered, the system's events translated, and the
// first message the filter admits is returned.
bool Retrieve(MSG& message, HWND filter, UINT first, UINT last, bool remove) {
    MessageQueue& queue = *MessageQueue::Current();
    DeliverSentMessages(queue);
    PumpPlatformEvents();
    DeliverSentMessages(queue);
    return queue.Take(message, filter, first, last, remove);
}

void WaitForMessage() {
    if (OnVideoThread()) {
        // Any SDL event or a post from another thread (which pushes a wake-up event) ends the wait.
        SDL_WaitEvent(nullptr);
    } else {
        MessageQueue::Current()->WaitForMessage();
    }
}

}  // namespace
}  // namespace nvesk::user32

using nvesk::user32::MessageQueue;
using nvesk::user32::WindowTable;

extern "C" BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<MessageQueue> queue =
        hWnd == nullptr ? MessageQueue::Current() : WindowTable::Instance().QueueOf(hWnd);
    if (queue == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!queue->Post(MessageQueue::Stamp(hWnd, Msg, wParam, lParam))) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    return TRUE;
}

extern "C" void WINAPI PostQuitMessage(int nExitCode) {
    MessageQueue::Current()->PostQuit(nExitCode);
}

extern "C" BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!nvesk::user32::ValidFilter(hWnd)) return FALSE;
    return nvesk::user32::Retrieve(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0) ? TRUE
                                                                                                              : FALSE;
}

extern "C" BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!nvesk::user32::ValidFilter(hWnd)) return -1;
    while (!nvesk::user32::Retrieve(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
        nvesk::user32::WaitForMessage();
    }
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

extern "C" LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
    const nvesk::user32::Window* window = WindowTable::Instance().Find(lpMsg->hwnd);
    if (window == nullptr || !window->OwnedByCallingThread()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return window->Procedure()(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}
