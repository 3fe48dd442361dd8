// Failures that tests inject into kernel32 and user32 operations ("CreateFileW", "ReadFile",
// "CreateWindowExW", ...), taken from the same armed failures and call counts as the COM layers'.
#pragma once

#include <windows.h>

namespace nvesk::kernel32 {

// Where armed failures come from: true, with *result set, when this call of `operation` fails.
// The testing hooks install it; without one no call fails and none is counted.
using FaultSource = bool (*)(const char* operation, HRESULT* result);
void SetFaultSource(FaultSource source);

// An operation's entry: true when its call is to fail, with the last error set to the armed
// result's Win32 code (HRESULT_FROM_WIN32 values give their code back; others are set as they are).
bool TakeFault(const char* operation);

}  // namespace nvesk::kernel32
