#include "Diagnostics.h"

#include "Object.h"

#include <d3d9.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace nvesk::com {
namespace {

struct State {
    std::mutex mutex;
    std::string lastRefusal;
    bool capturing = false;
    std::string captured;
};

State& TheState() {
    // Never destroyed: refusals and the leak report may come from static destructors.
    static State* state = new State();
    return *state;
}

void RecordRefusal(const char* format, va_list arguments) {
    char rule[512];
    std::vsnprintf(rule, sizeof rule, format, arguments);
    const char* operation = CurrentOperation();
    std::string reason = operation != nullptr ? std::string(operation) + ": " + rule : std::string(rule);
    {
        State& state = TheState();
        std::lock_guard<std::mutex> guard(state.mutex);
        state.lastRefusal = reason;
    }
    WriteDebugLine("refused " + reason);
}

}  // namespace

HRESULT Refuse(HRESULT code, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    RecordRefusal(format, arguments);
    va_end(arguments);
    return code;
}

HRESULT Reject(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    RecordRefusal(format, arguments);
    va_end(arguments);
    return D3DERR_INVALIDCALL;
}

std::string LastRefusal() {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.mutex);
    return state.lastRefusal;
}

void ClearLastRefusal() {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.lastRefusal.clear();
}

bool DebugOutputEnabled() {
    // Read at each use (refusals are rare), so a child process or a test may set it late.
    const char* value = std::getenv("NVESK_PLATFORM_DEBUG");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void WriteDebugLine(const std::string& line) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.capturing) {
        state.captured += line;
        state.captured += '\n';
    }
    if (DebugOutputEnabled()) {
        std::fprintf(stderr, "NVesk platform: %s\n", line.c_str());
    }
}

void CaptureDebugOutput(bool on) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.capturing = on;
    state.captured.clear();
}

std::string CapturedDebugOutput() {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.mutex);
    return state.captured;
}

}  // namespace nvesk::com
