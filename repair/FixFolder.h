#pragma once
#include <cstdint>

// Calls of FixFolder since the driver last reset it to 0; the call that sees
// 1 is the top-level folder, the only one tested for desktop.ini.
extern std::uint32_t FixCallCount;

// Gives one folder the attribute word read-only + directory and reports it.
// path may be null. Never stops the run: every outcome is a console message.
void FixFolder(const char* path);
