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
    m_arrived.notify_all();
    WakeVideoThread();
}

void MessageQueue::Post(const MSG& message) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_posted.push_back(message);
    }
    Notify();
}

void MessageQueue::PostInput(const MSG& message) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_input.push_back(message);
    }
    Notify();
}

void MessageQueue::Send(const SentMessage& message) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_sent.push_back(message);
    }
    Notify();
}

void MessageQueue::PostQuit(int exitCode) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
        m_exitCode = exitCode;
    }
    Notify();
}

std::optional<SentMessage> MessageQueue::TakeSent() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_sent.empty()) return std::nullopt;
    const SentMessage message = m_sent.front();
    m_sent.pop_front();
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
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (TakeFrom(m_posted, message, filter, first, last, remove)) return true;
    if (TakeFrom(m_input, message, filter, first, last, remove)) return true;
    if (!m_quit) return false;
    message = Stamp(nullptr, WM_QUIT, static_cast<WPARAM>(m_exitCode), 0);
    if (remove) m_quit = false;
    return true;
}

void MessageQueue::RemoveWindowMessages(HWND window) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto forWindow = [window](const MSG& message) { return message.hwnd == window; };
    m_posted.erase(std::remove_if(m_posted.begin(), m_posted.end(), forWindow), m_posted.end());
    m_input.erase(std::remove_if(m_input.begin(), m_input.end(), forWindow), m_input.end());
    m_sent.erase(std::remove_if(m_sent.begin(), m_sent.end(),
                                [window](const SentMessage& message) { return message.window == window; }),
                 m_sent.end());
}

void MessageQueue::WaitForMessage() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_arrived.wait(lock, [this] { return !m_sent.empty() || !m_posted.empty() || !m_input.empty() || m_quit; });
}

void MessageQueue::TrackKeys(const MSG& message) {
    const BYTE key = static_cast<BYTE>(message.wParam);
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if ((m_keys[key] & 0x80) == 0) m_keys[key] ^= 0x01;
        m_keys[key] |= 0x80;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        m_keys[key] &= static_cast<BYTE>(~0x80);
        break;
    default:
        break;
    }
}

BYTE MessageQueue::KeyState(BYTE virtualKey) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_keys[virtualKey];
}

}  // namespace nvesk::user32
