// kernel32 file handles on POSIX file descriptors, with Windows' share-mode rules
// enforced between the opens of this process.
#include <windows.h>

#include "ErrorMapping.h"
#include "FaultPoint.h"
#include "HandleTable.h"
#include "Utf16.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <mutex>
#include <vector>

namespace nvesk::kernel32 {

namespace {

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
};

struct OpenRecord {
    FileIdentity identity;
    bool reads;
    bool writes;
    DWORD shareMode;
    const void* owner;
};

// The share modes of every file open in this process.
class ShareRegistry {
public:
    bool TryAdd(const OpenRecord& record) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const OpenRecord& open : opens_) {
            if (!(open.identity == record.identity)) continue;
            const bool refusedByOld = (record.reads && !(open.shareMode & FILE_SHARE_READ)) ||
                                      (record.writes && !(open.shareMode & FILE_SHARE_WRITE));
            const bool refusedByNew = (open.reads && !(record.shareMode & FILE_SHARE_READ)) ||
                                      (open.writes && !(record.shareMode & FILE_SHARE_WRITE));
            if (refusedByOld || refusedByNew) return false;
        }
        opens_.push_back(record);
        return true;
    }

    void Remove(const void* owner) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = opens_.begin(); it != opens_.end(); ++it) {
            if (it->owner == owner) {
                opens_.erase(it);
                return;
            }
        }
    }

private:
    std::mutex mutex_;
    std::vector<OpenRecord> opens_;
};

ShareRegistry& Shares() {
    static ShareRegistry* registry = new ShareRegistry;  // outlives static destruction, like the handle table
    return *registry;
}

class FileObject final : public KernelObject {
public:
    FileObject(int fd, bool canRead, bool canWrite) : fd_(fd), canRead_(canRead), canWrite_(canWrite) {}

    bool Close() override {
        Shares().Remove(this);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            SetLastError(WindowsErrorFromErrno(errno));
            return false;
        }
        return true;
    }

    int Descriptor() const { return fd_; }
    bool CanRead() const { return canRead_; }
    bool CanWrite() const { return canWrite_; }

private:
    int fd_;
    bool canRead_;
    bool canWrite_;
};

FileObject* LookupFile(HANDLE handle) {
    auto* file = dynamic_cast<FileObject*>(LookupHandle(handle));
    if (file == nullptr) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

// A missing file in an existing folder is "file not found"; a missing folder is "path not found".
DWORD MissingPathError(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
    struct stat info {};
    const std::string folder = path.substr(0, slash);
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

DWORD OpenError(int error, const std::string& path) {
    return error == ENOENT ? MissingPathError(path) : WindowsErrorFromErrno(error);
}

std::string NativePath(LPCWSTR fileName, bool& ok) {
    std::string path;
    ok = Utf16ToUtf8(fileName, path);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

}  // namespace

}  // namespace nvesk::kernel32

using namespace nvesk::kernel32;

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                     HANDLE) {
    if (TakeFault("CreateFileW")) return INVALID_HANDLE_VALUE;
    if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const bool reads = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
    const bool writes = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    if (dwCreationDisposition == TRUNCATE_EXISTING && !writes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool nameOk = false;
    const std::string path = NativePath(lpFileName, nameOk);
    if (!nameOk) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    const int accessFlags = (reads && writes) ? O_RDWR : (writes ? O_WRONLY : O_RDONLY);
    const int baseFlags = accessFlags | O_CLOEXEC;
    const mode_t createMode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    int fd = -1;
    bool existed = false;
    switch (dwCreationDisposition) {
    case CREATE_NEW:
        fd = ::open(path.c_str(), baseFlags | O_CREAT | O_EXCL, createMode);
        break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING:
        fd = ::open(path.c_str(), baseFlags);
        existed = fd >= 0;
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        // Open first so that we know whether the file was there (error 183 on success).
        for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
            fd = ::open(path.c_str(), baseFlags);
            if (fd >= 0) {
                existed = true;
            } else if (errno == ENOENT) {
                fd = ::open(path.c_str(), baseFlags | O_CREAT | O_EXCL, createMode);
                if (fd < 0 && errno != EEXIST) break;
            } else {
                break;
            }
        }
        break;
    }
    if (fd < 0) {
        SetLastError(OpenError(errno, path));
        return INVALID_HANDLE_VALUE;
    }

    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    auto file = std::make_unique<FileObject>(fd, reads, writes);
    if (!Shares().TryAdd({{info.st_dev, info.st_ino}, reads, writes, dwShareMode, file.get()})) {
        ::close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    const bool truncates =
        dwCreationDisposition == TRUNCATE_EXISTING || (dwCreationDisposition == CREATE_ALWAYS && existed);
    if (truncates && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        file->Close();
        SetLastError(WindowsErrorFromErrno(error));
        return INVALID_HANDLE_VALUE;
    }

    HANDLE handle = RegisterHandle(std::move(file));
    const bool reportsExisting =
        existed && (dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                                LPOVERLAPPED lpOverlapped) {
    if (TakeFault("ReadFile")) {
        if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
        return FALSE;
    }
    FileObject* file = LookupFile(hFile);
    if (file == nullptr) return FALSE;
    if (lpNumberOfBytesRead == nullptr || lpOverlapped != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Windows probes the buffer: a missing one is an access fault, not a bad parameter.
    if (lpBuffer == nullptr && nNumberOfBytesToRead > 0) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpNumberOfBytesRead = 0;
    if (!file->CanRead()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto* out = static_cast<unsigned char*>(lpBuffer);
    DWORD total = 0;
    while (total < nNumberOfBytesToRead) {
        const ssize_t n = ::read(file->Descriptor(), out + total, nNumberOfBytesToRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            *lpNumberOfBytesRead = total;
            SetLastError(WindowsErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0) break;  // end of file: success with fewer bytes
        total += static_cast<DWORD>(n);
    }
    *lpNumberOfBytesRead = total;
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (TakeFault("WriteFile")) {
        if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
        return FALSE;
    }
    FileObject* file = LookupFile(hFile);
    if (file == nullptr) return FALSE;
    if (lpNumberOfBytesWritten == nullptr || lpOverlapped != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Windows probes the buffer: a missing one is an access fault, not a bad parameter.
    if (lpBuffer == nullptr && nNumberOfBytesToWrite > 0) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpNumberOfBytesWritten = 0;
    if (!file->CanWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const auto* in = static_cast<const unsigned char*>(lpBuffer);
    DWORD total = 0;
    while (total < nNumberOfBytesToWrite) {
        const ssize_t n = ::write(file->Descriptor(), in + total, nNumberOfBytesToWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            *lpNumberOfBytesWritten = total;
            SetLastError(WindowsErrorFromErrno(errno));
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    *lpNumberOfBytesWritten = total;
    return TRUE;
}

extern "C" BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                                        DWORD dwMoveMethod) {
    if (TakeFault("SetFilePointerEx")) return FALSE;
    FileObject* file = LookupFile(hFile);
    if (file == nullptr) return FALSE;
    off_t base = 0;
    switch (dwMoveMethod) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = ::lseek(file->Descriptor(), 0, SEEK_CUR);
        break;
    case FILE_END: {
        struct stat info {};
        base = ::fstat(file->Descriptor(), &info) == 0 ? info.st_size : -1;
        break;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (base < 0) {
        SetLastError(WindowsErrorFromErrno(errno));
        return FALSE;
    }
    const LONGLONG distance = liDistanceToMove.QuadPart;
    if (distance < 0 && (distance == INT64_MIN || base < -distance)) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return FALSE;
    }
    if (distance > 0 && static_cast<LONGLONG>(base) > INT64_MAX - distance) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const off_t target = static_cast<off_t>(base + distance);
    if (::lseek(file->Descriptor(), target, SEEK_SET) < 0) {
        SetLastError(WindowsErrorFromErrno(errno));
        return FALSE;
    }
    if (lpNewFilePointer != nullptr) lpNewFilePointer->QuadPart = target;
    return TRUE;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    if (TakeFault("GetFileSizeEx")) return FALSE;
    FileObject* file = LookupFile(hFile);
    if (file == nullptr) return FALSE;
    if (lpFileSize == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat info {};
    if (::fstat(file->Descriptor(), &info) != 0) {
        SetLastError(WindowsErrorFromErrno(errno));
        return FALSE;
    }
    lpFileSize->QuadPart = info.st_size;
    return TRUE;
}
