#pragma once
// An in-memory Windows for the unit tests: a registry, a folder tree and a
// console. The logic links against it in place of the real platform; tests
// arrange the world, run the logic and look at what was done.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

struct Entry {
    std::string name;
    DWORD attributes;
};

struct World {
    // Shell Folders values by hive; a hive that is absent cannot be opened.
    std::map<HKEY, std::map<std::string, std::string>> registry;
    // Attribute words by path; a path that is absent does not exist.
    std::map<std::string, DWORD> attributes;
    // What a search of each folder returns, in order.
    std::map<std::string, std::vector<Entry>> listings;
    // Paths whose attribute word cannot be set.
    std::set<std::string> unsettable;

    std::string output;              // everything written to standard output
    std::vector<std::string> calls;  // each platform call, with its path
    std::map<HKEY, HKEY> openKeys;  // each open key's hive
    std::map<HANDLE, std::pair<std::string, std::size_t>> openSearches;  // folder, next entry
    int badCloses = 0;  // closes of a key or search that was not open
};

extern World world;

// Empties the world, FixCallCount included.
void Reset();

// Counts the recorded calls that begin with prefix.
int CountCalls(const std::string& prefix);

}  // namespace fake
