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

// Where "%s" stands in message: the text before it, and the text after it
// (empty where there is no "%s" or no path).
std::size_t SlotOffset(const char* message, bool hasPath)
{
    const char* slot = hasPath ? std::strstr(message, "%s") : nullptr;
    return slot != nullptr ? static_cast<std::size_t>(slot - message) : std::strlen(message);
}

void ShowWhenDue()
{
    if (ConsoleText.size() >= ConsoleBatchSize || GetTickCount() - ConsoleShownAt >= ConsoleBatchDelay)
        ShowConsoleText();
}
}  // namespace

void WriteReport(const char* message, const char* path)
{
    // The path is put in where "%s" stands, as it is, never read as a format.
    const std::size_t before = SlotOffset(message, path != nullptr);
    const bool slot = message[before] != '\0';
    const char* after = slot ? message + before + 2 : "";

    if (!ReportToConsole()) {
        std::string bytes(message, before);
        if (slot)
            bytes.append(path).append(after);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return;
    }
    AppendConsoleText(ReportCodePage, message, before);
    if (slot) {
        AppendConsoleText(GetACP(), path, std::strlen(path));
        AppendConsoleText(ReportCodePage, after, std::strlen(after));
    }
    ShowWhenDue();
}

void WriteReport(const char* message, const std::wstring& path)
{
    const std::size_t before = SlotOffset(message, true);
    const bool slot = message[before] != '\0';
    const char* after = slot ? message + before + 2 : "";

    if (!ReportToConsole()) {
        // A file gets the path in code page 936 too, so that the whole report
        // reads in one code page; what it cannot spell becomes "?", never a
        // look-alike letter that would name another folder.
        std::string bytes(message, before);
        if (slot) {
            const int size = static_cast<int>(path.size());
            const int length = size > 0 ? WideCharToMultiByte(ReportCodePage, WC_NO_BEST_FIT_CHARS, path.data(),
                                                              size, nullptr, 0, nullptr, nullptr)
                                        : 0;
            const std::size_t start = bytes.size();
            bytes.resize(start + static_cast<std::size_t>(length > 0 ? length : 0));
            if (length > 0)
                WideCharToMultiByte(ReportCodePage, WC_NO_BEST_FIT_CHARS, path.data(), size,
                                    &bytes[start], length, nullptr, nullptr);
            bytes.append(after);
        }
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return;
    }
    AppendConsoleText(ReportCodePage, message, before);
    if (slot) {
        ConsoleText += path;
        AppendConsoleText(ReportCodePage, after, std::strlen(after));
    }
    ShowWhenDue();
}

void FlushReport()
{
    if (!ConsoleText.empty())
        ShowConsoleText();
    std::fflush(stdout);
}
