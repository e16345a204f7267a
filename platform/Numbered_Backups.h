#pragma once

#include <cstdint>
#include <string>

namespace plotvane {

// Numbered backups are FILE.bak1 to FILE.bak9, used in turn.
constexpr std::uint32_t Numbered_Backup_Count = 9;

// FILE.bakN.
std::string Numbered_Backup_Name(const std::string& file_name, std::uint32_t number);

// The number of the next backup of `file_name`: the one after its newest existing backup (by
// modification time), 1 after 9 and when it has none. Each file thus carries on its own
// sequence, from one run to the next. Backups whose times are equal (a clock that ticks in
// milliseconds or coarser sees several saves at once) count as made in turn: the newest is the
// last of their run of numbers.
std::uint32_t Next_Backup_Number(const std::string& file_name);

} // namespace plotvane
