// FixThreeFolder: one of System Tools, Accessibility and Windows PowerShell
// at the top level of Programs. Sets its attribute word to read-only +
// directory (0x11) as menufix does its five, and warns where it has no
// desktop.ini. Wide calls, so that any name is reached.
#include "repair/FixThreeFolder.h"

#include <windows.h>

#include "report/FixMessages.h"
#include "report/ThreeFolderMessages.h"
#include "report/WriteReport.h"

namespace {
constexpr DWORD MenuFolderAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
}

bool FixThreeFolder(const std::wstring& path)
{
    WriteReport(MsgLineBreak);
    WIN32_FILE_ATTRIBUTE_DATA record{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &record)) {
        const DWORD error = GetLastError();
        // Windows 7 has none of the three: absent is what most menus show.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            WriteReport(MsgFolderAbsent, path);
            return true;
        }
        WriteReport(MsgRepairFailed, path);
        return false;
    }

    const DWORD word = record.dwFileAttributes;
    // Setting a link would set whatever it points to, anywhere on the disk.
    if (word & FILE_ATTRIBUTE_REPARSE_POINT) {
        WriteReport(MsgFolderIsLink, path);
        return false;
    }
    if (!(word & FILE_ATTRIBUTE_DIRECTORY)) {
        WriteReport(MsgFolderIsFile, path);
        return false;
    }
    // The whole word, as menufix: hidden, system and archive bits go too.
    if (word == MenuFolderAttributes) {
        WriteReport(MsgFolderCorrect, path);
    } else if (!SetFileAttributesW(path.c_str(), MenuFolderAttributes)) {
        WriteReport(MsgRepairFailed, path);
        return false;
    } else {
        WriteReport(MsgRepairSucceeded, path);
    }

    const std::wstring desktopIni = path + L"\\desktop.ini";
    if (!GetFileAttributesExW(desktopIni.c_str(), GetFileExInfoStandard, &record)) {
        WriteReport(MsgDesktopIniFolder, path);
        WriteReport(MsgDesktopIniMissing);
    }
    return true;
}
