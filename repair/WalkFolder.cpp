// WalkFolder: enumerates one folder and, for each subfolder, calls FixFolder
// and then walks it in turn. Names beginning with "." are skipped with all
// below them; linked folders (reparse points) are repaired but not entered.
// Each call closes the search it opened.
#include "repair/WalkFolder.h"

#include <string>

#include "platform/FileSystem.h"
#include "repair/FixFolder.h"

void WalkFolder(const char* path)
{
    if (path == nullptr)
        return;

    const std::string pattern = std::string(path) + "\\*.*";
    WIN32_FIND_DATAA entry{};
    const HANDLE search = platform::FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;

    // A listing that does not start with "." (a drive's root) is left alone.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        do {
            if (entry.cFileName[0] == '.')
                continue;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;  // files, desktop.ini among them, stay untouched

            const std::string child = std::string(path) + "\\" + entry.cFileName;
            FixFolder(child.c_str());
            // A junction or link can lead anywhere on the disk, or back up
            // the tree: following it would rewrite folders of no menu.
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                WalkFolder(child.c_str());
        } while (platform::FindNextFileA(search, &entry));
    }
    platform::FindClose(search);
}
