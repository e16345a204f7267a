#include "tests/support/Large_Challenge.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"

#include <fstream>
#include <stdexcept>

namespace plotvane::test {

namespace {

// Mask 0 leaves stored bytes plain, so the image can be edited as the file's own bytes.
constexpr TMemory_Mask Plain = 0;
// A block whose name is a reference: 4 bytes of name, then rotation, X, Z, Y, variations 1-4.
constexpr std::size_t Reference_Record_Size = 12;
constexpr std::size_t Record_X = 5;
constexpr std::size_t Record_Z = 6;
constexpr std::size_t Record_Y = 7;
constexpr std::uint32_t Grid_Side = 32;

void Put_DWord(TBytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TBytes Expanded_E02()
{
    const std::string path = Corpus_File("E02-Endurance.Challenge.Gbx");
    if (path.empty()) {
        throw std::runtime_error(Corpus_Missing_Message());
    }
    TFlexible_Byte_Array image;
    if (Gbx_Uncompress(Read_Plain_File(path), image, Plain) != Status_Ok) {
        throw std::runtime_error("E02-Endurance.Challenge.Gbx does not expand");
    }
    return image;
}

// Copy `i` of the record stands at the i-th place of a 32 x 32 x 32 grid, X fastest, then Z,
// then Y: no two copies within the reach of an LZO1X match are alike.
void Place_Copy(TBytes& record, std::uint32_t i)
{
    record[Record_X] = static_cast<std::uint8_t>(i % Grid_Side);
    record[Record_Z] = static_cast<std::uint8_t>(i / Grid_Side % Grid_Side);
    record[Record_Y] = static_cast<std::uint8_t>(i / (Grid_Side * Grid_Side) % Grid_Side);
}

} // namespace

std::vector<std::uint8_t> Make_Large_Challenge_File(std::uint32_t block_count)
{
    if (block_count < Large_Challenge_Real_Blocks) {
        throw std::invalid_argument("a large challenge holds at least E02-Endurance's blocks");
    }
    const TBytes image = Expanded_E02();
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Plain);
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, Plain);
    if (!list.Complete || list.Block_Offsets.size() != Large_Challenge_Real_Blocks) {
        throw std::runtime_error("E02-Endurance.Challenge.Gbx has not the expected blocks");
    }
    const std::size_t body_offset = info.Data_Offset;
    const std::size_t last_block = list.Block_Offsets.back();
    const std::size_t list_end = last_block + Reference_Record_Size;
    // The record repeated must be a whole one: a name by reference (index not 0) and no author
    // record after it.
    if (image.at(last_block) == 0 && image.at(last_block + 1) == 0) {
        throw std::runtime_error("E02-Endurance's last block is not named by reference");
    }
    TBytes record(image.begin() + static_cast<std::ptrdiff_t>(last_block),
                  image.begin() + static_cast<std::ptrdiff_t>(list_end));

    TBytes body(image.begin() + static_cast<std::ptrdiff_t>(body_offset),
                image.begin() + static_cast<std::ptrdiff_t>(list_end));
    const std::uint32_t copies = block_count - Large_Challenge_Real_Blocks;
    body.reserve(body.size() + std::size_t{copies} * Reference_Record_Size +
                 (image.size() - list_end));
    for (std::uint32_t i = 0; i < copies; ++i) {
        Place_Copy(record, i);
        body.insert(body.end(), record.begin(), record.end());
    }
    // The rest of the body, without the image's 3-byte end marker.
    body.insert(body.end(), image.begin() + static_cast<std::ptrdiff_t>(list_end), image.end() - 3);
    // The block count stands just before block 0.
    Put_DWord(body, list.Block_Offsets.front() - 4 - body_offset, block_count);

    const TBytes stream = Lzo_Compress(body, false);
    TBytes file(image.begin(),
                image.begin() + static_cast<std::ptrdiff_t>(list.Size_Fields_Offset));
    Append_DWord(file, static_cast<std::uint32_t>(body.size()));
    Append_DWord(file, static_cast<std::uint32_t>(stream.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

void Write_Large_Challenge_File(const std::string& path, std::uint32_t block_count)
{
    const TBytes file = Make_Large_Challenge_File(block_count);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("could not write " + path);
    }
}

} // namespace plotvane::test
