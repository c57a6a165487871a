// FixFolder: compares the attribute word of a path with read-only + directory
// (0x11), sets it to exactly that when it differs, and, for the first call
// after each reset, warns when the folder holds no desktop.ini. Reports every
// outcome on the console; returns nothing.
#include "repair/FixFolder.h"

#include <string>

#include "messages/FixMessages.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"

std::uint32_t FixCallCount = 0;

namespace {
constexpr DWORD MenuFolderAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
}

void FixFolder(const char* path)
{
    platform::printf("%s", MsgLineBreak);
    ++FixCallCount;
    if (path == nullptr) {
        platform::printf("%s", MsgInvalidArgument);
        return;
    }

    WIN32_FILE_ATTRIBUTE_DATA record{};
    if (!platform::GetFileAttributesExA(path, GetFileExInfoStandard, &record)) {
        platform::printf(MsgPathMissing, path);
        return;
    }

    // The whole word is compared, so hidden, system and archive bits are
    // cleared too: any of them can keep Explorer from localising the name.
    if (record.dwFileAttributes != MenuFolderAttributes) {
        if (!platform::SetFileAttributesA(path, MenuFolderAttributes)) {
            platform::printf(MsgRepairFailed, path);
            return;
        }
        platform::printf(MsgRepairSucceeded, path);
    }

    const std::string desktopIni = std::string(path) + "\\desktop.ini";
    // Only top-level menu folders are expected to carry their own desktop.ini.
    if (FixCallCount <= 1 &&
        !platform::GetFileAttributesExA(desktopIni.c_str(), GetFileExInfoStandard, &record)) {
        platform::printf(MsgDesktopIniFolder, path);
        platform::printf("%s", MsgDesktopIniMissing);
    }
}
