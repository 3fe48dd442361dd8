// One thread's message queue, retrieved in Windows' order: messages sent from outside the thread's
// own calls first (delivered to the window procedure inside the next message call), then posted
// messages, then WM_QUIT once no posted message the caller asked for is left (whatever the filter),
// then input.
#pragma once

#include <windows.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace nvesk::user32 {

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageQueue {
public:
    // The calling thread's queue, made on first use.
    static const std::shared_ptr<MessageQueue>& Current();

    // A message stamped with the current time and cursor position.
    static MSG Stamp(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Windows' default limit on a queue's posted messages.
    static constexpr std::size_t kPostedMessageLimit = 10000;

    // False when the queue already holds kPostedMessageLimit posted messages.
    bool Post(const MSG& message);
    void PostInput(const MSG& message);
    void Send(const SentMessage& message);
    void PostQuit(int exitCode);

    std::optional<SentMessage> TakeSent();
    // Retrieves the next message the filter admits (Windows' hWnd and range rules).
    bool Take(MSG& message, HWND filter, UINT first, UINT last, bool remove);
    // A destroyed window's messages go with it.
    void RemoveWindowMessages(HWND window);

    // Blocks until something arrives; for threads without SDL video.
    void WaitForMessage();

    // The thread's key state as of the key messages retrieved so far (bit 7 down, bit 0 toggled).
    BYTE KeyState(BYTE virtualKey) const;

private:
    bool Admits(const MSG& message, HWND filter, UINT first, UINT last) const;
    bool TakeFrom(std::deque<MSG>& messages, MSG& message, HWND filter, UINT first, UINT last, bool remove);
    void TrackKeys(const MSG& message);
    void Notify();

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<SentMessage> sent_;
    std::deque<MSG> posted_;
    std::deque<MSG> input_;
    bool quit_ = false;
    int exitCode_ = 0;
    std::array<BYTE, 256> keys_ {};
};

}  // namespace nvesk::user32
