// Registry calls, passed straight to advapi32.
#include "platform/Registry.h"

LONG platform::RegOpenKeyA(HKEY hive, LPCSTR subKey, PHKEY key)
{
    return ::RegOpenKeyA(hive, subKey, key);
}

LONG platform::RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD size)
{
    return ::RegQueryValueExA(key, valueName, reserved, type, data, size);
}

LONG platform::RegCloseKey(HKEY key)
{
    return ::RegCloseKey(key);
}
