#pragma once
// Decodes the code page 936 bytes the program writes to UTF-8, so that tests
// state the texts they expect in Chinese.
#include <string>

std::string FromCp936(const std::string& cp936);
