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
std::map<HKEY, HKEY> keyHives;
std::map<HANDLE, std::pair<std::string, std::size_t>> searchCursors;

// Copies the current entry of a search into the caller's record.
void FillEntry(const Entry& entry, LPWIN32_FIND_DATAA record)
{
    std::memset(record, 0, sizeof *record);
    record->dwFileAttributes = entry.attributes;
    std::strncpy(record->cFileName, entry.name.c_str(), sizeof record->cFileName - 1);
}
}  // namespace

void Reset()
{
    world = World{};
    keyHives.clear();
    searchCursors.clear();
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
    fake::keyHives[*key] = hive;
    world.openKeys.insert(*key);
    return ERROR_SUCCESS;
}

LONG platform::RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD size)
{
    world.calls.push_back(std::string("RegQueryValueExA ") + valueName);
    if (reserved != nullptr || world.openKeys.count(key) == 0)
        return 87;  // ERROR_INVALID_PARAMETER
    const auto& values = world.registry[fake::keyHives[key]];
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
    if (world.openKeys.erase(key) == 0) {
        ++world.badCloses;
        return 6;  // ERROR_INVALID_HANDLE
    }
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
    const std::string text = pattern;
    const std::string wildcard = "\\*.*";
    if (text.size() < wildcard.size() ||
        text.compare(text.size() - wildcard.size(), wildcard.size(), wildcard) != 0)
        return INVALID_HANDLE_VALUE;
    const std::string folder = text.substr(0, text.size() - wildcard.size());
    const auto listing = world.listings.find(folder);
    if (listing == world.listings.end() || listing->second.empty())
        return INVALID_HANDLE_VALUE;
    const HANDLE search = reinterpret_cast<HANDLE>(fake::nextHandle++);
    fake::searchCursors[search] = {folder, 0};
    world.openSearches.insert(search);
    fake::FillEntry(listing->second[0], entry);
    return search;
}

BOOL platform::FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA entry)
{
    auto& cursor = fake::searchCursors.at(search);
    const auto& entries = world.listings[cursor.first];
    if (++cursor.second >= entries.size())
        return 0;
    fake::FillEntry(entries[cursor.second], entry);
    return 1;
}

BOOL platform::FindClose(HANDLE search)
{
    world.calls.push_back("FindClose");
    if (world.openSearches.erase(search) == 0) {
        ++world.badCloses;
        return 0;
    }
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
