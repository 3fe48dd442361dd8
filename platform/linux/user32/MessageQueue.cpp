#include "MessageQueue.h"

#include "SdlVideo.h"

#include <winuser.h>

#include <algorithm>

namespace nvesk::user32 {

const std::shared_ptr<MessageQueue>& MessageQueue::Current() {
    thread_local const std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
    return queue;
}

MSG MessageQueue::Stamp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG stamped {};
    stamped.hwnd = window;
    stamped.message = message;
    stamped.wParam = wParam;
    stamped.lParam = lParam;
    stamped.time = GetTickCount();
    if (OnVideoThread()) {
        int x = 0;
        int y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        stamped.pt = POINT {x, y};
    }
    return stamped;
}

void MessageQueue::Notify() {
    arrived_.notify_all();
    WakeVideoThread();
}

bool MessageQueue::Post(const MSG& message) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (posted_.size() >= kPostedMessageLimit) return false;
        posted_.push_back(message);
    }
    Notify();
    return true;
}

void MessageQueue::PostInput(const MSG& message) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        input_.push_back(message);
    }
    Notify();
}

void MessageQueue::Send(const SentMessage& message) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        sent_.push_back(message);
    }
    Notify();
}

void MessageQueue::PostQuit(int exitCode) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        exitCode_ = exitCode;
    }
    Notify();
}

std::optional<SentMessage> MessageQueue::TakeSent() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (sent_.empty()) return std::nullopt;
    const SentMessage message = sent_.front();
    sent_.pop_front();
    return message;
}

bool MessageQueue::Admits(const MSG& message, HWND filter, UINT first, UINT last) const {
    const HWND threadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
    if (filter == threadMessagesOnly) {
        if (message.hwnd != nullptr) return false;
    } else if (filter != nullptr && message.hwnd != filter) {
        return false;
    }
    if (first == 0 && last == 0) return true;
    return message.message >= first && message.message <= last;
}

bool MessageQueue::TakeFrom(std::deque<MSG>& messages, MSG& message, HWND filter, UINT first, UINT last, bool remove) {
    const auto found = std::find_if(messages.begin(), messages.end(),
                                    [&](const MSG& queued) { return Admits(queued, filter, first, last); });
    if (found == messages.end()) return false;
    message = *found;
    if (remove) {
        messages.erase(found);
        TrackKeys(message);
    }
    return true;
}

bool MessageQueue::Take(MSG& message, HWND filter, UINT first, UINT last, bool remove) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (TakeFrom(posted_, message, filter, first, last, remove)) return true;
    if (quit_) {
        // Made up once no posted message is left, ahead of input and past every filter.
        message = Stamp(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode_), 0);
        if (remove) quit_ = false;
        return true;
    }
    return TakeFrom(input_, message, filter, first, last, remove);
}

void MessageQueue::RemoveWindowMessages(HWND window) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto forWindow = [window](const MSG& message) { return message.hwnd == window; };
    posted_.erase(std::remove_if(posted_.begin(), posted_.end(), forWindow), posted_.end());
    input_.erase(std::remove_if(input_.begin(), input_.end(), forWindow), input_.end());
    sent_.erase(std::remove_if(sent_.begin(), sent_.end(),
                               [window](const SentMessage& message) { return message.window == window; }),
                sent_.end());
}

void MessageQueue::WaitForMessage() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return !sent_.empty() || !posted_.empty() || !input_.empty() || quit_; });
}

void MessageQueue::TrackKeys(const MSG& message) {
    const BYTE key = static_cast<BYTE>(message.wParam);
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if ((keys_[key] & 0x80) == 0) keys_[key] ^= 0x01;
        keys_[key] |= 0x80;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        keys_[key] &= static_cast<BYTE>(~0x80);
        break;
    default:
        break;
    }
}

BYTE MessageQueue::KeyState(BYTE virtualKey) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return keys_[virtualKey];
}

}  // namespace nvesk::user32
