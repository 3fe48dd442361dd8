// Test hooks for every Direct3D 9, D3DX 9 and DirectInput 8 operation: injected failures by
// operation name ("IDirect3DDevice9::CreateTexture", "D3DXCreateTextureFromFileExW",
// "DirectInput8Create", "IDirectInput8W::CreateDevice", "IDirectInputDevice8W::Acquire", ...)
// and call counts. The file and window operations the engine calls are named too: "CreateFileW",
// "ReadFile", "WriteFile", "SetFilePointerEx", "GetFileSizeEx", "CloseHandle", "WideCharToMultiByte",
// "MultiByteToWideChar", "RegisterClassExW" and "CreateWindowExW" fail with their Windows failure value, the last error
// set to the code of an HRESULT_FROM_WIN32 result (any other result is set as it is).
// "SDL_ShowMessageBox" fails the box MessageBoxW would show, as when SDL cannot show one.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace PlatformTesting {

// After `passingFirst` more calls of `operation` succeed, the next `count` calls return `result`
// without doing anything. count 0 disarms the operation.
void FailNextCalls(const char* operation, HRESULT result, int count, int passingFirst = 0);
void ClearFailures();

// Counts the calls of every operation while it lives (one counter at a time).
class CallCounter {
public:
    CallCounter();
    ~CallCounter();
    CallCounter(const CallCounter&) = delete;
    CallCounter& operator=(const CallCounter&) = delete;

    int Count(const char* operation) const;
    // Every operation called so far, with its count.
    std::map<std::string, int> Counts() const;
};

}  // namespace PlatformTesting
