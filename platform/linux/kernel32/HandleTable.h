// The process's kernel object handles: a HANDLE is valid only while it is in this table.
#pragma once

#include <windows.h>

#include <memory>

namespace nvesk::kernel32 {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Releases the object's system resources; false when the system refused.
    virtual bool Close() = 0;
};

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);

// Looks a handle up; null for NULL, INVALID_HANDLE_VALUE and handles never issued or already closed.
KernelObject* LookupHandle(HANDLE handle);

// Removes the handle from the table and returns its object; null if it was not valid.
std::unique_ptr<KernelObject> TakeHandle(HANDLE handle);

}  // namespace nvesk::kernel32
