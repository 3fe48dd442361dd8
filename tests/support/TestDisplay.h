// Tests that open windows need an X display to themselves: two windows on one display take the focus
// from each other, and a renderer that loses the focus rightly stops drawing. tools/run-tests.sh
// starts several X servers and tells CTest about them; CTest hands each display test one of them.
// Run any other way (ctest -j by hand), display tests on one display take turns through a lock.
#pragma once

#include <optional>
#include <string>

namespace TestSupport {

// The X display named by CTest's allotment ("id:99,slots:1" gives ":99"), or nothing when the
// allotment is absent or not of that form.
std::optional<std::string> AllottedDisplay(const char* allotment);

// For a display test (NVESK_TEST_NEEDS_DISPLAY set by CTest): points DISPLAY at the X server CTest
// allotted, or else waits until no other display test of ours uses the current display and keeps it
// until the process ends. Child processes inherit what was settled.
void TakeTheDisplay();

}  // namespace TestSupport
