#pragma once

// Which Start Menus menufix-3-folders handles: the user's, the common one, or both.
enum class Menus { Both, User, Common };

// Exit status of a run in which a folder failed or was refused, and of a
// command line that names no menu; -1 and -2 are menufix's own.
constexpr int FolderFailedStatus = 1;
constexpr int BadArgumentStatus = 2;

// The whole run of menufix-3-folders: for each menu asked for, the user's
// first, reads its root from the registry and handles the three folders
// below its Programs folder. Returns 0 when nothing failed, -1 or -2 when a
// menu's key or value could not be used (the first such), else 1 when a
// folder failed or was refused.
int RunThreeFolders(Menus menus);
