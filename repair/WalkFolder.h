#pragma once

// Hands every folder below path to FixFolder, depth first, parent before
// children. path may be null. Writes nothing of its own.
void WalkFolder(const char* path);
