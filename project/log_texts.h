#pragma once
// What the warnings and the failure causes share: the beginnings of their
// log lines, how they name points and list items, and how they read a file
// whole (to compare two files' contents).

#include <string>
#include <vector>

namespace pelvanor::detail {

inline constexpr const char* kWarn = "Upozornění - ";
inline constexpr const char* kError = "Chyba - ";

// A point number as the user wrote it (a whole number).
std::string NumberText(long double value);

// "a", "a a b", "a, b a c", "a, b, c, d, e a dalších 7": at most five items
// named, the rest counted (never "a dalších 1").
std::string ListText(const std::vector<std::string>& items);

// Integers of index tables (rows, images, positions); 0 for anything else.
long long IndexValue(long double value);

// The whole content of a regular file; false when it cannot be read.
bool ReadBytes(const std::string& path, std::string& bytes);

}  // namespace pelvanor::detail
