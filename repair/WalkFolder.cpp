// WalkFolder: enumerates one folder and, for each subfolder, calls FixFolder
// and then walks it in turn. Names beginning with "." are skipped with all
// below them, and so are linked folders (reparse points). Each call closes
// the search it opened.
#include "repair/WalkFolder.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "repair/FixFolder.h"

void WalkFolder(const char* path)
{
    if (path == nullptr)
        return;

    const std::string pattern = std::string(path) + "\\*.*";
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;

    // A listing that does not start with "." (a drive's root) is left alone.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        do {
            if (entry.cFileName[0] == '.')
                continue;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;  // files, desktop.ini among them, stay untouched
            // Setting a junction or link sets the folder it points to, which
            // can be anywhere on the disk, or back up the tree.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;

            // "?" stands for a character the ANSI code page cannot spell, and
            // is never a trail byte in it: such a long name reaches nothing,
            // the short name reaches the folder.
            const char* name = entry.cFileName;
            if (std::strchr(name, '?') != nullptr && entry.cAlternateFileName[0] != '\0')
                name = entry.cAlternateFileName;
            const std::string child = std::string(path) + "\\" + name;
            FixFolder(child.c_str());
            WalkFolder(child.c_str());
        } while (FindNextFileA(search, &entry));
    }
    FindClose(search);
}
