#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_System.h"

#include "tests/support/Corpus.h"
#include "tests/support/File_Faults.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plotvane {
namespace {

namespace fs = std::filesystem;

constexpr TMemory_Mask Mask = 0x3C;
// A packing method that Gbx_Compress refuses.
constexpr std::uint32_t Unknown_Method = Gbx_Method_Best + 1;
constexpr std::uint8_t End_Marker[] = {0x11, 0x00, 0x00};

// A challenge whose body of 4 to 18 bytes is stored as one literal run, exactly as a save
// writes it, so that loading and saving it again gives the same bytes.
test::TBytes Small_Challenge(const test::TBytes& user_data, const test::TBytes& body)
{
    test::TBytes stream(1 + body.size() + std::size(End_Marker));
    stream[0] = static_cast<std::uint8_t>(body.size() - 3); // literal run opcode
    std::copy(body.begin(), body.end(), stream.begin() + 1);
    std::copy(std::begin(End_Marker), std::end(End_Marker), stream.end() - 3);
    return test::Make_Gbx_File(test::Challenge_Class_Id, user_data,
                               static_cast<std::uint32_t>(body.size()), stream);
}

// Its expanded image, plain: the compressed-size field holds U + 3, the body is followed by
// the end marker.
test::TBytes Small_Challenge_Image(const test::TBytes& user_data, const test::TBytes& body)
{
    test::TBytes stream = body;
    stream.insert(stream.end(), std::begin(End_Marker), std::end(End_Marker));
    return test::Make_Gbx_File(test::Challenge_Class_Id, user_data,
                               static_cast<std::uint32_t>(body.size()), stream);
}

const test::TBytes User_Data = {'a', 'b', 'c'};
const test::TBytes Body = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
// The header up to, not including, the compressed-size field: D - 4 with D = 33 + 3.
constexpr std::size_t Header_Before_Size_Field = 32;

class Gbx_IO : public ::testing::Test {
protected:
    const test::TScratch_Folder folder_;

    std::string Path(const std::string& name) const { return folder_.Path() + "/" + name; }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    const TFlexible_Byte_Array image_ = test::Masked(Small_Challenge_Image(User_Data, Body), Mask);
    const std::string file_ = Path("Track.Challenge.Gbx");
    const std::string failure_file_ = Path("Track.Challenge.Gbx.bad");
};

TEST(Gbx_Failure_File_Name, Appends_Bad)
{
    EXPECT_EQ(Gbx_Failure_File_Name("/maps/Track.Challenge.Gbx"), "/maps/Track.Challenge.Gbx.bad");
}

TEST_F(Gbx_IO, Load_Refuses_Missing_Empty_And_Foreign_Files_With_An_Empty_Image)
{
    test::Write_Plain_File(Path("empty"), {});
    test::Write_Plain_File(Path("text"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd',
                                          ',', ' ', 'n', 'o', 't', ' ', 'G', 'B', 'X', '\n'});
    const std::pair<std::string, std::uint32_t> cases[] = {
        {Path("missing"), 1001}, {Path(""), 1001}, {Path("empty"), 2001}, {Path("text"), 2001}};
    for (const auto& [path, status] : cases) {
        SCOPED_TRACE(path);
        TFlexible_Byte_Array image = {1, 2, 3};
        EXPECT_EQ(Gbx_Load_File(path, image, Mask), status);
        EXPECT_TRUE(image.empty());
    }
}

TEST_F(Gbx_IO, Load_Gives_1002_When_The_File_Delivers_Less_Than_Its_Size)
{
    const std::string path = test::File_Reading_Short_Of_Its_Size();
    if (path.empty()) {
        GTEST_SKIP() << "no file here reads short of its size";
    }
    TFlexible_Byte_Array image;
    EXPECT_EQ(Gbx_Load_File(path, image, Mask), 1002U);
    EXPECT_TRUE(image.empty());
}

TEST_F(Gbx_IO, Load_Then_Save_Gives_Back_The_Same_File_And_Leaves_The_Image)
{
    const test::TBytes original = Small_Challenge(User_Data, Body);
    test::Write_Plain_File(file_, original);
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(file_, image, Mask), 0U);
    EXPECT_EQ(image, image_);

    const std::string copy = Path("Copy.Challenge.Gbx");
    ASSERT_EQ(Gbx_Save_File(copy, image, 0, Mask), 0U);
    EXPECT_EQ(test::Read_Plain_File(copy), original);
    EXPECT_EQ(image, image_) << "the image stays as it was, masked";
    ASSERT_EQ(Gbx_Save_File(copy, image, 0, Mask), 0U);
    EXPECT_EQ(test::Read_Plain_File(copy), original) << "a second save writes the same bytes";
    EXPECT_EQ(Names(), (std::vector<std::string>{"Copy.Challenge.Gbx", "Track.Challenge.Gbx"}));
}

TEST_F(Gbx_IO, Save_Round_Trips_A_Real_Challenge)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, Mask), 0U);
    EXPECT_EQ(image.size(), 68801U);

    // Unpacked, packed and packed best, each smaller than the one before.
    std::uintmax_t last_size = 0;
    for (const std::uint32_t method :
         {Gbx_Method_Literal_Run, Gbx_Method_Packed, Gbx_Method_Best}) {
        ASSERT_EQ(Gbx_Save_File(file_, image, method, Mask), 0U);
        TFlexible_Byte_Array reloaded;
        ASSERT_EQ(Gbx_Load_File(file_, reloaded, Mask), 0U);
        EXPECT_EQ(reloaded, image) << method;
        if (last_size != 0) {
            EXPECT_LT(fs::file_size(file_), last_size) << method;
        }
        last_size = fs::file_size(file_);
    }
}

TEST_F(Gbx_IO, Packing_Failures_Go_To_The_Failure_File_And_Leave_The_File)
{
    const test::TBytes original = Small_Challenge(User_Data, Body);
    test::Write_Plain_File(file_, original);

    // An unknown method is refused after the header before the compressed-size field was copied.
    EXPECT_EQ(Gbx_Save_File(file_, image_, Unknown_Method, Mask), 2102U);
    EXPECT_EQ(test::Read_Plain_File(file_), original);
    const test::TBytes plain = test::Unmasked(image_, Mask);
    EXPECT_EQ(test::Read_Plain_File(failure_file_),
              test::TBytes(plain.begin(), plain.begin() + Header_Before_Size_Field));

    // A second failure overwrites the failure file.
    const test::TBytes other_user_data = {'x', 'y', 'z', 'w', 'v'};
    const test::TBytes other = Small_Challenge_Image(other_user_data, Body);
    EXPECT_EQ(Gbx_Save_File(file_, test::Masked(other, Mask), Unknown_Method, Mask), 2102U);
    EXPECT_EQ(test::Read_Plain_File(failure_file_),
              test::TBytes(other.begin(), other.begin() + Header_Before_Size_Field + 2));

    // An image that is no GBX file packs to nothing: the failure file is emptied.
    const TFlexible_Byte_Array foreign = test::Masked({'n', 'o', 't', ' ', 'G', 'B', 'X'}, Mask);
    EXPECT_EQ(Gbx_Save_File(file_, foreign, 0, Mask), 2101U);
    EXPECT_TRUE(fs::exists(failure_file_));
    EXPECT_EQ(fs::file_size(failure_file_), 0U);
    EXPECT_EQ(test::Read_Plain_File(file_), original);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"Track.Challenge.Gbx", "Track.Challenge.Gbx.bad"}));
}

TEST_F(Gbx_IO, Save_Over_A_File_Backs_It_Up_Only_Once_Packed_And_Clears_Stale_Temporaries)
{
    const test::TBytes original = Small_Challenge(User_Data, Body);
    test::Write_Plain_File(file_, original);
    // An image whose end marker is damaged does not pack: neither the file nor a backup changes,
    // and no empty failure file is left.
    test::TBytes damaged = Small_Challenge_Image(User_Data, Body);
    damaged.back() = 1;
    const TGbx_Save_Result refused = Gbx_Save_Over_File(
        file_, test::Masked(damaged, Mask), TGbx_Backup_Kind::Numbered, Mask);
    EXPECT_EQ(refused.Status, 2101U);
    EXPECT_FALSE(refused.Backup);
    EXPECT_EQ(Names(), std::vector<std::string>{"Track.Challenge.Gbx"});

    // What killed saves of the file and of a backup left; one that a running save holds stays,
    // as does another file's.
    const std::vector<std::string> left = {".Track.Challenge.Gbx.plotvane-abc123",
                                           ".Track.Challenge.Gbx.bak2.plotvane-XYZ789",
                                           ".Track.Challenge.Gbx.plotvane-held00",
                                           ".Other.Challenge.Gbx.plotvane-abc123"};
    for (const std::string& name : left) {
        test::Write_Plain_File(Path(name), {1});
    }
    const int held = ::open(Path(left[2]).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const TGbx_Save_Result saved =
        Gbx_Save_Over_File(file_, image_, TGbx_Backup_Kind::Numbered, Mask);
    ::close(held);
    EXPECT_EQ(saved.Status, 0U);
    EXPECT_EQ(saved.Backup, Path("Track.Challenge.Gbx.bak1"));
    EXPECT_EQ(test::Read_Plain_File(*saved.Backup), original);
    EXPECT_EQ(Names(), (std::vector<std::string>{left[3], left[2], "Track.Challenge.Gbx",
                                                 "Track.Challenge.Gbx.bak1"}));
    EXPECT_EQ(Gbx_Save_Over_File(file_, image_, TGbx_Backup_Kind::Single, Mask).Backup,
              Path("Track.Challenge.Gbx.bak"));
}

TEST_F(Gbx_IO, Save_Keeps_The_Permissions_Of_The_File_And_The_Failure_File)
{
    test::Write_Plain_File(file_, {});
    test::Write_Plain_File(failure_file_, {});
    ASSERT_EQ(chmod(file_.c_str(), 0604), 0);
    ASSERT_EQ(chmod(failure_file_.c_str(), 0600), 0);

    ASSERT_EQ(Gbx_Save_File(file_, image_, 0, Mask), 0U);
    ASSERT_EQ(Gbx_Save_File(file_, image_, Unknown_Method, Mask), 2102U);
    struct stat status {};
    ASSERT_EQ(stat(file_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777U, 0604U);
    ASSERT_EQ(stat(failure_file_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777U, 0600U);
}

TEST_F(Gbx_IO, A_Save_Past_The_File_Size_Limit_Raises_And_Leaves_Both_Files_As_They_Were)
{
    const test::TBytes previous = {'o', 'l', 'd'};
    test::Write_Plain_File(file_, previous);
    // The packed file is 50 bytes long and its failure-file header 32: both pass the limit,
    // which is told apart from a full disk (a short write, 1102).
    const int exit_code = test::Run_With_File_Size_Limit(20, [&] {
        int too_large = 0;
        for (const std::uint32_t method : {Gbx_Method_Literal_Run, Unknown_Method}) {
            try {
                Gbx_Save_File(file_, image_, method, Mask);
            } catch (const EInOutError& error) {
                too_large += error.Error_Code() == In_Out_Error_Code_From_Errno(EFBIG) ? 1 : 0;
            }
        }
        return too_large == 2 ? 0 : 1;
    });
    EXPECT_EQ(exit_code, 0) << "a save past the file size limit did not say the file is too large";
    EXPECT_EQ(test::Read_Plain_File(file_), previous);
    EXPECT_EQ(Names(), std::vector<std::string>{"Track.Challenge.Gbx"});
}

} // namespace
} // namespace plotvane
