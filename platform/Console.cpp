// Console calls, passed straight to the C runtime. Standard output stays in
// its default text mode.
#include "platform/Console.h"

#include <cstdarg>
#include <cstdlib>

int platform::printf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vprintf(format, arguments);
    va_end(arguments);
    return written;
}

int platform::fflush(std::FILE* stream)
{
    return std::fflush(stream);
}

int platform::system(const char* command)
{
    return std::system(command);
}
