#include "platform/Numbered_Backups.h"

#include "platform/File_System.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>

namespace plotvane {

namespace {

std::uint32_t Following(std::uint32_t number)
{
    return number % Numbered_Backup_Count + 1;
}

} // namespace

std::string Numbered_Backup_Name(const std::string& file_name, std::uint32_t number)
{
    return file_name + ".bak" + std::to_string(number);
}

std::uint32_t Next_Backup_Number(const std::string& file_name)
{
    using TTime = std::filesystem::file_time_type;
    std::array<std::optional<TTime>, Numbered_Backup_Count + 1> times; // by number; 0 unused
    std::optional<TTime> newest;
    for (std::uint32_t number = 1; number <= Numbered_Backup_Count; ++number) {
        if (const std::optional<TFile_Stamp> stamp =
                File_Stamp(Numbered_Backup_Name(file_name, number))) {
            times[number] = stamp->Modified;
            newest = newest ? std::max(*newest, stamp->Modified) : stamp->Modified;
        }
    }
    if (!newest) {
        return 1;
    }
    // The newest backup among those of the newest time is the one whose follower is not one of
    // them; when all nine share it, 9.
    std::uint32_t last = Numbered_Backup_Count;
    for (std::uint32_t number = 1; number <= Numbered_Backup_Count; ++number) {
        if (times[number] == newest && times[Following(number)] != newest) {
            last = number;
        }
    }
    return Following(last);
}

} // namespace plotvane
