// Test hook: while a recorder lives, MessageBoxW shows nothing; it records each box and returns
// the recorder's answer at once.
#pragma once

#include <windows.h>
#include <winuser.h>

#include <string>
#include <vector>

namespace PlatformTesting {

struct RecordedMessageBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};

class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<RecordedMessageBox> Boxes() const;
};

}  // namespace PlatformTesting
