// Messages sent to a window procedure: at once when the caller is the window's own thread inside
// one of its calls, otherwise inside that thread's next message call.
#pragma once

#include "MessageQueue.h"

namespace nvesk::user32 {

// Calls the window procedure now from the window's own thread; from elsewhere it queues the
// message and returns 0. A window that is gone gets nothing and gives 0.
LRESULT SendNow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queues the message for the window's thread's next message call, even from that thread.
void SendLater(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the window procedures for the messages waiting in the queue.
void DeliverSentMessages(MessageQueue& queue);

}  // namespace nvesk::user32
