// File-system calls, passed straight to kernel32.
#include "platform/FileSystem.h"

BOOL platform::GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID record)
{
    return ::GetFileAttributesExA(path, level, record);
}

BOOL platform::SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    return ::SetFileAttributesA(path, attributes);
}

HANDLE platform::FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA entry)
{
    return ::FindFirstFileA(pattern, entry);
}

BOOL platform::FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA entry)
{
    return ::FindNextFileA(search, entry);
}

BOOL platform::FindClose(HANDLE search)
{
    return ::FindClose(search);
}
