#include "PlatformTesting/MessageBoxes.h"

#include "../user32/MessageBoxLog.h"

namespace PlatformTesting {

using nvesk::user32::MessageBoxLog;

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    MessageBoxLog::StartRecording(answer);
}

MessageBoxRecorder::~MessageBoxRecorder() {
    MessageBoxLog::StopRecording();
}

std::vector<RecordedMessageBox> MessageBoxRecorder::Boxes() const {
    std::vector<RecordedMessageBox> boxes;
    for (const nvesk::user32::MessageBoxRecord& record : MessageBoxLog::Records()) {
        boxes.push_back(RecordedMessageBox {record.owner, record.text, record.caption, record.style});
    }
    return boxes;
}

}  // namespace PlatformTesting
