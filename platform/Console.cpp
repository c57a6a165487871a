// Console calls, passed to the C runtime. Standard output stays in its
// default text mode.
#include "platform/Console.h"

#include <cstdarg>
#include <cstdlib>
#include <string>

// Formats the whole message first and hands it to the C runtime in one call:
// mingw-w64's own printf would pass it on one byte at a time, and a console
// then gets one write per byte.
int platform::printf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0) {
        va_end(arguments);
        return length;
    }
    std::string message(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(message.data(), message.size(), format, arguments);
    va_end(arguments);
    return static_cast<int>(std::fwrite(message.data(), 1, static_cast<std::size_t>(length), stdout));
}

int platform::fflush(std::FILE* stream)
{
    return std::fflush(stream);
}

int platform::system(const char* command)
{
    return std::system(command);
}
