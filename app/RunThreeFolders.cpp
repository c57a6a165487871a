// RunThreeFolders: the three folders that Windows 8 to 11 keep at the top
// level of Programs, in the user's and then the common Start Menu, read from
// the same registry values as menufix. A failure in one folder or one menu
// never stops the others; on a console of its own the run ends with a pause.
#include "app/RunThreeFolders.h"

#include <windows.h>

#include <string>

#include "repair/FixThreeFolder.h"
#include "report/FixMessages.h"
#include "report/RunMessages.h"
#include "report/ThreeFolderMessages.h"
#include "report/WaitForKey.h"
#include "report/WriteReport.h"

namespace {
constexpr wchar_t ShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const wchar_t* ThreeFolders[] = {L"\\System Tools", L"\\Accessibility", L"\\Windows PowerShell"};

// As menufix: only C:\..., a bare C: or \\server\... make absolute paths;
// anything else would lead among folders of no Start Menu.
bool IsAbsoluteRoot(const std::wstring& root)
{
    if (root.size() >= 2 && root[0] == L'\\')
        return root[1] == L'\\';
    const bool letter = root.size() >= 2 && ((root[0] >= L'A' && root[0] <= L'Z') ||
                                             (root[0] >= L'a' && root[0] <= L'z'));
    return letter && root[1] == L':' && (root.size() == 2 || root[2] == L'\\');
}

// Reads a Start Menu root, up to its first zero, into root; false where the
// value is missing, cannot be read whole, is no text, or is not an absolute
// path. Text as menufix's narrow read takes it: REG_SZ, REG_EXPAND_SZ left
// unexpanded, and the first string of a REG_MULTI_SZ. Other types are bytes,
// which menufix would read in the ANSI code page, not as UTF-16.
bool ReadRoot(HKEY key, const wchar_t* valueName, std::wstring& root)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    // One character more than asked for, so that the text always ends in zero.
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&data[0]),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return false;
    root.assign(data.c_str());
    return IsAbsoluteRoot(root);
}

// One menu: its root from the registry, its Programs folder, the three
// folders. Returns 0, -1 or -2 as menufix would, or FolderFailedStatus.
int FixMenu(HKEY hive, const wchar_t* valueName, const char* keyFailed, const char* rootFailed)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive, ShellFoldersKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        WriteReport(MsgLineBreak);
        WriteReport(keyFailed);
        return -1;
    }
    std::wstring root;
    const bool read = ReadRoot(key, valueName, root);
    RegCloseKey(key);
    if (!read) {
        WriteReport(MsgLineBreak);
        WriteReport(rootFailed);
        return -2;
    }

    // Without Programs the value points nowhere: three "absent" lines would
    // pass for a menu that needs nothing.
    const std::wstring programs = root + L"\\Programs";
    WIN32_FILE_ATTRIBUTE_DATA record{};
    if (!GetFileAttributesExW(programs.c_str(), GetFileExInfoStandard, &record) ||
        !(record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        WriteReport(MsgLineBreak);
        WriteReport(MsgProgramsMissing, programs);
        return FolderFailedStatus;
    }
    int status = 0;
    for (const wchar_t* folder : ThreeFolders) {
        if (!FixThreeFolder(programs + folder))
            status = FolderFailedStatus;
    }
    return status;
}

// A registry failure outranks a folder that failed; the first one stays.
int Worse(int status, int menuStatus)
{
    if (status < 0)
        return status;
    return menuStatus != 0 ? menuStatus : status;
}
}  // namespace

int RunThreeFolders(Menus menus)
{
    WriteReport(MsgThreeBanner);
    int status = 0;
    if (menus != Menus::Common)
        status = Worse(status, FixMenu(HKEY_CURRENT_USER, L"Start Menu", MsgUserKeyFailed,
                                       MsgUserRootFailed));
    if (menus != Menus::User)
        status = Worse(status, FixMenu(HKEY_LOCAL_MACHINE, L"Common Start Menu", MsgCommonKeyFailed,
                                       MsgCommonRootFailed));
    WriteReport(MsgLineBreak);
    WriteReport(status == 0 ? MsgThreeDone : MsgThreeFailed);

    // A window of its own (double-clicked, or 以管理员身份运行) would close
    // unread; a command prompt or a script goes on at once.
    DWORD process = 0;
    if (GetConsoleProcessList(&process, 1) == 1)
        WaitForKey();
    FlushReport();
    return status;
}
