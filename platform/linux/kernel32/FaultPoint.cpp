#include "FaultPoint.h"

#include <atomic>

namespace nvesk::kernel32 {
namespace {
std::atomic<FaultSource> g_source {nullptr};
}

void SetFaultSource(FaultSource source) {
    g_source = source;
}

bool TakeFault(const char* operation) {
    const FaultSource source = g_source.load(std::memory_order_relaxed);
    HRESULT result = S_OK;
    if (source == nullptr || !source(operation, &result)) return false;
    const bool win32 = HRESULT_FACILITY(result) == FACILITY_WIN32 && result < 0;
    SetLastError(win32 ? static_cast<DWORD>(HRESULT_CODE(result)) : static_cast<DWORD>(result));
    return true;
}

}  // namespace nvesk::kernel32
