// RunRepair: writes the banner, reads the user's Start Menu root from the
// registry and repairs its five Programs folders with their subtrees, then
// does the same for the common root, writes the closing text and pauses.
// A registry failure ends the run at once with one message and -1 or -2.
#include "app/RunRepair.h"

#include <cstring>
#include <string>
#include <vector>

#include "messages/RunMessages.h"
#include "platform/Console.h"
#include "platform/Registry.h"
#include "repair/FixFolder.h"
#include "repair/WalkFolder.h"

namespace {
constexpr char ShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// One byte less than the buffer, so a root is always zero-terminated.
constexpr DWORD RootCapacity = 258;
}  // namespace

int RunRepair()
{
    platform::printf("%s", MsgBanner);

    char PathBuffer[259];
    std::memset(PathBuffer, 0, sizeof PathBuffer);
    DWORD size = RootCapacity;
    DWORD type = 0;
    HKEY userKey = nullptr;
    HKEY commonKey = nullptr;
    const std::vector<std::string> MenuSubfolders = {
        "\\Programs\\Accessories", "\\Programs\\Administrative Tools", "\\Programs\\Startup",
        "\\Programs\\Maintenance", "\\Programs\\Games",
    };

    auto closeKeys = [&] {
        if (userKey != nullptr)
            platform::RegCloseKey(userKey);
        if (commonKey != nullptr)
            platform::RegCloseKey(commonKey);
    };
    auto repairMenus = [&] {
        for (const std::string& suffix : MenuSubfolders) {
            FixCallCount = 0;
            const std::string folder = PathBuffer + suffix;
            FixFolder(folder.c_str());
            WalkFolder(folder.c_str());
        }
    };
    // Only a root that makes absolute paths is used: C:\..., a bare C: (the
    // suffix brings the backslash) or a UNC \\server\... Anything else,
    // empty, ".", "C:foo" or an unexpanded "%USERPROFILE%", would lead below
    // the current folder or drive, among folders of no Start Menu.
    auto isAbsoluteRoot = [&] {
        const char drive = PathBuffer[0];
        if (drive == '\\')
            return PathBuffer[1] == '\\';
        const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
        return letter && PathBuffer[1] == ':' && (PathBuffer[2] == '\0' || PathBuffer[2] == '\\');
    };
    auto readRoot = [&](HKEY key, const char* valueName) {
        return platform::RegQueryValueExA(key, valueName, nullptr, &type,
                                          reinterpret_cast<LPBYTE>(PathBuffer),
                                          &size) == ERROR_SUCCESS &&
               isAbsoluteRoot();
    };

    if (platform::RegOpenKeyA(HKEY_CURRENT_USER, ShellFoldersKey, &userKey) != ERROR_SUCCESS) {
        userKey = nullptr;
        platform::printf("%s", MsgUserKeyFailed);
        return -1;
    }
    if (!readRoot(userKey, "Start Menu")) {
        platform::printf("%s", MsgUserRootFailed);
        closeKeys();
        return -2;
    }
    repairMenus();

    if (platform::RegOpenKeyA(HKEY_LOCAL_MACHINE, ShellFoldersKey, &commonKey) != ERROR_SUCCESS) {
        commonKey = nullptr;
        platform::printf("%s", MsgCommonKeyFailed);
        closeKeys();
        return -1;
    }
    std::memset(PathBuffer, 0, sizeof PathBuffer);
    size = RootCapacity;
    if (!readRoot(commonKey, "Common Start Menu")) {
        platform::printf("%s", MsgCommonRootFailed);
        closeKeys();
        return -2;
    }
    repairMenus();

    platform::printf("%s", MsgClosing);
    closeKeys();
    // The pause prompt comes from another process: the report must be out
    // before it, also when it goes to a file.
    platform::fflush(stdout);
    platform::system("pause");
    return 0;
}
