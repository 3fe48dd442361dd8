#include <PlatformTesting/Faults.h>

#include "com/FaultInjection.h"

namespace PlatformTesting {

void FailNextCalls(const char* operation, HRESULT result, int count, int passingFirst) {
    nvesk::com::InjectFailure(operation, result, count, passingFirst);
}

void ClearFailures() {
    nvesk::com::ClearInjectedFailures();
}

CallCounter::CallCounter() {
    nvesk::com::CountCalls(true);
}

CallCounter::~CallCounter() {
    nvesk::com::CountCalls(false);
}

int CallCounter::Count(const char* operation) const {
    return nvesk::com::CallCount(operation);
}

}  // namespace PlatformTesting
