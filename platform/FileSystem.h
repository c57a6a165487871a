#pragma once
// The narrow file-system calls the repair and the walk make, under their
// Windows names, forwarded to kernel32.
#include <windows.h>

namespace platform {

BOOL GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID record);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA entry);
BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA entry);
BOOL FindClose(HANDLE search);

}  // namespace platform
