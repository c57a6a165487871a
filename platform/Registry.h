#pragma once
// The registry calls the run driver makes, under their Windows names,
// forwarded to advapi32.
#include <windows.h>

namespace platform {

LONG RegOpenKeyA(HKEY hive, LPCSTR subKey, PHKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegCloseKey(HKEY key);

}  // namespace platform
