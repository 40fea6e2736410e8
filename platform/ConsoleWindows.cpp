#include "platform/Console.h"

#include <cstdio>
#include <windows.h>

namespace {

bool isConnected(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void UseParentConsole() {
    if (isConnected(STD_OUTPUT_HANDLE) && isConnected(STD_ERROR_HANDLE))
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!isConnected(STD_OUTPUT_HANDLE))
        std::freopen("CONOUT$", "w", stdout);
    if (!isConnected(STD_ERROR_HANDLE))
        std::freopen("CONOUT$", "w", stderr);
}
