// The failure line of a step that may run every frame: a held scene key restores its scene at each
// update, and a missing file would otherwise write the same line some sixty times a second. The
// line is written when the step fails, and again only after the same step has succeeded in between.
#pragma once

#include <string>

class StepFailureLog {
public:
    // Writes `line` to the log, flushed, unless the step's last outcome was a failure too.
    void Failed(const std::wstring& line);
    // The step's next failure is written again.
    void Succeeded() { failing_ = false; }

private:
    bool failing_ = false;
};
