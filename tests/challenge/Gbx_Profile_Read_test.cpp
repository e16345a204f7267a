#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "platform/Folders.h"

#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using Logins = std::vector<std::string>;
using test::TProfile_Description;

constexpr TMemory_Mask Mask = 0x5A;

TEST(TProfile_List, Sorts_Ignoring_Case_And_Keeps_The_First_Of_Equal_Logins)
{
    TProfile_List profiles;
    for (const char* login : {"carl", "bob", "Alice", "BOB", "alice", "al"}) {
        profiles.Add(login);
    }
    EXPECT_EQ(profiles.Logins(), (Logins{"al", "Alice", "bob", "carl"}));
}

TEST(TProfile_List, Made_From_The_Logins_Found_Keeps_The_Rule_Of_Adding_Them_One_By_One)
{
    EXPECT_EQ(TProfile_List({"carl", "bob", "Alice", "BOB", "alice", "al"}).Logins(),
              (Logins{"al", "Alice", "bob", "carl"}));
    // Many logins, most found again in other letter cases.
    Logins found;
    TProfile_List one_by_one;
    for (int i = 0; i < 3000; ++i) {
        std::string login = "player" + std::to_string(i * 7919 % 1000);
        if (i % 4 == 0) {
            char& letter = login[static_cast<std::size_t>(i % 6)];
            letter = static_cast<char>(letter - 'a' + 'A');
        }
        found.push_back(login);
        one_by_one.Add(login);
    }
    const TProfile_List profiles(found);
    EXPECT_EQ(profiles.Count(), 1000U);
    EXPECT_EQ(profiles.Logins(), one_by_one.Logins());
}

class Profile_Read_Login_Test : public testing::Test {
protected:
    std::string Write(const TProfile_Description& description)
    {
        const std::string path = folder_.Path() + "/Player.Profile.Gbx";
        test::Write_Profile_File(path, description);
        return path;
    }
    std::string Login_Of(const TProfile_Description& description, TMemory_Mask mask = Mask)
    {
        return Profile_Read_Login(Write(description), mask);
    }

    test::TScratch_Folder folder_;
};

TEST_F(Profile_Read_Login_Test, Reads_The_Login_As_Stored_Under_Any_Mask)
{
    EXPECT_EQ(Login_Of({"Alice"}), "Alice");
    EXPECT_EQ(Login_Of({"Alice"}, 0), "Alice");
    EXPECT_EQ(Login_Of({"Alice"}, 254), "Alice");
    EXPECT_EQ(Login_Of({std::string("nul\0in", 6)}), std::string("nul\0in", 6));
}

TEST_F(Profile_Read_Login_Test, Gives_No_Login_For_Files_That_Do_Not_Hold_One_Whole)
{
    const std::size_t login_end = test::Profile_Login_Offset + 5;
    EXPECT_EQ(Login_Of({""}), "") << "offline profile";
    EXPECT_EQ(Login_Of({"Alice", test::Challenge_Class_Id}), "");
    EXPECT_EQ(Login_Of({"Alice", test::Replay_Class_Id}), "");
    EXPECT_EQ(Login_Of({"Alice", test::Profile_Class_Id, login_end}), "")
        << "a login that ends on the last byte is refused";
    EXPECT_EQ(Login_Of({"Alice", test::Profile_Class_Id, login_end + 1}), "Alice");
    EXPECT_EQ(Login_Of({"Alice", test::Profile_Class_Id, login_end - 1}), "");
    for (std::size_t length = 13; length <= test::Profile_Login_Offset; ++length) {
        EXPECT_EQ(Login_Of({"Alice", test::Profile_Class_Id, length}), "")
            << "file cut to " << length << " bytes";
    }
    EXPECT_EQ(Profile_Read_Login(folder_.Path() + "/Missing.Profile.Gbx", Mask), "");
    EXPECT_EQ(Profile_Read_Login(folder_.Make_Folder("Folder.Profile.Gbx"), Mask), "");
}

TEST_F(Profile_Read_Login_Test, Reads_Only_The_Start_Of_A_Huge_Profile)
{
    const std::string path = Write({"Alice"});
    // Sparse files, taking no room on the disk; loaded whole, each would need 2 GiB or more.
    for (const std::uintmax_t size : {std::uintmax_t{1} << 31, std::uintmax_t{3} << 30}) {
        fs::resize_file(path, size);
        EXPECT_EQ(Profile_Read_Login(path, Mask), "Alice") << size;
    }
}

class Get_Online_Profiles_Test : public testing::Test {
protected:
    void Add_Profile(const std::string& name, const TProfile_Description& description)
    {
        test::Write_Profile_File(profiles_ + "/" + name, description);
    }

    test::TScratch_Folder scratch_;
    const std::string game_folder_ = scratch_.Make_Folder("TrackMania");
    const std::string profiles_ = scratch_.Make_Folder("TrackMania/Profiles");
};

TEST_F(Get_Online_Profiles_Test, Lists_Logins_Sorted_Ignoring_Case)
{
    Add_Profile("1.Profile.Gbx", {"bob"});
    Add_Profile("2.Profile.Gbx", {"Alice"});
    Add_Profile("3.profile.gbx", {"carl"});
    EXPECT_EQ(Get_Online_Profiles(game_folder_, Mask).Logins(), (Logins{"Alice", "bob", "carl"}));
    EXPECT_EQ(Get_Online_Profiles(game_folder_ + "/", Mask).Logins(),
              (Logins{"Alice", "bob", "carl"}));
}

TEST_F(Get_Online_Profiles_Test, Keeps_The_Login_Of_The_File_Found_First)
{
    Add_Profile("A.Profile.Gbx", {"Alice"});
    Add_Profile("B.Profile.Gbx", {"alice"});
    const std::string first = Folder_Entries_Matching(profiles_, "Profile.Gbx").front();
    EXPECT_EQ(Get_Online_Profiles(game_folder_, Mask).Logins(),
              (Logins{first == "A.Profile.Gbx" ? "Alice" : "alice"}));
}

TEST_F(Get_Online_Profiles_Test, Skips_Files_Without_An_Online_Login)
{
    Add_Profile("Online.Profile.Gbx", {"Alice"});
    Add_Profile("Offline.Profile.Gbx", {""});
    Add_Profile("Track.Profile.Gbx", {"bob", test::Challenge_Class_Id});
    Add_Profile("Replay.Profile.Gbx", {"bob", test::Replay_Class_Id});
    Add_Profile("Cut.Profile.Gbx", {"bob", test::Profile_Class_Id, test::Profile_Login_Offset + 3});
    Add_Profile("Old.Profile.Gbx.bak", {"bob"});
    test::Write_Profile_File(scratch_.Make_Folder("TrackMania/Profiles/Sub") + "/Sub.Profile.Gbx",
                             {"bob"});
    test::Write_Profile_File(game_folder_ + "/Loose.Profile.Gbx", {"bob"});

    EXPECT_EQ(Get_Online_Profiles(game_folder_, Mask).Logins(), (Logins{"Alice"}));
    EXPECT_TRUE(Get_Online_Profiles(scratch_.Path(), Mask).Empty()) << "no Profiles folder";
}

// Runs in a child process: root may read any file, so the child gives up root first.
void Expect_Only_Alice_Without_Root(const std::string& game_folder)
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        std::_Exit(2);
    }
    std::_Exit(Get_Online_Profiles(game_folder, Mask).Logins() == Logins{"Alice"} ? 0 : 1);
}

TEST_F(Get_Online_Profiles_Test, Skips_A_Profile_That_Cannot_Be_Opened)
{
    Add_Profile("Alice.Profile.Gbx", {"Alice"});
    Add_Profile("Locked.Profile.Gbx", {"bob"});
    using fs::perms;
    for (const std::string& folder : {scratch_.Path(), game_folder_, profiles_}) {
        fs::permissions(folder, perms::owner_all | perms::group_read | perms::group_exec |
                                    perms::others_read | perms::others_exec);
    }
    fs::permissions(profiles_ + "/Alice.Profile.Gbx", perms::others_read, fs::perm_options::add);
    fs::permissions(profiles_ + "/Locked.Profile.Gbx", perms::none);

    EXPECT_EXIT(Expect_Only_Alice_Without_Root(game_folder_), testing::ExitedWithCode(0), "");
}

// The documents folders are looked for below a fake home; see Folders_test for their order.
class Get_TrackMania_Folder_Test : public testing::Test {
protected:
    std::string Game_Folder_In(const std::string& documents) const
    {
        return home_.Make_Folder(documents + "/TrackMania");
    }

    const test::TFake_Home home_;
    const std::string wine_user_ = ".wine/drive_c/users/player/";
};

TEST_F(Get_TrackMania_Folder_Test, Takes_The_First_Documents_Folder_Holding_The_Game)
{
    const test::TScoped_Environment_Variable named("PLOTVANE_DOCUMENTS", home_.Path() + "/named");
    home_.Make_Folder("named");
    home_.Make_Folder("Documents");
    // Each folder made is tried before the one made just before it.
    for (const std::string& documents :
         {std::string(".local/share/Steam/steamapps/compatdata/7200/pfx/drive_c/users/steamuser/"
                      "Documents"),
          std::string(".steam/steam/steamapps/compatdata/11020/pfx/drive_c/users/steamuser/"
                      "Documents"),
          wine_user_ + "My Documents", wine_user_ + "Documents", std::string("Documents"),
          std::string("named")}) {
        const std::string expected = Game_Folder_In(documents);
        EXPECT_EQ(Get_TrackMania_Folder(), expected);
    }
}

TEST_F(Get_TrackMania_Folder_Test, Follows_Symbolic_Links_As_Wine_Makes_Them)
{
    const std::string real_documents = home_.Make_Folder("real/Documents");
    fs::create_directories(home_.Path() + "/" + wine_user_);
    fs::create_directory_symlink(real_documents, home_.Path() + "/" + wine_user_ + "Documents");
    const std::string real_game = home_.Make_Folder("real/Games/TrackMania");
    fs::create_directory_symlink(real_game, real_documents + "/TrackMania");

    EXPECT_EQ(Get_TrackMania_Folder(), home_.Path() + "/" + wine_user_ + "Documents/TrackMania");
}

TEST_F(Get_TrackMania_Folder_Test, Falls_Back_To_The_Current_Directory)
{
    home_.Make_Folder("Documents");
    fs::create_directory_symlink(home_.Path() + "/Gone", home_.Path() + "/Documents/TrackMania");
    test::Write_Profile_File(home_.Make_Folder("work/Profiles") + "/Player.Profile.Gbx", {"Alice"});
    const test::TScoped_Current_Directory current(home_.Path() + "/work");

    EXPECT_TRUE(fs::equivalent(Get_TrackMania_Folder(), home_.Path() + "/work"));
    EXPECT_EQ(Get_Online_Profiles(Mask).Logins(), (Logins{"Alice"}));
}

// Runs in a child process, whose current directory may be removed without harm to the others.
void Expect_Dot_In_A_Removed_Current_Directory(const std::string& folder)
{
    const bool removed = chdir(folder.c_str()) == 0 && rmdir(folder.c_str()) == 0;
    try {
        std::_Exit(removed && Get_TrackMania_Folder() == "." ? 0 : 1);
    } catch (...) {
        std::_Exit(2);
    }
}

TEST_F(Get_TrackMania_Folder_Test, Is_The_Current_Directory_As_Dot_When_It_Was_Removed)
{
    const std::string folder = home_.Make_Folder("removed");
    EXPECT_EXIT(Expect_Dot_In_A_Removed_Current_Directory(folder), testing::ExitedWithCode(0),
                "");
}

} // namespace
} // namespace plotvane
