#include "HandleTable.h"

#include "FaultPoint.h"

#include <mutex>
#include <unordered_map>

namespace nvesk::kernel32 {

namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<HANDLE, std::unique_ptr<KernelObject>> objects;
};

Table& TheTable() {
    static Table* table = new Table;  // never destroyed: handles may be closed during static destruction
    return *table;
}

}  // namespace

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
    Table& table = TheTable();
    const std::lock_guard<std::mutex> lock(table.mutex);
    HANDLE handle = object.get();
    table.objects.emplace(handle, std::move(object));
    return handle;
}

KernelObject* LookupHandle(HANDLE handle) {
    Table& table = TheTable();
    const std::lock_guard<std::mutex> lock(table.mutex);
    const auto it = table.objects.find(handle);
    return it == table.objects.end() ? nullptr : it->second.get();
}

std::unique_ptr<KernelObject> TakeHandle(HANDLE handle) {
    Table& table = TheTable();
    const std::lock_guard<std::mutex> lock(table.mutex);
    const auto it = table.objects.find(handle);
    if (it == table.objects.end()) return nullptr;
    std::unique_ptr<KernelObject> object = std::move(it->second);
    table.objects.erase(it);
    return object;
}

}  // namespace nvesk::kernel32

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    // A close that fails leaves the handle open, as a failed close on Windows may.
    if (nvesk::kernel32::TakeFault("CloseHandle")) return FALSE;
    // INVALID_HANDLE_VALUE is also the current process's pseudo-handle, which closes without effect.
    if (hObject == INVALID_HANDLE_VALUE) return TRUE;
    std::unique_ptr<nvesk::kernel32::KernelObject> object = nvesk::kernel32::TakeHandle(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Close() ? TRUE : FALSE;
}
