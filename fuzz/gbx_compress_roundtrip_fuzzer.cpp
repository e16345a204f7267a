// Gbx_Compress, by each method.
//
// The input as an expanded image, as the block editor may leave one: whatever it holds, packing
// stays inside the image, refuses an image not closed by 17, 0, 0, and a status of 0 for an
// image whose two size fields agree means a file that expands back to the image.
//
// The input as a body, wrapped into a well-formed image of a challenge, profile or replay with
// some user data: packing as one literal run must write the published encoding of that run,
// which liblzo2 decodes to the body and Gbx_Uncompress expands back to the image; an unknown
// method and a wrong uncompressed-size field must fail as documented. Packed by the encoder
// (greedy and optimal, the body alone and twice in a row, so that long matches come up), the
// stream must stay within Lzo_Encoded_Size_Bound, be the same under another mask, and liblzo2
// and Gbx_Uncompress must expand it to the body and the image.

#include "fuzz/Fuzz_Support.h"
#include "gbx/Gbx_Lzo_Encoder.h"
#include "gbx/Gbx_Memory_Tools.h"

#include <lzo/lzo1x.h>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

constexpr std::size_t End_Marker_Size = 3;

void Check_Input_As_Image(const std::uint8_t* data, std::size_t size, TMemory_Mask mask,
                          std::uint32_t method)
{
    const TFlexible_Byte_Array image = Masked(data, size, mask);
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, mask);
    TFlexible_Byte_Array packed;
    const std::uint32_t status = Gbx_Compress(image, packed, method, mask);
    PLOTVANE_FUZZ_CHECK(status == Status_Ok || status == Status_Compress_No_Body ||
                        status == Status_Compress_Check_Failed);
    if (status == Status_Compress_No_Body) {
        PLOTVANE_FUZZ_CHECK(packed.empty());
        return;
    }
    // Packing is accepted only for an image whose length is D plus its compressed-size field
    // and whose end marker is the end-of-stream instruction.
    PLOTVANE_FUZZ_CHECK(info.Data_Offset != 0);
    PLOTVANE_FUZZ_CHECK(std::uint64_t{info.Data_Offset} + info.Compressed_Size == size);
    PLOTVANE_FUZZ_CHECK(info.Compressed_Size >= End_Marker_Size);
    PLOTVANE_FUZZ_CHECK(data[size - 3] == 0x11 && data[size - 2] == 0 && data[size - 1] == 0);
    const std::uint32_t run = info.Compressed_Size - End_Marker_Size;
    // A literal run of up to 18 bytes is written from its length alone; the encoder's stream
    // always reads back to the body's own length.
    const std::uint32_t unchecked = method == Gbx_Method_Literal_Run ? 18 : 0;
    if (status == Status_Compress_Check_Failed) {
        PLOTVANE_FUZZ_CHECK(run > unchecked && info.Uncompressed_Size != run);
        return;
    }
    PLOTVANE_FUZZ_CHECK(run <= unchecked || info.Uncompressed_Size == run);
    if (info.Uncompressed_Size == run) {
        TFlexible_Byte_Array again;
        PLOTVANE_FUZZ_CHECK(Gbx_Uncompress(packed, again, mask) == Status_Ok);
        PLOTVANE_FUZZ_CHECK(again == image);
    }
}

// The instruction bytes of a literal run of `run` bytes at the start of an LZO1X stream.
TPlain_Bytes Literal_Run_Instruction(std::size_t run)
{
    if (run == 0) {
        return {};
    }
    if (run < 4) {
        return {static_cast<std::uint8_t>(17 + run)};
    }
    if (run <= 18) {
        return {static_cast<std::uint8_t>(run - 3)};
    }
    // 18 + 255 per further 0 byte + a last byte from 1 to 255.
    const std::size_t further_zeros = (run - 19) / 255;
    TPlain_Bytes instruction(further_zeros + 1, 0);
    instruction.push_back(static_cast<std::uint8_t>(run - 18 - 255 * further_zeros));
    return instruction;
}

TPlain_Bytes Wrapped_Image(const std::uint8_t* body, std::size_t size,
                           std::uint32_t uncompressed_size)
{
    static const std::uint32_t class_ids[] = {Challenge_Class_Id, Profile_Class_Id,
                                              Replay_Class_Id};
    TPlain_Bytes image;
    Append_Gbx_Signature(image);
    Append_Le32(image, class_ids[size % 3]);
    const std::size_t user_data_size = (size * 7) % 150;
    Append_Le32(image, static_cast<std::uint32_t>(user_data_size));
    for (std::size_t i = 0; i < user_data_size; ++i) {
        image.push_back(static_cast<std::uint8_t>(i * 13 + 5));
    }
    Append_Le32(image, 1); // node count
    Append_Le32(image, 0); // external references
    Append_Le32(image, uncompressed_size);
    Append_Le32(image, static_cast<std::uint32_t>(size + End_Marker_Size));
    image.insert(image.end(), body, body + size);
    image.insert(image.end(), {0x11, 0x00, 0x00});
    return image;
}

void Check_Input_As_Body(const std::uint8_t* body, std::size_t size, TMemory_Mask mask)
{
    const TPlain_Bytes plain_image = Wrapped_Image(body, size, static_cast<std::uint32_t>(size));
    const TFlexible_Byte_Array image = Masked(plain_image.data(), plain_image.size(), mask);
    const std::size_t body_offset = plain_image.size() - size - End_Marker_Size;

    TFlexible_Byte_Array packed;
    PLOTVANE_FUZZ_CHECK(Gbx_Compress(image, packed, 0, mask) == Status_Ok);
    const TPlain_Bytes file = Unmasked(packed, mask);
    const TPlain_Bytes instruction = Literal_Run_Instruction(size);
    PLOTVANE_FUZZ_CHECK(file.size() == plain_image.size() + instruction.size());
    PLOTVANE_FUZZ_CHECK(Same_Bytes(file.data(), plain_image.data(), body_offset - 4));
    PLOTVANE_FUZZ_CHECK(Le32_At(file.data(), body_offset - 4) ==
                        instruction.size() + size + End_Marker_Size);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(file.data() + body_offset, instruction.data(),
                                    instruction.size()));
    PLOTVANE_FUZZ_CHECK(Same_Bytes(file.data() + body_offset + instruction.size(), body, size));

    // liblzo2 reads the stream as the body.
    static const int initialised = lzo_init();
    PLOTVANE_FUZZ_CHECK(initialised == LZO_E_OK);
    TPlain_Bytes decoded(size + 1);
    lzo_uint decoded_size = size;
    PLOTVANE_FUZZ_CHECK(lzo1x_decompress_safe(file.data() + body_offset,
                                              file.size() - body_offset, decoded.data(),
                                              &decoded_size, nullptr) == LZO_E_OK);
    PLOTVANE_FUZZ_CHECK(decoded_size == size);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(decoded.data(), body, size));

    TFlexible_Byte_Array again;
    PLOTVANE_FUZZ_CHECK(Gbx_Uncompress(packed, again, mask) == Status_Ok);
    PLOTVANE_FUZZ_CHECK(again == image);

    // An unknown method leaves the header up to the compressed-size field behind.
    TFlexible_Byte_Array refused;
    PLOTVANE_FUZZ_CHECK(Gbx_Compress(image, refused, Gbx_Method_Best + 1, mask) ==
                        Status_Compress_Bad_Method);
    PLOTVANE_FUZZ_CHECK(refused.size() == body_offset - 4);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(refused.data(), image.data(), refused.size()));

    // An uncompressed-size field that disagrees is caught by the check of a long run only.
    const TPlain_Bytes plain_wrong =
        Wrapped_Image(body, size, static_cast<std::uint32_t>(size + 1));
    TFlexible_Byte_Array wrong_packed;
    const std::uint32_t wrong_status =
        Gbx_Compress(Masked(plain_wrong.data(), plain_wrong.size(), mask), wrong_packed, 0, mask);
    PLOTVANE_FUZZ_CHECK(wrong_status == (size > 18 ? Status_Compress_Check_Failed : Status_Ok));
    PLOTVANE_FUZZ_CHECK(wrong_packed.size() == packed.size());
}

// The body packed by the encoder: the header but for its compressed-size field, a stream within
// the encoder's bound that reads the same under another mask, which liblzo2 decodes to the body
// and Gbx_Uncompress expands back to the image.
void Check_Packed_Body(const TPlain_Bytes& body, std::uint32_t method, TMemory_Mask mask)
{
    const TPlain_Bytes plain_image =
        Wrapped_Image(body.data(), body.size(), static_cast<std::uint32_t>(body.size()));
    const TFlexible_Byte_Array image = Masked(plain_image.data(), plain_image.size(), mask);
    const std::size_t body_offset = plain_image.size() - body.size() - End_Marker_Size;
    TFlexible_Byte_Array packed;
    PLOTVANE_FUZZ_CHECK(Gbx_Compress(image, packed, method, mask) == Status_Ok);
    const TPlain_Bytes file = Unmasked(packed, mask);
    PLOTVANE_FUZZ_CHECK(file.size() >= body_offset + End_Marker_Size);
    const std::size_t stream_size = file.size() - body_offset;
    PLOTVANE_FUZZ_CHECK(stream_size <= Lzo_Encoded_Size_Bound(body.size()) + End_Marker_Size);
    PLOTVANE_FUZZ_CHECK(Same_Bytes(file.data(), plain_image.data(), body_offset - 4));
    PLOTVANE_FUZZ_CHECK(Le32_At(file.data(), body_offset - 4) == stream_size);

    const TMemory_Mask other_mask = Other_Mask(mask);
    TFlexible_Byte_Array other_packed;
    PLOTVANE_FUZZ_CHECK(Gbx_Compress(Masked(plain_image.data(), plain_image.size(), other_mask),
                                     other_packed, method, other_mask) == Status_Ok);
    PLOTVANE_FUZZ_CHECK(Unmasked(other_packed, other_mask) == file);

    TPlain_Bytes decoded(body.size() + 1);
    lzo_uint decoded_size = body.size();
    PLOTVANE_FUZZ_CHECK(lzo1x_decompress_safe(file.data() + body_offset, stream_size,
                                              decoded.data(), &decoded_size,
                                              nullptr) == LZO_E_OK);
    PLOTVANE_FUZZ_CHECK(decoded_size == body.size());
    PLOTVANE_FUZZ_CHECK(Same_Bytes(decoded.data(), body.data(), body.size()));

    TFlexible_Byte_Array again;
    PLOTVANE_FUZZ_CHECK(Gbx_Uncompress(packed, again, mask) == Status_Ok);
    PLOTVANE_FUZZ_CHECK(again == image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    for (const std::uint32_t method :
         {Gbx_Method_Literal_Run, Gbx_Method_Packed, Gbx_Method_Best}) {
        Check_Input_As_Image(data, size, mask, method);
    }
    Check_Input_As_Body(data, size, mask);
    TPlain_Bytes body(data, data + size);
    for (int copies = 0; copies < 2; ++copies) {
        Check_Packed_Body(body, Gbx_Method_Packed, mask);
        Check_Packed_Body(body, Gbx_Method_Best, mask);
        body.insert(body.end(), data, data + size);
    }
    return 0;
}
