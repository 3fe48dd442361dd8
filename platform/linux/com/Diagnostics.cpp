#include "Diagnostics.h"

#include "Object.h"

#include <d3d9.h>

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

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

double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 > text.size()) return 0.0;
    // Field 22 (start time in clock ticks after boot), counted from field 3 after the command name.
    std::istringstream fields(text.substr(nameEnd + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        fields >> field;
    char* end = nullptr;
    const double ticks = std::strtod(field.c_str(), &end);
    if (field.empty() || *end != '\0') return 0.0;
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

namespace {

std::atomic<double>& FirstFramePresented() {
    static std::atomic<double> seconds {-1.0};
    return seconds;
}

std::atomic<double>& FirstFrameMonotonic() {
    static std::atomic<double> seconds {-1.0};
    return seconds;
}

std::atomic<double>& FirstFrameProcessor() {
    static std::atomic<double> seconds {-1.0};
    return seconds;
}

double Seconds(clockid_t clock) {
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

}  // namespace

void NoteFramePresented() {
    static std::atomic<bool> noted {false};
    if (noted.exchange(true)) return;
    FirstFrameMonotonic() = Seconds(CLOCK_MONOTONIC);
    FirstFrameProcessor() = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    const double seconds = SecondsSinceProcessStart();
    FirstFramePresented() = seconds;
    char line[96];
    std::snprintf(line, sizeof line, "start-up: first frame presented %.0f ms after the process started",
                  seconds * 1000.0);
    WriteDebugLine(line);
}

double FirstFramePresentedSeconds() {
    return FirstFramePresented();
}

double FirstFramePresentedMonotonic() {
    return FirstFrameMonotonic();
}

double FirstFramePresentedProcessorSeconds() {
    return FirstFrameProcessor();
}

}  // namespace nvesk::com
