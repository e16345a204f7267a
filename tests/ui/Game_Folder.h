#pragma once

#include "tests/support/Scratch_Folder.h"

#include <string>
#include <vector>

namespace plotvane::test {

// A documents folder holding a game user folder whose Profiles folder has an online profile
// for each login, made the one the programs find for the life of the object.
class TTest_Game_Folder {
public:
    explicit TTest_Game_Folder(const std::vector<std::string>& logins);

    // The game user folder, without a trailing separator.
    const std::string& Game_Folder() const { return game_folder_; }
    // Game_Folder() + "/Tracks/Challenges/" + name.
    std::string Challenge_Path(const std::string& name) const;

private:
    TScratch_Folder documents_;
    TScoped_Environment_Variable documents_variable_;
    std::string game_folder_;
};

} // namespace plotvane::test
