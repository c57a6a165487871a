#pragma once
// The registry calls the run driver makes, under their Windows names. Windows
// builds forward them to advapi32; the unit tests link a fake in their place.
#include <windows.h>

namespace platform {

LONG RegOpenKeyA(HKEY hive, LPCSTR subKey, PHKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegCloseKey(HKEY key);

}  // namespace platform
