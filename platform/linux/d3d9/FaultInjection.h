// Failures injected by tests into named Direct3D operations.
#pragma once

#include <windows.h>

namespace nvesk::d3d9 {

// The next `count` calls of `operation` fail with `result`; count 0 disarms.
void InjectFailure(const char* operation, HRESULT result, int count);
void ClearInjectedFailures();

// true (and *result set) when a failure is armed for this call of `operation`.
bool TakeInjectedFailure(const char* operation, HRESULT* result);

}  // namespace nvesk::d3d9
