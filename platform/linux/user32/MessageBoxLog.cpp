#include "MessageBoxLog.h"

#include <mutex>

namespace nvesk::user32 {
namespace {

struct LogState {
    std::mutex mutex;
    bool recording = false;
    int answer = 0;
    std::vector<MessageBoxRecord> records;
};

LogState& State() {
    static LogState state;
    return state;
}

}  // namespace

void MessageBoxLog::StartRecording(int answer) {
    LogState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.recording = true;
    state.answer = answer;
    state.records.clear();
}

void MessageBoxLog::StopRecording() {
    LogState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.recording = false;
    state.records.clear();
}

std::vector<MessageBoxRecord> MessageBoxLog::Records() {
    LogState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.records;
}

std::optional<int> MessageBoxLog::Record(const MessageBoxRecord& box) {
    LogState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.recording) return std::nullopt;
    state.records.push_back(box);
    return state.answer;
}

}  // namespace nvesk::user32
