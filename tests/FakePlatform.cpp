// The fake platform: the same symbols as platform/*.cpp, over fake::world.
#include "tests/FakePlatform.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "repair/FixFolder.h"

namespace fake {

World world;

namespace {
std::uintptr_t nextHandle = 0x1000;

// Copies an entry of a listing into the caller's search record.
BOOL FillEntry(const std::vector<Entry>& entries, std::size_t index, LPWIN32_FIND_DATAA record)
{
    if (index >= entries.size())
        return 0;
    std::memset(record, 0, sizeof *record);
    record->dwFileAttributes = entries[index].attributes;
    std::strncpy(record->cFileName, entries[index].name.c_str(), sizeof record->cFileName - 1);
    return 1;
}
}  // namespace

void Reset()
{
    world = World{};
    FixCallCount = 0;
}

int CountCalls(const std::string& prefix)
{
    int count = 0;
    for (const std::string& call : world.calls)
        count += call.compare(0, prefix.size(), prefix) == 0;
    return count;
}

}  // namespace fake

using fake::world;

LONG platform::RegOpenKeyA(HKEY hive, LPCSTR subKey, PHKEY key)
{
    world.calls.push_back(std::string("RegOpenKeyA ") + subKey);
    if (world.registry.count(hive) == 0)
        return ERROR_FILE_NOT_FOUND;
    *key = reinterpret_cast<HKEY>(fake::nextHandle++);
    world.openKeys[*key] = hive;
    return ERROR_SUCCESS;
}

LONG platform::RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD size)
{
    world.calls.push_back(std::string("RegQueryValueExA ") + valueName);
    if (reserved != nullptr || world.openKeys.count(key) == 0)
        return 87;  // ERROR_INVALID_PARAMETER
    const auto& values = world.registry[world.openKeys[key]];
    const auto value = values.find(valueName);
    if (value == values.end())
        return ERROR_FILE_NOT_FOUND;
    const DWORD needed = static_cast<DWORD>(value->second.size() + 1);
    if (needed > *size)
        return ERROR_MORE_DATA;
    std::memcpy(data, value->second.c_str(), needed);
    *size = needed;
    *type = REG_SZ;
    return ERROR_SUCCESS;
}

LONG platform::RegCloseKey(HKEY key)
{
    world.calls.push_back("RegCloseKey");
    world.badCloses += world.openKeys.erase(key) == 0;
    return ERROR_SUCCESS;
}

BOOL platform::GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS, LPVOID record)
{
    world.calls.push_back(std::string("GetFileAttributesExA ") + path);
    const auto found = world.attributes.find(path);
    if (found == world.attributes.end())
        return 0;
    static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(record)->dwFileAttributes = found->second;
    return 1;
}

BOOL platform::SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    world.calls.push_back(std::string("SetFileAttributesA ") + path);
    if (world.unsettable.count(path) != 0 || world.attributes.count(path) == 0)
        return 0;
    world.attributes[path] = attributes;
    return 1;
}

HANDLE platform::FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA entry)
{
    world.calls.push_back(std::string("FindFirstFileA ") + pattern);
    // Patterns are "<folder>\*.*"; a folder without a listing cannot be searched.
    const std::string folder(pattern, std::strlen(pattern) - std::strlen("\\*.*"));
    const auto listing = world.listings.find(folder);
    if (listing == world.listings.end() || !fake::FillEntry(listing->second, 0, entry))
        return INVALID_HANDLE_VALUE;
    const HANDLE search = reinterpret_cast<HANDLE>(fake::nextHandle++);
    world.openSearches[search] = {folder, 1};
    return search;
}

BOOL platform::FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA entry)
{
    auto& cursor = world.openSearches.at(search);
    return fake::FillEntry(world.listings[cursor.first], cursor.second++, entry);
}

BOOL platform::FindClose(HANDLE search)
{
    world.calls.push_back("FindClose");
    world.badCloses += world.openSearches.erase(search) == 0;
    return 1;
}

int platform::printf(const char* format, ...)
{
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    world.output += text;
    return written;
}

int platform::fflush(std::FILE*)
{
    world.calls.push_back("fflush");
    return 0;
}

int platform::system(const char* command)
{
    world.calls.push_back(std::string("system ") + command);
    return 0;
}
