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
// A console write costs more than repairing a folder, so console text is
// gathered and shown in batches: once this many characters wait, or once
// this many milliseconds have passed since the last batch, and on a flush.
constexpr std::size_t ConsoleBatchSize = 8192;
constexpr DWORD ConsoleBatchDelay = 100;

std::wstring ConsoleText;
DWORD ConsoleShownAt = 0;

// Whether standard output is a console, asked once: where it goes does not
// change during the run.
bool ReportToConsole()
{
    static DWORD mode = 0;
    static const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    return console;
}

// Appends length bytes of the given code page to ConsoleText as UTF-16.
void AppendConsoleText(UINT codePage, const char* bytes, std::size_t length)
{
    const int size = static_cast<int>(length);
    const int wide = size > 0 ? MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0) : 0;
    if (wide <= 0)
        return;
    const std::size_t start = ConsoleText.size();
    ConsoleText.resize(start + static_cast<std::size_t>(wide));
    MultiByteToWideChar(codePage, 0, bytes, size, &ConsoleText[start], wide);
}

void ShowConsoleText()
{
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), ConsoleText.data(),
                  static_cast<DWORD>(ConsoleText.size()), &written, nullptr);
    ConsoleText.clear();
    ConsoleShownAt = GetTickCount();
}

void ShowWhenDue()
{
    if (ConsoleText.size() >= ConsoleBatchSize || GetTickCount() - ConsoleShownAt >= ConsoleBatchDelay)
        ShowConsoleText();
}

// A path in the ANSI code page, as the narrow file calls give it, as text.
std::wstring Widen(const char* path)
{
    const int size = static_cast<int>(std::strlen(path));
    const int wide = size > 0 ? MultiByteToWideChar(GetACP(), 0, path, size, nullptr, 0) : 0;
    std::wstring text(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0)
        MultiByteToWideChar(GetACP(), 0, path, size, &text[0], wide);
    return text;
}

// A path as text, in code page 936 for a file, so that the whole report
// reads in one code page: what it cannot spell becomes "?", never a
// look-alike letter that would name another folder.
std::string Narrow(const std::wstring& path)
{
    const int size = static_cast<int>(path.size());
    const int length = size > 0 ? WideCharToMultiByte(ReportCodePage, WC_NO_BEST_FIT_CHARS, path.data(),
                                                      size, nullptr, 0, nullptr, nullptr)
                                : 0;
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(ReportCodePage, WC_NO_BEST_FIT_CHARS, path.data(), size, &bytes[0], length,
                            nullptr, nullptr);
    return bytes;
}

// Writes message with its "%s", if filled, replaced by the path: pathBytes
// for a file or a pipe, pathText for a console. The path is put in as it
// is, never read as a format.
void WriteFilled(const char* message, bool filled, const std::string& pathBytes,
                 const std::wstring& pathText)
{
    const char* slot = filled ? std::strstr(message, "%s") : nullptr;
    const std::size_t before = slot != nullptr ? static_cast<std::size_t>(slot - message)
                                               : std::strlen(message);
    const char* after = slot != nullptr ? slot + 2 : "";

    if (!ReportToConsole()) {
        std::string bytes(message, before);
        if (slot != nullptr)
            bytes.append(pathBytes).append(after);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return;
    }
    AppendConsoleText(ReportCodePage, message, before);
    if (slot != nullptr) {
        ConsoleText += pathText;
        AppendConsoleText(ReportCodePage, after, std::strlen(after));
    }
    ShowWhenDue();
}
}  // namespace

void WriteReport(const char* message, const char* path)
{
    if (path == nullptr)
        WriteFilled(message, false, std::string(), std::wstring());
    else if (ReportToConsole())
        WriteFilled(message, true, std::string(), Widen(path));
    else
        WriteFilled(message, true, path, std::wstring());
}

void WriteReport(const char* message, const std::wstring& path)
{
    if (ReportToConsole())
        WriteFilled(message, true, std::string(), path);
    else
        WriteFilled(message, true, Narrow(path), std::wstring());
}

void FlushReport()
{
    if (!ConsoleText.empty())
        ShowConsoleText();
    std::fflush(stdout);
}
