#include "challenge/TMF_Block_Names.h"

#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace plotvane {
namespace {

using TNames = std::vector<std::string>;

TEST(Read_Block_Name_List, Splits_At_Every_Line_End_And_Stops_At_A_Zero_Byte)
{
    struct TCase {
        std::string File;
        TNames Names;
    };
    const std::vector<TCase> cases = {
        {"", {}},
        {"StadiumRoadMain", {"StadiumRoadMain"}},
        {"A\nB\n", {"A", "B"}},                       // a final line end adds nothing
        {"A\r\nB\r\n", {"A", "B"}},
        {"A\rB\r", {"A", "B"}},
        {"A\r\n\r\nB", {"A", "", "B"}},               // an empty line is an entry
        {"\n", {""}},
        {"A\n\rB", {"A", "", "B"}},                   // LF then CR: two line ends
        {"A\r\r\nB", {"A", "", "B"}},
        {std::string("A\nB\0C\nD", 7), {"A", "B"}},   // the text ends at a zero byte
        {std::string("\0A", 2), {}},
        {"Caf\xE9 \t\x01\n", {"Caf\xE9 \t\x01"}},     // bytes kept as they are
    };
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/" + Block_Name_List_File_Name("Stadium");
    for (const TCase& test_case : cases) {
        test::Write_Plain_File(path, test::TBytes(test_case.File.begin(), test_case.File.end()));
        EXPECT_EQ(Read_Block_Name_List(path), test_case.Names) << test_case.File;
    }
}

TEST(Read_Block_Name_List, A_File_That_Cannot_Be_Read_Raises_The_Message_With_Its_Full_Name)
{
    const test::TScratch_Folder folder;
    const test::TScoped_Current_Directory current(folder.Path());
    // The current directory as the system names it, links resolved.
    const std::string full_name =
        std::filesystem::current_path().string() + "/Blocks-Nowhere.Lst";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Blocks-Nowhere.Lst",
         "Cannot open file \"" + full_name + "\". " + std::strerror(ENOENT)},
        {full_name, "Cannot open file \"" + full_name + "\". " + std::strerror(ENOENT)},
        {folder.Make_Folder("Blocks-Folder.Lst"),
         "Cannot open file \"" + folder.Path() + "/Blocks-Folder.Lst\". " +
             std::strerror(EISDIR)},
    };
    for (const auto& [path, message] : cases) {
        try {
            Read_Block_Name_List(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const EFOpenError& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }
}

// An installed program in PREFIX/bin/ finds the lists in PREFIX/share/plotvane/, unless its own
// folder holds one (as the build tree and Windows do).
TEST(Find_Block_Name_List, Looks_Beside_The_Program_Then_In_Its_Share_Folder)
{
    const test::TScratch_Folder prefix;
    const std::string bin = prefix.Make_Folder("bin") + "/";
    const std::string share = prefix.Make_Folder("share/plotvane") + "/";
    const TNames folders = Block_Name_List_Folders(bin);
    ASSERT_EQ(folders, (TNames{bin, share}));

    test::Write_Plain_File(share + "Blocks-Stadium.Lst", {'A'});
    test::Write_Plain_File(share + "Blocks-Bay.Lst", {'A'});
    test::Write_Plain_File(bin + "Blocks-Bay.Lst", {'B'});
    prefix.Make_Folder("bin/Blocks-Coast.Lst"); // a folder is no list
    test::Write_Plain_File(share + "Blocks-Coast.Lst", {'A'});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Stadium", share + "Blocks-Stadium.Lst"},
        {"Bay", bin + "Blocks-Bay.Lst"},
        {"Coast", share + "Blocks-Coast.Lst"},
        {"Alpine", bin + "Blocks-Alpine.Lst"}, // nowhere: the message names the first folder
    };
    for (const auto& [collection, path] : cases) {
        EXPECT_EQ(Find_Block_Name_List(folders, collection), path) << collection;
    }
}

// The lists that ship: each lies beside plotvane-cli as in the sources, and every name that the
// real Stadium map uses is offered for its collection.
TEST(Read_Block_Name_List, The_Shipped_Lists_Lie_Beside_The_Program_And_Hold_Real_Names)
{
    const TNames collections = {"Alpine", "Bay", "Coast", "Island", "Rally", "Speed", "Stadium"};
    for (const std::string& collection : collections) {
        const std::string file_name = Block_Name_List_File_Name(collection);
        const TNames shipped = Read_Block_Name_List(std::string(PLOTVANE_CLI_FOLDER) + "/" +
                                                    file_name);
        EXPECT_GT(shipped.size(), 50U) << collection;
        EXPECT_EQ(shipped,
                  Read_Block_Name_List(std::string(PLOTVANE_BLOCK_NAMES_DIR) + "/" + file_name));
        EXPECT_EQ(std::count(shipped.begin(), shipped.end(), ""), 0) << collection;
    }

    PLOTVANE_REQUIRE_CORPUS_FILE(tsv_path, "E02-Endurance.blocks.tsv");
    const TNames stadium = Read_Block_Name_List(std::string(PLOTVANE_BLOCK_NAMES_DIR) +
                                                "/Blocks-Stadium.Lst");
    std::ifstream tsv(tsv_path);
    std::string line;
    std::getline(tsv, line); // column names
    while (std::getline(tsv, line)) {
        const std::size_t start = line.find('\t') + 1;
        const std::string name = line.substr(start, line.find('\t', start) - start);
        ASSERT_NE(std::find(stadium.begin(), stadium.end(), name), stadium.end()) << name;
    }
}

} // namespace
} // namespace plotvane
