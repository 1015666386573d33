// Pages and files on a Windows host. Renaming onto an existing file fails there;
// MoveFileExW with MOVEFILE_REPLACE_EXISTING replaces it.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include <vector>

#include "sim_host_memory.h"

namespace sim::host_memory {
namespace {

std::wstring wide(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 1));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, buffer.data(), length);
    return buffer.data();
}

std::string windowsError(DWORD code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

void* reserve(size_t size) { return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS); }

bool protect(void* region, size_t size, Access access) {
    DWORD flags = PAGE_NOACCESS;
    switch (access) {
        case Access::None: flags = PAGE_NOACCESS; break;
        case Access::ReadWrite: flags = PAGE_READWRITE; break;
        case Access::Read: flags = PAGE_READONLY; break;
        case Access::ReadExecute: flags = PAGE_EXECUTE_READ; break;
    }
    DWORD old = 0;
    return VirtualProtect(region, size, flags, &old) != FALSE;
}

void release(void* region, size_t) { VirtualFree(region, 0, MEM_RELEASE); }

// Windows keeps no permission bits of this kind; the new file takes the folder's defaults.
FILE* createReplacement(const std::string& path, std::string& name) {
    name = path + ".new";
    return std::fopen(name.c_str(), "wb");
}

bool syncToDisk(FILE* file) { return _commit(_fileno(file)) == 0; }

std::string moveOver(const std::string& from, const std::string& to) {
    const BOOL moved =
        MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    return moved != FALSE ? std::string() : windowsError(GetLastError());
}

void removeReplacement(const std::string& name) { (void)std::remove(name.c_str()); }

Lock lockForProcess(const std::string& path, unsigned long waitMs, std::string& why) {
    // Opened for no one else (no sharing) until the process ends, however it ends.
    const DWORD start = GetTickCount();
    for (;;) {
        const HANDLE lock = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (lock != INVALID_HANDLE_VALUE) return Lock::Held;
        const DWORD error = GetLastError();
        // A folder that takes no new file takes no new state file either.
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_WRITE_PROTECT || error == ERROR_ACCESS_DENIED) {
            return Lock::Held;
        }
        if (error != ERROR_SHARING_VIOLATION) {
            why = windowsError(error);
            return Lock::Failed;
        }
        if (GetTickCount() - start >= waitMs) return Lock::Busy;
        pause(20);
    }
}

void pause(unsigned long milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace sim::host_memory
