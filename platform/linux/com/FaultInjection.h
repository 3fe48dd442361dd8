// Failures injected by tests into named platform operations ("IDirect3DDevice9::CreateTexture",
// "D3DXCreateTextureFromFileExW", "IDirectInputDevice8W::Acquire", ...), and per-operation call
// counts while a test counts them. Shared by the Direct3D 9, D3DX 9 and DirectInput 8 layers.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace nvesk::com {

// After `passing` more calls of `operation` succeed, the next `count` fail with `result`; count 0 disarms.
void InjectFailure(const char* operation, HRESULT result, int count, int passing = 0);
void ClearInjectedFailures();

// Every operation's entry: counts the call (while counting) and returns true, with *result set,
// when a failure is armed for this call.
bool TakeInjectedFailure(const char* operation, HRESULT* result);

// Call counting is off until a test turns it on; turning it on starts every count from 0.
void CountCalls(bool on);
int CallCount(const char* operation);
// Every operation called since counting began, with its count.
std::map<std::string, int> CallCounts();

}  // namespace nvesk::com
