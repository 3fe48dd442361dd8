#include <PlatformTesting/Faults.h>

#include "com/FaultInjection.h"
#include "kernel32/FaultPoint.h"

namespace PlatformTesting {

namespace {
// kernel32 and user32 take their failures and counts from the same registry once a test uses it.
void ConnectKernel() {
    nvesk::kernel32::SetFaultSource(&nvesk::com::TakeInjectedFailure);
}
}  // namespace

void FailNextCalls(const char* operation, HRESULT result, int count, int passingFirst) {
    ConnectKernel();
    nvesk::com::InjectFailure(operation, result, count, passingFirst);
}

void ClearFailures() {
    nvesk::com::ClearInjectedFailures();
}

CallCounter::CallCounter() {
    ConnectKernel();
    nvesk::com::CountCalls(true);
}

CallCounter::~CallCounter() {
    nvesk::com::CountCalls(false);
}

int CallCounter::Count(const char* operation) const {
    return nvesk::com::CallCount(operation);
}

std::map<std::string, int> CallCounter::Counts() const {
    return nvesk::com::CallCounts();
}

}  // namespace PlatformTesting
