#pragma once
#include <string>

// Writes one message of the report to standard output. A "%s" in message
// stands for path, a name as the narrow file calls give it (ANSI code page);
// the rest of message is code page 936 text. A console is given the text as
// characters, a file or a pipe the bytes, one write per message.
void WriteReport(const char* message, const char* path = nullptr);

// The same for a path as the wide file calls give it: a console shows it as
// it is, a file or a pipe gets it in code page 936.
void WriteReport(const char* message, const std::wstring& path);

// Puts out whatever of the report is still held back. Called before the
// pause, whose prompt comes from another process, and before the run ends.
void FlushReport();
