#include "tests/ui/Game_Folder.h"

#include "tests/support/Profile_Builder.h"

namespace plotvane::test {

TTest_Game_Folder::TTest_Game_Folder(const std::vector<std::string>& logins)
    : documents_variable_("PLOTVANE_DOCUMENTS", documents_.Path()),
      game_folder_(documents_.Make_Folder("TrackMania"))
{
    const std::string profiles = documents_.Make_Folder("TrackMania/Profiles");
    documents_.Make_Folder("TrackMania/Tracks/Challenges");
    for (std::size_t i = 0; i < logins.size(); ++i) {
        Write_Profile_File(profiles + "/Player" + std::to_string(i) + ".Profile.Gbx",
                           TProfile_Description(logins[i]));
    }
}

std::string TTest_Game_Folder::Challenge_Path(const std::string& name) const
{
    return game_folder_ + "/Tracks/Challenges/" + name;
}

} // namespace plotvane::test
