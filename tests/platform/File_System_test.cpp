#include "platform/File_System.h"

#include "tests/support/File_Faults.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace plotvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names_In(const std::string& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

unsigned Permissions_Of(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777U;
}

void Expect_In_Out_Error(const std::function<void()>& operation, int code, const char* text)
{
    try {
        operation();
        ADD_FAILURE() << "no EInOutError raised";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Error_Code(), code);
        EXPECT_STREQ(error.what(), text);
    }
}

std::size_t Replace(const std::string& path, const test::TBytes& bytes)
{
    return Replace_File_Contents(path, bytes.data(), bytes.size());
}

TEST(EInOutError, Carries_The_Classic_Numbers_And_Texts)
{
    EXPECT_EQ(In_Out_Error_Code_From_Errno(ENOENT), 2);
    for (const int error : {ENOTDIR, ENAMETOOLONG, EINVAL}) {
        EXPECT_EQ(In_Out_Error_Code_From_Errno(error), 3) << error;
    }
    for (const int error : {EMFILE, ENFILE}) {
        EXPECT_EQ(In_Out_Error_Code_From_Errno(error), 4) << error;
    }
    for (const int error : {EACCES, EPERM, EROFS}) {
        EXPECT_EQ(In_Out_Error_Code_From_Errno(error), 5) << error;
    }
    for (const int error : {ENOSPC, EDQUOT}) {
        EXPECT_EQ(In_Out_Error_Code_From_Errno(error), 101) << error;
    }
    EXPECT_EQ(In_Out_Error_Code_From_Errno(EFBIG), 27);
    EXPECT_EQ(In_Out_Error_Code_From_Errno(EBUSY), EBUSY);
    // A device failure must not read as one of the classic texts that shares its number.
    EXPECT_STREQ(EInOutError(In_Out_Error_Code_From_Errno(EIO)).what(), "I/O error 1005");

    // Windows errors: missing, bad path, too many files, denied, end of file, full disk, file
    // size; sharing and lock violations keep their numbers; one that shares a classic number
    // (ERROR_SEM_USER_LIMIT, 106) moves up as EIO does.
    const std::pair<unsigned long, int> windows_errors[] = {
        {2, 2},   {303, 2}, {3, 3},     {15, 3},   {53, 3},   {67, 3},   {123, 3}, {161, 3},
        {206, 3}, {267, 3}, {4, 4},     {5, 5},    {19, 5},   {1314, 5}, {38, 100}, {39, 101},
        {112, 101}, {1295, 101}, {223, 27}, {32, 32}, {33, 33}, {106, 1106}};
    for (const auto& [windows_error, code] : windows_errors) {
        EXPECT_EQ(In_Out_Error_Code_From_Windows_Error(windows_error), code) << windows_error;
    }

    const std::pair<int, const char*> texts[] = {
        {2, "File not found"},      {3, "Invalid filename"},        {4, "Too many open files"},
        {5, "File access denied"},  {100, "Read beyond end of file"}, {101, "Disk full"},
        {106, "Invalid numeric input"}, {32, "I/O error 32"},
        {27, "File too large for the system's file size limit"},
        {1000, "The copy would overwrite its own source"}};
    for (const auto& [code, text] : texts) {
        const EInOutError error(code);
        EXPECT_EQ(error.Error_Code(), code);
        EXPECT_STREQ(error.what(), text);
    }
}

TEST(EInOutError, Is_Raised_For_Paths_The_System_Refuses)
{
    const test::TScratch_Folder folder;
    const std::string file = folder.Path() + "/file";
    test::Write_Plain_File(file, {1, 2, 3});
    const std::string missing_folder = folder.Path() + "/missing/file";
    const std::string through_a_file = file + "/file";
    const std::string too_long_name = folder.Path() + "/" + std::string(300, 'n');

    Expect_In_Out_Error([&] { TInput_File input(missing_folder); }, 2, "File not found");
    Expect_In_Out_Error([&] { TInput_File input(through_a_file); }, 3, "Invalid filename");
    Expect_In_Out_Error([&] { Replace(missing_folder, {1}); }, 2, "File not found");
    Expect_In_Out_Error([&] { Replace(through_a_file, {1}); }, 3, "Invalid filename");
    Expect_In_Out_Error([&] { Replace(too_long_name, {1}); }, 3, "Invalid filename");
    // A folder cannot be replaced by a file; the folder stays and nothing is left beside it.
    const std::string subfolder = folder.Make_Folder("sub");
    Expect_In_Out_Error([&] { Replace(subfolder, {1}); }, EISDIR,
                        ("I/O error " + std::to_string(EISDIR)).c_str());
    EXPECT_TRUE(fs::is_directory(subfolder));
    EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{"file", "sub"}));
}

TEST(TInput_File, Reads_Up_To_The_End_And_Notices_Growth)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    test::Write_Plain_File(path, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});

    TInput_File input(path);
    EXPECT_EQ(input.Size(), 10U);
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(input.Read(buffer, 4), 4U);
    EXPECT_FALSE(input.At_End());
    EXPECT_EQ(input.Read(buffer, sizeof buffer), 6U);
    EXPECT_EQ(buffer[5], 10);
    EXPECT_TRUE(input.At_End());
    EXPECT_EQ(input.Read(buffer, sizeof buffer), 0U);

    test::Write_Plain_File(path, test::TBytes(12, 0));
    EXPECT_EQ(input.Size(), 10U) << "the size is the one measured at opening";
    EXPECT_FALSE(input.At_End()) << "a file that grew is not at its end";
}

TEST(Replace_File_Contents, Keeps_Permissions_Owner_And_Group_But_Never_Set_Id_Bits)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    test::Write_Plain_File(path, {1, 2, 3});
    const bool can_give_away = geteuid() == 0;
    if (can_give_away) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(path.c_str(), 06754), 0);

    EXPECT_EQ(Replace(path, {4, 5}), 2U);
    EXPECT_EQ(test::Read_Plain_File(path), (test::TBytes{4, 5}));
    EXPECT_EQ(Permissions_Of(path), 0754U);
    if (can_give_away) {
        struct stat status {};
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 65534U);
        EXPECT_EQ(status.st_gid, 65534U);
    }
    EXPECT_EQ(Names_In(folder.Path()), std::vector<std::string>{"file"})
        << "no temporary file is left behind";
}

TEST(Replace_File_Contents, Creates_A_New_File_Like_An_Ordinary_Create)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    const mode_t previous_mask = umask(027);
    const std::size_t written = Replace(path, {});
    umask(previous_mask);

    EXPECT_EQ(written, 0U);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(fs::file_size(path), 0U);
    EXPECT_EQ(Permissions_Of(path), 0640U);
}

TEST(Replace_File_Contents, Writes_Through_A_Symbolic_Link_And_Keeps_It)
{
    for (const bool file_exists : {true, false}) {
        const test::TScratch_Folder folder;
        const std::string real = folder.Path() + "/real";
        const std::string link = folder.Path() + "/link";
        if (file_exists) {
            test::Write_Plain_File(real, {1});
        }
        fs::create_symlink("real", link);

        EXPECT_EQ(Replace(link, {2, 3}), 2U);
        EXPECT_TRUE(fs::is_symlink(link)) << file_exists;
        EXPECT_EQ(test::Read_Plain_File(real), (test::TBytes{2, 3}));
        EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{"link", "real"}));
    }
}

TEST(Replace_File_Contents, Saves_A_File_Whose_Name_Is_As_Long_As_Allowed)
{
    const test::TScratch_Folder folder;
    const std::string name(255, 'n');
    EXPECT_EQ(Replace(folder.Path() + "/" + name, {1}), 1U);
    EXPECT_EQ(Names_In(folder.Path()), std::vector<std::string>{name});

    // Its temporary file's name keeps whole characters of it (237 bytes, not 238 ending half
    // way through an "é"), so that it stays UTF-8, which Windows needs to name it at all.
    std::string accented = "n";
    for (int i = 0; i < 127; ++i) {
        accented += "\xC3\xA9";
    }
    const std::string stale = "." + accented.substr(0, 237) + ".plotvane-abcdef";
    test::Write_Plain_File(folder.Path() + "/" + stale, {1});
    EXPECT_EQ(Replace(folder.Path() + "/" + accented, {2}), 1U);
    EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{stale, name, accented}));
    Remove_Stale_Temporaries({folder.Path() + "/" + accented});
    EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{name, accented}));
}

TEST(Replace_File_Contents, Says_File_Too_Large_Past_The_File_Size_Limit_And_Keeps_The_Target)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    const test::TBytes previous = {'o', 'l', 'd'};
    test::Write_Plain_File(path, previous);

    const int exit_code = test::Run_With_File_Size_Limit(1000, [&] {
        try {
            Replace(path, test::TBytes(5000, 7));
        } catch (const EInOutError& error) {
            return std::string(error.what()) == "File too large for the system's file size limit"
                       ? 0
                       : 1;
        }
        return 2;
    });
    EXPECT_EQ(exit_code, 0) << "a write past the limit was not reported as a file too large";
    EXPECT_EQ(test::Read_Plain_File(path), previous);
    EXPECT_EQ(Names_In(folder.Path()), std::vector<std::string>{"file"});
}

// Runs in a child process without root, which may write any file: replacing a read-only file
// must be refused like opening it for writing would be, even though its folder is writable.
void Expect_Read_Only_File_Refused(const std::string& path)
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        std::_Exit(2);
    }
    try {
        Replace(path, {9});
    } catch (const EInOutError& error) {
        std::_Exit(error.Error_Code() == 5 ? 0 : 3);
    }
    std::_Exit(1);
}

TEST(Replace_File_Contents, Refuses_A_Read_Only_File_And_Keeps_It)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    test::Write_Plain_File(path, {1, 2, 3});
    ASSERT_EQ(chmod(folder.Path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);

    EXPECT_EXIT(Expect_Read_Only_File_Refused(path), testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::Read_Plain_File(path), (test::TBytes{1, 2, 3}));
    EXPECT_EQ(Names_In(folder.Path()), std::vector<std::string>{"file"});
}

// Runs in a child process as a user who may write the files but not create any in their
// folder: a save and a backup copy write the file in place, leaving nothing else there.
void Expect_Written_In_Place(const std::string& folder)
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        std::_Exit(2);
    }
    try {
        if (Replace(folder + "/Map", {4, 5}) != 2) {
            std::_Exit(3);
        }
        Copy_File(folder + "/Map", folder + "/Map.bak1");
    } catch (const EInOutError&) {
        std::_Exit(4);
    }
    std::_Exit(0);
}

TEST(Replace_File_Contents, Writes_In_Place_In_A_Folder_That_Refuses_New_Files)
{
    const test::TScratch_Folder folder;
    const std::string map = folder.Path() + "/Map";
    test::Write_Plain_File(map, {1, 2, 3, 4, 5, 6});
    test::Write_Plain_File(map + ".bak1", {9, 9, 9, 9, 9, 9, 9, 9});
    for (const std::string& path : {map, map + ".bak1"}) {
        ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    }
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
    }

    EXPECT_EXIT(Expect_Written_In_Place(folder.Path()), testing::ExitedWithCode(0), "");
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    EXPECT_EQ(test::Read_Plain_File(map), (test::TBytes{4, 5}));
    EXPECT_EQ(test::Read_Plain_File(map + ".bak1"), (test::TBytes{4, 5}));
    EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{"Map", "Map.bak1"}));
}

TEST(Copy_File, Copies_Over_An_Existing_File_A_New_One_And_Through_A_Link)
{
    const test::TScratch_Folder folder;
    const std::string source = folder.Path() + "/Map";
    const test::TBytes contents = {1, 2, 3};
    test::Write_Plain_File(source, contents);
    ASSERT_EQ(chmod(source.c_str(), 04640), 0);
    test::Write_Plain_File(folder.Path() + "/Map.bak", {9, 9, 9, 9, 9});
    fs::create_symlink("Map.bak2", folder.Path() + "/link");

    for (const char* target : {"Map.bak", "Map.bak1", "link"}) {
        const std::string path = folder.Path() + "/" + target;
        Copy_File(source, path);
        EXPECT_EQ(test::Read_Plain_File(path), contents) << target;
        EXPECT_EQ(Permissions_Of(path), 0640U) << target;
    }
    EXPECT_TRUE(fs::is_symlink(folder.Path() + "/link"));
    EXPECT_EQ(Names_In(folder.Path()),
              (std::vector<std::string>{"Map", "Map.bak", "Map.bak1", "Map.bak2", "link"}));
}

TEST(Copy_File, Refuses_A_Target_That_Is_The_Source_Through_A_Link)
{
    const test::TScratch_Folder folder;
    const std::string source = folder.Path() + "/Map";
    const test::TBytes contents = {1, 2, 3};
    test::Write_Plain_File(source, contents);
    fs::create_symlink("Map", folder.Path() + "/Map.bak");
    fs::create_hard_link(source, folder.Path() + "/Map.bak1");

    for (const char* target : {"Map.bak", "Map.bak1", "Map"}) {
        Expect_In_Out_Error([&] { Copy_File(source, folder.Path() + "/" + target); }, 1000,
                            "The copy would overwrite its own source");
    }
    EXPECT_TRUE(fs::is_symlink(folder.Path() + "/Map.bak"));
    EXPECT_EQ(fs::hard_link_count(source), 2U);
    EXPECT_EQ(test::Read_Plain_File(source), contents);
    EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{"Map", "Map.bak", "Map.bak1"}));
}

TEST(Copy_File, Fails_With_Both_Files_As_They_Were_And_Nothing_Left_Behind)
{
    const test::TScratch_Folder folder;
    const std::string source = folder.Path() + "/Map";
    const std::string target = folder.Path() + "/Map.bak";
    const test::TBytes previous = {'o', 'l', 'd'};
    test::Write_Plain_File(source, test::TBytes(5000, 7));
    test::Write_Plain_File(target, previous);
    const std::string subfolder = folder.Make_Folder("sub");

    Expect_In_Out_Error([&] { Copy_File(folder.Path() + "/missing", target); }, 2,
                        "File not found");
    Expect_In_Out_Error([&] { Copy_File(subfolder, target); }, 2, "File not found");
    Expect_In_Out_Error([&] { Copy_File(source, folder.Path() + "/missing/Map.bak"); }, 2,
                        "File not found");
    const int exit_code = test::Run_With_File_Size_Limit(1000, [&] {
        try {
            Copy_File(source, target);
        } catch (const EInOutError& error) {
            return error.Error_Code() == EFBIG ? 0 : 1;
        }
        return 2;
    });
    EXPECT_EQ(exit_code, 0) << "a copy past the file size limit did not fail with EFBIG";
    EXPECT_EQ(test::Read_Plain_File(target), previous);
    EXPECT_EQ(test::Read_Plain_File(source), test::TBytes(5000, 7));
    EXPECT_EQ(Names_In(folder.Path()), (std::vector<std::string>{"Map", "Map.bak", "sub"}));
}

} // namespace
} // namespace plotvane
