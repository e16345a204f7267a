#pragma once

// What Utf8_Paths.cpp shares with the Windows form (Utf8_Paths_Windows.cpp); included by those
// two alone.

#include <cstddef>

namespace plotvane {

// Where the classic limit on path length starts to bite: CreateDirectoryW takes 260 less room
// for an 8.3 file name, so every call is safe below it.
constexpr std::size_t Classic_Path_Limit = 248;

} // namespace plotvane
