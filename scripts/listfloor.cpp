// listfloor: walks the folders given as menufix walks the menu folders, depth
// first, skipping names that begin with "." and not entering linked folders,
// but only lists them: FindFirstFileA, FindNextFileA and FindClose, nothing
// set, nothing printed. The benchmark times it as the least any walk of those
// folders can cost. Exits 1 when a folder given cannot be listed.
#include <windows.h>

#include <string>

static bool ListTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((path + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (entry.cFileName[0] != '.' && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListTree(path + "\\" + entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return true;
}

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i < argc; ++i)
        if (!ListTree(argv[i]))
            status = 1;
    return status;
}
