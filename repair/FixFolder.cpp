// FixFolder: compares the attribute word of a path with read-only + directory
// (0x11), sets it to exactly that when it differs, and, for the first call
// after each reset, warns when the folder holds no desktop.ini. Reports every
// outcome on the console; returns nothing.
#include "repair/FixFolder.h"

#include <windows.h>

#include <string>

#include "report/FixMessages.h"
#include "report/WriteReport.h"

std::uint32_t FixCallCount = 0;

namespace {
constexpr DWORD MenuFolderAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
}

void FixFolder(const char* path)
{
    WriteReport(MsgLineBreak);
    ++FixCallCount;
    if (path == nullptr) {
        WriteReport(MsgInvalidArgument);
        return;
    }

    WIN32_FILE_ATTRIBUTE_DATA record{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &record)) {
        WriteReport(MsgPathMissing, path);
        return;
    }

    // The whole word is compared, so hidden, system and archive bits are
    // cleared too: any of them can keep Explorer from localising the name.
    if (record.dwFileAttributes != MenuFolderAttributes) {
        if (!SetFileAttributesA(path, MenuFolderAttributes)) {
            WriteReport(MsgRepairFailed, path);
            return;
        }
        WriteReport(MsgRepairSucceeded, path);
    }

    const std::string desktopIni = std::string(path) + "\\desktop.ini";
    // Only top-level menu folders are expected to carry their own desktop.ini.
    if (FixCallCount <= 1 &&
        !GetFileAttributesExA(desktopIni.c_str(), GetFileExInfoStandard, &record)) {
        WriteReport(MsgDesktopIniFolder, path);
        WriteReport(MsgDesktopIniMissing);
    }
}
