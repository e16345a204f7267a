#include "challenge/Demo_Game_Folder.h"

#include "gbx/Gbx_IO.h"
#include "memory/Memory_Tools.h"
#include "platform/Folders.h"
#include "platform/Utf8_Paths.h"

#include <array>
#include <filesystem>
#include <utility>
#include <vector>

namespace plotvane {

namespace {

const std::string Gbx_Signature("GBX\x06\x00" "BUCR", 9);
// The end-of-stream instruction of LZO1X, which closes every expanded image.
const std::string Stream_End_Marker("\x11\x00\x00", 3);
constexpr std::uint32_t Challenge_Class_Id = 0x03043000;
constexpr std::uint32_t Profile_Class_Id = 0x240B5000;
// Closes a list of chunks.
constexpr std::uint32_t End_Of_Chunks = 0xFACADE01;
// The flags that the game gives a string it numbers for later references.
constexpr std::uint32_t Numbered_String_Flags = 0x40000000;

// Writes a masked GBX image front to back through the masked accessors. Strings are numbered
// as the game numbers them: a text is written in place the first time and by reference after.
class TGbx_Writer {
public:
    explicit TGbx_Writer(const TMemory_Mask& mask) : mask_(mask) {}

    std::uint32_t Position() const { return cursor_; }
    TFlexible_Byte_Array Take() { return std::move(image_); }

    void Bytes(const std::string& bytes) { Write_Chars(image_, cursor_, bytes, true, mask_); }
    void Byte(std::uint8_t value) { Bytes(std::string(1, static_cast<char>(value))); }
    void Zeros(std::size_t count) { Bytes(std::string(count, '\0')); }
    void DWord(std::uint32_t value) { Write_DWord(image_, cursor_, value, true, mask_); }

    // A size field whose value is known only once what it measures has been written.
    std::uint32_t Reserve_Size()
    {
        const std::uint32_t at = cursor_;
        DWord(0);
        return at;
    }
    void Fill_Size(std::uint32_t at, std::uint32_t value)
    {
        Write_DWord(image_, at, value, false, mask_);
    }
    // Sets a size reserved just before what it measures, which ends here.
    void Fill_Size_Since(std::uint32_t at) { Fill_Size(at, cursor_ - at - 4); }

    void Text(const std::string& text)
    {
        DWord(static_cast<std::uint32_t>(text.size()));
        Bytes(text);
    }

    void String(const std::string& text)
    {
        for (std::size_t i = 0; i < numbered_.size(); ++i) {
            if (numbered_[i] == text) {
                DWord(static_cast<std::uint32_t>(i + 1) | Numbered_String_Flags);
                return;
            }
        }
        numbered_.push_back(text);
        DWord(Numbered_String_Flags);
        Text(text);
    }
    // Header and body number their strings separately.
    void Restart_Numbering() { numbered_.clear(); }

private:
    TFlexible_Byte_Array image_;
    std::uint32_t cursor_ = 0;
    const TMemory_Mask& mask_;
    std::vector<std::string> numbered_;
};

// An expanded image: header, user data, the body, then the stream's end marker, with the
// compressed-size field holding the body's size plus 3 as in every expanded image.
template <typename TUser_Data, typename TBody>
TFlexible_Byte_Array Gbx_Image(std::uint32_t class_id, TUser_Data write_user_data,
                               TBody write_body, const TMemory_Mask& mask)
{
    TGbx_Writer image(mask);
    image.Bytes(Gbx_Signature);
    image.DWord(class_id);
    const std::uint32_t user_data_size = image.Reserve_Size();
    write_user_data(image);
    image.Fill_Size_Since(user_data_size);
    image.DWord(1); // node count
    image.DWord(0); // external references: none
    const std::uint32_t uncompressed_size = image.Reserve_Size();
    const std::uint32_t compressed_size = image.Reserve_Size();
    image.Restart_Numbering();
    write_body(image);
    const std::uint32_t body_size = image.Position() - compressed_size - 4;
    image.Fill_Size(uncompressed_size, body_size);
    image.Fill_Size(compressed_size, body_size + 3);
    image.Bytes(Stream_End_Marker);
    return image.Take();
}

// One header chunk whose first field is the login, which thus lies at offset 29 with its
// length, where profile readers look; the nickname follows.
void Write_Profile_User_Data(TGbx_Writer& image, const std::string& login)
{
    image.DWord(1); // header chunks
    image.DWord(Profile_Class_Id + 1);
    const std::uint32_t chunk_size = image.Reserve_Size();
    image.Text(login);
    image.Text("Demo Player");
    image.Fill_Size_Since(chunk_size);
}

// The challenge header: a description chunk, then the common chunk whose three strings (map
// uid, environment, author login) start at offset 111, 94 bytes into the user data.
constexpr std::uint32_t Description_Chunk = 0x03043002;
constexpr std::uint32_t Common_Chunk = 0x03043003;
// Medal times, price and lap settings, which no reader of ours looks at, so they stay zero;
// 69 bytes of them put the common chunk's strings at offset 111.
constexpr std::size_t Description_Chunk_Size = 69;
const std::string Demo_Map_Uid = "PlotvaneDemoChallengeUid000";
const std::string Demo_Map_Name = "Plotvane demo";

void Write_Challenge_User_Data(TGbx_Writer& image)
{
    image.DWord(2); // header chunks
    image.DWord(Description_Chunk);
    const std::uint32_t description_size = image.Reserve_Size();
    image.DWord(Common_Chunk);
    const std::uint32_t common_size = image.Reserve_Size();
    image.Zeros(Description_Chunk_Size);
    image.Fill_Size_Since(description_size);
    image.Byte(5);  // chunk version
    image.DWord(3); // version of the string numbering
    image.String(Demo_Map_Uid);
    image.String("Stadium");
    image.String(Demo_Login);
    image.Text(Demo_Map_Name);
    image.Fill_Size_Since(common_size);
}

struct TDemo_Block {
    std::string Name;
    std::array<std::uint8_t, 8> Fields; // rotation, X, Z, Y, variation 1 to 4
    bool Skinned = false;               // followed by an author record with a skin
};

// A short straight road on the ground, from the start line to the finish line, with an
// advertisement wall beside it.
const TDemo_Block Demo_Blocks[] = {
    {"StadiumRoadMainStartLine", {0, 16, 1, 10, 0, 0, 0, 0}},
    {"StadiumRoadMain", {0, 16, 1, 11, 0, 0, 0, 0}},
    {"StadiumRoadMainCheckpoint", {0, 16, 1, 12, 0, 0, 0, 0}},
    {"StadiumPlatformWallPub2", {1, 17, 1, 12, 0, 128, 0, 0}, true},
    {"StadiumRoadMain", {0, 16, 1, 13, 0, 0, 0, 0}},
    {"StadiumRoadMainFinishLine", {0, 16, 1, 14, 0, 0, 0, 0}},
};

// The author, a node reference, then the skin: marker, skin file, and two empty file parts.
void Write_Skin_Record(TGbx_Writer& body)
{
    body.String("Nadeo");
    body.DWord(2);
    body.DWord(0x03059000);
    body.DWord(0);
    body.Text("Skins\\Any\\Advertisement\\Plotvane.zip");
    body.Byte(1);
    body.DWord(0);
    body.Byte(1);
    body.DWord(0);
    body.DWord(End_Of_Chunks);
}

// The body from its first chunk to the end of the block list, laid out as the block walk
// steps over it; the stretches that it skips unread are zero.
void Write_Challenge_Body(TGbx_Writer& body)
{
    body.DWord(0x0304300D);
    body.DWord(3); // leading entries, all unset
    for (int i = 0; i < 3; ++i) {
        body.DWord(0xFFFFFFFF);
    }
    body.Zeros(96);
    for (int i = 0; i < 4; ++i) {
        body.Zeros(8);
        body.Text("");
    }
    body.Zeros(4);
    body.String(Demo_Map_Uid);
    body.String("Stadium"); // the collection
    body.String(Demo_Login);
    body.Text(Demo_Map_Name);
    body.String("Day"); // decoration: mood, collection, author
    body.String("Stadium");
    body.String("Nadeo");
    // The size in cells (X, Z the height, Y) of a Stadium challenge, then 8 bytes unread.
    for (int i = 0; i < 3; ++i) {
        body.DWord(32);
    }
    body.Zeros(8);
    body.DWord(static_cast<std::uint32_t>(std::size(Demo_Blocks)));
    for (const TDemo_Block& block : Demo_Blocks) {
        body.String(block.Name);
        body.Bytes(std::string(block.Fields.begin(), block.Fields.end()));
        if (block.Skinned) {
            Write_Skin_Record(body);
        }
    }
    // The next chunk, whose id ends the block list, with its three unset node references.
    body.DWord(0x03043021);
    for (int i = 0; i < 3; ++i) {
        body.DWord(0xFFFFFFFF);
    }
    body.DWord(End_Of_Chunks);
}

std::uint32_t Save_Demo_File(const std::string& path, const TFlexible_Byte_Array& image,
                             const TMemory_Mask& mask)
{
    Create_Folders(Utf8_From_Path(Path_From_Utf8(path).parent_path()));
    return Gbx_Save_File(path, image, 0, mask);
}

} // namespace

std::string Demo_Profile_Path(const std::string& game_folder)
{
    return Utf8_From_Path(Path_From_Utf8(game_folder) / "Profiles" / "Demo.Profile.Gbx");
}

std::string Demo_Challenge_Path(const std::string& game_folder)
{
    return Utf8_From_Path(Path_From_Utf8(game_folder) / "Tracks" / "Challenges" /
                          "Demo.Challenge.Gbx");
}

TFlexible_Byte_Array Demo_Profile_Image(const TMemory_Mask& mask, const std::string& login)
{
    // The body holds nothing but the end of its chunks.
    return Gbx_Image(Profile_Class_Id,
                     [&login](TGbx_Writer& image) { Write_Profile_User_Data(image, login); },
                     [](TGbx_Writer& body) { body.DWord(End_Of_Chunks); }, mask);
}

TFlexible_Byte_Array Demo_Challenge_Image(const TMemory_Mask& mask)
{
    return Gbx_Image(Challenge_Class_Id, Write_Challenge_User_Data, Write_Challenge_Body, mask);
}

std::uint32_t Make_Demo_Game_Folder(const std::string& game_folder, const TMemory_Mask& mask)
{
    const std::uint32_t status =
        Save_Demo_File(Demo_Profile_Path(game_folder), Demo_Profile_Image(mask), mask);
    if (status != 0) {
        return status;
    }
    return Save_Demo_File(Demo_Challenge_Path(game_folder), Demo_Challenge_Image(mask), mask);
}

} // namespace plotvane
