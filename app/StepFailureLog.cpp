#include "app/StepFailureLog.h"

#include "lib/Logger.h"

void StepFailureLog::Failed(const std::wstring& line) {
    if (failing_) return;
    failing_ = true;
    NLib::Logger::Write(line, true);
}
