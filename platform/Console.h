#pragma once
// Console output and the pause, under their C runtime names, passed to the C
// runtime.
#include <cstdio>

namespace platform {

int printf(const char* format, ...);
int fflush(std::FILE* stream);
int system(const char* command);

}  // namespace platform
