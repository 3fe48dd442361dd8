// Test hook state: while recording, MessageBoxW keeps each box here and answers at once instead of
// showing it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace nvesk::user32 {

struct MessageBoxRecord {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};

class MessageBoxLog {
public:
    static void StartRecording(int answer);
    static void StopRecording();
    static std::vector<MessageBoxRecord> Records();
    // The answer when recording (the box is then kept); nothing when boxes are really shown.
    static std::optional<int> Record(const MessageBoxRecord& box);
};

}  // namespace nvesk::user32
