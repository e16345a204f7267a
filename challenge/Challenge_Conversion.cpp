#include "challenge/Challenge_Conversion.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace plotvane {

namespace {

std::string Status_Text(std::uint32_t status)
{
    return "status " + std::to_string(status) + " (" + Status_Meaning(status) + ")";
}

TConversion_Outcome Failed(int exit_code, std::string failure)
{
    return {exit_code, std::move(failure)};
}

// Loads the challenge; a failure comes back as its outcome.
std::optional<TConversion_Outcome> Load(const std::string& file_name,
                                        TFlexible_Byte_Array& image, const TMemory_Mask& mask)
{
    std::uint32_t status = Status_Ok;
    try {
        status = Gbx_Load_File(file_name, image, mask);
    } catch (const EInOutError& error) {
        return Failed(Exit_Load_Failed, std::string("loading failed: ") + error.what());
    }
    if (status != Status_Ok) {
        return Failed(Exit_Load_Failed, "loading failed: " + Status_Text(status));
    }
    return std::nullopt;
}

std::optional<TConversion_Outcome> Check_Author(const TFlexible_Byte_Array& image,
                                                const TProfile_List& profiles,
                                                const TMemory_Mask& mask)
{
    if (Challenge_Author_Is_Listed(image, profiles.Logins(), mask)) {
        return std::nullopt;
    }
    std::string author;
    Challenge_Read_Author(image, mask, author);
    return Failed(Exit_Author_Not_Listed,
                  author.empty() ? No_Author_Text
                                 : "the author \"" + author + "\" is not one of the online profiles");
}

// The backup comes only after the new file has been packed and checked; a backup that cannot
// be made ends the save with nothing written.
TConversion_Outcome Save(const std::string& file_name, TFlexible_Byte_Array& image,
                         const TMemory_Mask& mask)
{
    std::optional<std::string> failed_backup;
    const auto backup_failed = [&failed_backup](const std::string& backup, const EInOutError&) {
        failed_backup = backup;
        return false;
    };
    TGbx_Save_Result saved;
    try {
        saved = Gbx_Save_Over_File(file_name, image, TGbx_Backup_Kind::Single, mask, backup_failed);
    } catch (const EInOutError& error) {
        if (failed_backup) {
            return Failed(Exit_Backup_Failed,
                          "copying to " + *failed_backup + " failed: " + error.what());
        }
        return Failed(Exit_Save_Failed, std::string("saving failed: ") + error.what());
    }
    if (saved.Status != Status_Ok) {
        return Failed(Exit_Save_Failed, "saving failed: " + Status_Text(saved.Status));
    }
    return {};
}

} // namespace

TConversion_Outcome Convert_Challenge_In_Place(const std::string& file_name,
                                               const TMemory_Mask& mask)
{
    const TProfile_List profiles = Get_Online_Profiles(mask);
    if (profiles.Empty()) {
        constexpr char separator = static_cast<char>(std::filesystem::path::preferred_separator);
        return Failed(Exit_No_Profile, "no online profile found in " + Get_TrackMania_Folder() +
                                           separator + "Profiles");
    }
    std::optional<TFile_Lock> lock;
    try {
        // Held until the file is written, so that another edit of it waits.
        lock.emplace(file_name);
    } catch (const EFile_In_Use& in_use) {
        return Failed(Exit_Load_Failed, in_use.what());
    }
    TFlexible_Byte_Array image;
    if (std::optional<TConversion_Outcome> failed = Load(file_name, image, mask)) {
        return *failed;
    }
    if (std::optional<TConversion_Outcome> failed = Check_Author(image, profiles, mask)) {
        return *failed;
    }
    return Save(file_name, image, mask);
}

void Report_Conversion_Failure(std::ostream& err, const std::string& program,
                               const std::string& file_name, const TConversion_Outcome& outcome)
{
    err << program << ": " << file_name << ": " << outcome.Failure << " (exit code "
        << outcome.Exit_Code << ")\n";
}

} // namespace plotvane
