// attrdump: prints the attribute word of each path given and of everything
// below it, as Windows reports them, one "0x%08lx<TAB>path" line each
// ("missing<TAB>path" when the path is not there). Linked folders are listed
// but not entered. The Wine tests and the demo read attributes through it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

static void DumpTree(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        std::printf("missing\t%s\n", path.c_str());
        return;
    }
    std::printf("0x%08lx\t%s\n", static_cast<unsigned long>(attributes), path.c_str());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;

    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0)
            DumpTree(path + "\\" + entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        DumpTree(argv[i]);
    return 0;
}
