#include "platform/Folders.h"

#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace plotvane {
namespace {

using Names = std::vector<std::string>;

void Write_Text(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

Names Sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Folder_Entries_Matching, Lists_Matching_Entries_Of_The_Folder_Itself)
{
    const test::TScratch_Folder scratch;
    const std::string folder = scratch.Make_Folder("Profiles");
    Write_Text(folder + "/Alice.Profile.Gbx", "x");
    Write_Text(folder + "/bob.profile.GBX", "x");       // other letter case: still a match
    Write_Text(folder + "/.Profile.Gbx", "x");          // the star matches nothing here
    Write_Text(folder + "/carl.Profile.Gbx.bak", "x");  // the pattern must end the name
    Write_Text(folder + "/Profile.Gbx", "x");           // no dot before the extension
    Write_Text(folder + "/dave.Challenge.Gbx", "x");
    scratch.Make_Folder("Profiles/Old.Profile.Gbx");    // folders are entries too
    Write_Text(scratch.Make_Folder("Profiles/Sub") + "/eve.Profile.Gbx", "x");

    EXPECT_EQ(Sorted(Folder_Entries_Matching(folder + "/", "Profile.Gbx")),
              (Names{".Profile.Gbx", "Alice.Profile.Gbx", "Old.Profile.Gbx", "bob.profile.GBX"}));
}

TEST(Folder_Entries_Matching, A_Missing_Folder_Has_No_Entries)
{
    const test::TScratch_Folder scratch;
    EXPECT_TRUE(Folder_Entries_Matching(scratch.Path() + "/Missing/", "Profile.Gbx").empty());
}

// Every Proton candidate below the fake home, in the order they are tried.
Names Proton_Candidates(const std::string& home)
{
    Names candidates;
    for (const char* root : {"/.steam/steam", "/.local/share/Steam"}) {
        for (const char* app_id : {"11020", "7200"}) {
            candidates.push_back(home + root + "/steamapps/compatdata/" + app_id +
                                 "/pfx/drive_c/users/steamuser/Documents");
        }
    }
    return candidates;
}

Names Joined(Names first, const Names& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

TEST(Documents_Folder_Candidates, Follow_The_Variables_In_Order)
{
    const test::TFake_Home home;
    const std::string config = home.Make_Folder("config");
    Write_Text(config + "/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                           "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                           "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    const test::TScoped_Environment_Variable named("PLOTVANE_DOCUMENTS", "/srv/named");
    const test::TScoped_Environment_Variable xdg("XDG_CONFIG_HOME", config);
    const test::TScoped_Environment_Variable wine("WINEPREFIX", home.Path() + "/games");

    const std::string user_folder = home.Path() + "/games/drive_c/users/player";
    EXPECT_EQ(Documents_Folder_Candidates(),
              Joined({"/srv/named", home.Path() + "/Papers", user_folder + "/Documents",
                      user_folder + "/My Documents"},
                     Proton_Candidates(home.Path())));
}

TEST(Documents_Folder_Candidates, Default_To_Folders_Below_Home)
{
    const test::TFake_Home home;
    const std::string user_folder = home.Path() + "/.wine/drive_c/users/player";
    EXPECT_EQ(Documents_Folder_Candidates(),
              Joined({home.Path() + "/Documents", user_folder + "/Documents",
                      user_folder + "/My Documents"},
                     Proton_Candidates(home.Path())));
}

TEST(Documents_Folder_Candidates, Read_The_Xdg_Documents_Folder_As_Xdg_Does)
{
    const test::TFake_Home home;
    const std::string config = home.Make_Folder(".config");
    const auto xdg_documents = [&](const std::string& lines) {
        Write_Text(config + "/user-dirs.dirs", lines);
        return Documents_Folder_Candidates().front();
    };

    EXPECT_EQ(xdg_documents("XDG_DOCUMENTS_DIR=\"/srv/papers\"\n"), "/srv/papers");
    EXPECT_EQ(xdg_documents("  XDG_DOCUMENTS_DIR = \"$HOME/My \\\"Docs\\\"\"\n"),
              home.Path() + "/My \"Docs\"");
    EXPECT_EQ(xdg_documents("XDG_DOCUMENTS_DIR=\"$HOME\"\n"), home.Path());
    // The last valid line wins; lines that xdg-user-dirs would not write are ignored.
    EXPECT_EQ(xdg_documents("XDG_DOCUMENTS_DIR=\"$HOME/First\"\n"
                            "XDG_DOCUMENTS_DIR=\"$HOME/Second\"\n"
                            "# XDG_DOCUMENTS_DIR=\"$HOME/Commented\"\n"
                            "XDG_DOCUMENTS_DIR=\"relative/path\"\n"
                            "XDG_DOCUMENTS_DIR=\"$HOMEWORK/path\"\n"
                            "XDG_DOCUMENTS_DIR=\"$HOME/Unclosed\n"),
              home.Path() + "/Second");
    EXPECT_EQ(xdg_documents("XDG_MUSIC_DIR=\"$HOME/Music\"\n"), home.Path() + "/Documents");
}

} // namespace
} // namespace plotvane
