#pragma once
#include <string>

// Gives one of the three Windows 8 to 11 folders, itself only, the attribute
// word read-only + directory, and reports it. A link or a file standing
// there is refused and left as it is. Returns false when the folder failed
// or was refused; an absent folder is no failure.
bool FixThreeFolder(const std::wstring& path);
