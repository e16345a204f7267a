// Gbx_Uncompress, twice per input.
//
// The input as a file: beyond staying inside its arrays, a successful expansion must give an
// image of the documented shape, come from a stream closed by the end-of-stream instruction,
// agree with liblzo2, and survive a repacking by Gbx_Compress unchanged.
//
// The input as a bare LZO1X stream, closed here by the end-of-stream instruction: whenever
// liblzo2 decodes it, a file holding it must expand to the same body. This reaches the matches
// of every kind far more often than mutated files do.

#include "fuzz/Fuzz_Support.h"
#include "gbx/Gbx_Memory_Tools.h"

#include <lzo/lzo1x.h>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

constexpr std::uint8_t End_Of_Stream[] = {0x11, 0x00, 0x00};
// Streams that liblzo2 expands to more than this are left out of the comparison.
constexpr std::size_t Longest_Compared_Body = std::size_t{4} << 20;

void Require_Liblzo2()
{
    static const int initialised = lzo_init();
    PLOTVANE_FUZZ_CHECK(initialised == LZO_E_OK);
}

// liblzo2 must expand the stream to the same body as the image holds.
void Check_Against_Liblzo2(const std::uint8_t* stream, std::size_t stream_size,
                           const TPlain_Bytes& body)
{
    Require_Liblzo2();
    TPlain_Bytes expected(body.size() + 1);
    lzo_uint expected_size = body.size();
    const int result = lzo1x_decompress_safe(stream, stream_size, expected.data(),
                                             &expected_size, nullptr);
    PLOTVANE_FUZZ_CHECK(result == LZO_E_OK);
    PLOTVANE_FUZZ_CHECK(expected_size == body.size());
    PLOTVANE_FUZZ_CHECK(Same_Bytes(expected.data(), body.data(), body.size()));
}

void Check_Image(const std::uint8_t* data, std::size_t size, const TFlexible_Byte_Array& image,
                 const TGbx_Compression_Info& file_info, TMemory_Mask mask)
{
    const std::size_t body_offset = file_info.Data_Offset;
    const std::size_t body_size = file_info.Uncompressed_Size;
    PLOTVANE_FUZZ_CHECK(image.size() == body_offset + body_size + 3);

    // The header up to the compressed-size field and the end marker are the file's bytes.
    const TPlain_Bytes plain = Unmasked(image, mask);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(plain.data(), data, body_offset - 4));
    PLOTVANE_FUZZ_CHECK(Le32_At(plain.data(), body_offset - 4) == body_size + 3);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(plain.data() + body_offset + body_size, data + size - 3, 3));

    const TGbx_Compression_Info image_info = Gbx_Get_Compression_Info(image, mask);
    PLOTVANE_FUZZ_CHECK(image_info.Data_Offset == file_info.Data_Offset);
    PLOTVANE_FUZZ_CHECK(image_info.Uncompressed_Size == file_info.Uncompressed_Size);
    PLOTVANE_FUZZ_CHECK(image_info.Compressed_Size == file_info.Uncompressed_Size + 3);

    // Only a stream closed by the end-of-stream instruction expands, and liblzo2 agrees on it.
    PLOTVANE_FUZZ_CHECK(Same_Bytes(data + size - 3, End_Of_Stream, 3));
    const TPlain_Bytes body(plain.begin() + static_cast<std::ptrdiff_t>(body_offset),
                            plain.end() - 3);
    Check_Against_Liblzo2(data + body_offset, size - body_offset, body);

    // Repacking gives a file that expands back to the very same image.
    TFlexible_Byte_Array packed;
    PLOTVANE_FUZZ_CHECK(Gbx_Compress(image, packed, 0, mask) == Status_Ok);
    PLOTVANE_FUZZ_CHECK(packed.size() >= image.size());
    PLOTVANE_FUZZ_CHECK(Same_Bytes(packed.data(), image.data(), body_offset - 4));
    TFlexible_Byte_Array again;
    PLOTVANE_FUZZ_CHECK(Gbx_Uncompress(packed, again, mask) == Status_Ok);
    PLOTVANE_FUZZ_CHECK(again == image);
}

void Check_Input_As_File(const std::uint8_t* data, std::size_t size, TMemory_Mask mask)
{
    const TFlexible_Byte_Array file = Masked(data, size, mask);
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(file, mask);

    TFlexible_Byte_Array image;
    const std::uint32_t status = Gbx_Uncompress(file, image, mask);

    // The mask changes how bytes are stored, never what they mean.
    const TMemory_Mask other_mask = Other_Mask(mask);
    TFlexible_Byte_Array other_image;
    PLOTVANE_FUZZ_CHECK(Gbx_Uncompress(Masked(data, size, other_mask), other_image, other_mask) ==
                        status);
    PLOTVANE_FUZZ_CHECK(Unmasked(other_image, other_mask) == Unmasked(image, mask));
    if (status != Status_Ok) {
        PLOTVANE_FUZZ_CHECK(image.empty());
        PLOTVANE_FUZZ_CHECK(status == (info.Data_Offset == 0 ? Status_Uncompress_No_Body
                                                             : Status_Uncompress_Bad_Stream));
        return;
    }
    PLOTVANE_FUZZ_CHECK(info.Data_Offset >= 33);
    PLOTVANE_FUZZ_CHECK(std::uint64_t{info.Data_Offset} + info.Compressed_Size == size);
    Check_Image(data, size, image, info, mask);
}

// True when the stream ends with opcode 16 and zero bytes only. liblzo2 then reads the closing
// 17, 0, 0 as the rest of one end-of-stream instruction (17 as its length byte), while
// Gbx_Uncompress, which never decodes the last three bytes, meets an instruction cut short.
bool Ends_Inside_An_Extended_End_Instruction(const std::uint8_t* data, std::size_t size)
{
    std::size_t end = size;
    while (end > 0 && data[end - 1] == 0) {
        --end;
    }
    return end > 0 && data[end - 1] == 16;
}

void Check_Input_As_Stream(const std::uint8_t* data, std::size_t size, TMemory_Mask mask)
{
    TPlain_Bytes stream(data, data + size);
    stream.insert(stream.end(), End_Of_Stream, End_Of_Stream + sizeof End_Of_Stream);
    static TPlain_Bytes body(Longest_Compared_Body);
    Require_Liblzo2();
    lzo_uint body_size = body.size();
    if (lzo1x_decompress_safe(stream.data(), stream.size(), body.data(), &body_size, nullptr) !=
        LZO_E_OK) {
        return;
    }
    TPlain_Bytes plain_file;
    Append_Gbx_Signature(plain_file);
    Append_Le32(plain_file, Challenge_Class_Id);
    Append_Le32(plain_file, 0); // user data size
    Append_Le32(plain_file, 1); // node count
    Append_Le32(plain_file, 0); // external references
    Append_Le32(plain_file, static_cast<std::uint32_t>(body_size));
    Append_Le32(plain_file, static_cast<std::uint32_t>(stream.size()));
    const std::size_t body_offset = plain_file.size();
    plain_file.insert(plain_file.end(), stream.begin(), stream.end());

    TFlexible_Byte_Array image;
    const std::uint32_t status =
        Gbx_Uncompress(Masked(plain_file.data(), plain_file.size(), mask), image, mask);
    if (status != Status_Ok && Ends_Inside_An_Extended_End_Instruction(data, size)) {
        return;
    }
    PLOTVANE_FUZZ_CHECK(status == Status_Ok);
    PLOTVANE_FUZZ_CHECK(image.size() == body_offset + body_size + sizeof End_Of_Stream);
    const TPlain_Bytes plain_image = Unmasked(image, mask);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(plain_image.data() + body_offset, body.data(), body_size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    Check_Input_As_File(data, size, mask);
    Check_Input_As_Stream(data, size, mask);
    return 0;
}
