#pragma once
// Console output and the pause, under their C runtime names. Windows builds
// use the C runtime itself; the unit tests link a fake that records the text.
#include <cstdio>

namespace platform {

int printf(const char* format, ...);
int fflush(std::FILE* stream);
int system(const char* command);

}  // namespace platform
