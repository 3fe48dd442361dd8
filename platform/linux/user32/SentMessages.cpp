#include "SentMessages.h"

#include "WindowTable.h"

namespace nvesk::user32 {

LRESULT SendNow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* target = WindowTable::Instance().Find(window);
    if (target == nullptr) return 0;
    if (!target->OwnedByCallingThread()) {
        SendLater(window, message, wParam, lParam);
        return 0;
    }
    return target->Procedure()(window, message, wParam, lParam);
}

void SendLater(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<MessageQueue> queue = WindowTable::Instance().QueueOf(window);
    if (queue != nullptr) queue->Send(SentMessage {window, message, wParam, lParam});
}

void DeliverSentMessages(MessageQueue& queue) {
    while (const std::optional<SentMessage> sent = queue.TakeSent()) {
        const Window* target = WindowTable::Instance().Find(sent->window);
        if (target != nullptr) target->Procedure()(sent->window, sent->message, sent->wParam, sent->lParam);
    }
}

}  // namespace nvesk::user32
