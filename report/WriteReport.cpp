// WriteReport: the one writer of every message. A console shows bytes one by
// one, whatever its code page, so it is given the text converted to UTF-16;
// a redirected report stays code page 936 bytes for whoever reads the file.
#include "report/WriteReport.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
constexpr UINT ReportCodePage = 936;

// Appends length bytes of the given code page to text as UTF-16.
void AppendText(std::wstring& text, UINT codePage, const char* bytes, std::size_t length)
{
    if (length == 0)
        return;
    const int size = static_cast<int>(length);
    const int wide = MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0);
    if (wide <= 0)
        return;
    const std::size_t start = text.size();
    text.resize(start + static_cast<std::size_t>(wide));
    MultiByteToWideChar(codePage, 0, bytes, size, &text[start], wide);
}
}  // namespace

void WriteReport(const char* message, const char* path)
{
    // Decided on the first message: where standard output goes does not
    // change during the run.
    static const HANDLE Output = GetStdHandle(STD_OUTPUT_HANDLE);
    static DWORD OutputMode = 0;
    static const bool ToConsole = GetConsoleMode(Output, &OutputMode) != 0;

    // The path is put in as it stands, never read as a format.
    const char* slot = path != nullptr ? std::strstr(message, "%s") : nullptr;
    const std::size_t before = slot != nullptr ? static_cast<std::size_t>(slot - message)
                                               : std::strlen(message);
    const char* after = slot != nullptr ? slot + 2 : message + before;

    if (!ToConsole) {
        std::string bytes(message, before);
        if (slot != nullptr)
            bytes.append(path).append(after);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return;
    }
    std::wstring text;
    AppendText(text, ReportCodePage, message, before);
    if (slot != nullptr) {
        AppendText(text, GetACP(), path, std::strlen(path));
        AppendText(text, ReportCodePage, after, std::strlen(after));
    }
    DWORD written = 0;
    WriteConsoleW(Output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
