// RunRepair: writes the banner, reads the user's Start Menu root from the
// registry and repairs its five Programs folders with their subtrees, then
// does the same for the common root, writes the closing text and pauses.
// A registry failure ends the run at once with one message and -1 or -2.
#include "app/RunRepair.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "repair/FixFolder.h"
#include "repair/WalkFolder.h"
#include "report/RunMessages.h"
#include "report/WriteReport.h"

namespace {
constexpr char ShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// One byte less than the buffer, so a root is always zero-terminated.
constexpr DWORD RootCapacity = 258;
}  // namespace

int RunRepair()
{
    WriteReport(MsgBanner);

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

    // The pause prompt comes from another process: the report must be out
    // before it, also when it goes to a file. A key pressed while the
    // folders were handled is no answer to it.
    auto pause = [] {
        FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
        FlushReport();
        std::system("pause");
    };
    auto closeKeys = [&] {
        if (userKey != nullptr)
            RegCloseKey(userKey);
        if (commonKey != nullptr)
            RegCloseKey(commonKey);
    };
    // A window that menufix has to itself (started from Explorer) would close
    // with the message unread, so there a failure waits for a key as well.
    // Started from a command prompt or a script, it ends at once.
    auto fail = [&](const char* message, int status) {
        WriteReport(message);
        closeKeys();
        DWORD process = 0;
        if (GetConsoleProcessList(&process, 1) == 1)
            pause();
        else
            FlushReport();
        return status;
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
        return RegQueryValueExA(key, valueName, nullptr, &type,
                                reinterpret_cast<LPBYTE>(PathBuffer), &size) == ERROR_SUCCESS &&
               isAbsoluteRoot();
    };

    if (RegOpenKeyA(HKEY_CURRENT_USER, ShellFoldersKey, &userKey) != ERROR_SUCCESS) {
        userKey = nullptr;
        return fail(MsgUserKeyFailed, -1);
    }
    if (!readRoot(userKey, "Start Menu"))
        return fail(MsgUserRootFailed, -2);
    repairMenus();

    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, ShellFoldersKey, &commonKey) != ERROR_SUCCESS) {
        commonKey = nullptr;
        return fail(MsgCommonKeyFailed, -1);
    }
    std::memset(PathBuffer, 0, sizeof PathBuffer);
    size = RootCapacity;
    if (!readRoot(commonKey, "Common Start Menu"))
        return fail(MsgCommonRootFailed, -2);
    repairMenus();

    WriteReport(MsgClosing);
    closeKeys();
    pause();
    return 0;
}
