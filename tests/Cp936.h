#pragma once
// Conversions between UTF-8 and code page 936, so that tests state texts in
// Chinese and compare them with the bytes the program writes.
#include <string>

std::string ToCp936(const std::string& utf8);
std::string FromCp936(const std::string& cp936);
