#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <fstream>
#include <iterator>
#include <random>

namespace plotvane::test {

void Append_DWord(TBytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

TBytes Make_Gbx_File(std::uint32_t class_id, const TBytes& user_data,
                     std::uint32_t uncompressed_size, const TBytes& stream)
{
    TBytes file = {0x47, 0x42, 0x58, 0x06, 0x00, 0x42, 0x55, 0x43, 0x52};
    Append_DWord(file, class_id);
    Append_DWord(file, static_cast<std::uint32_t>(user_data.size()));
    file.insert(file.end(), user_data.begin(), user_data.end());
    Append_DWord(file, 1); // node count
    Append_DWord(file, 0); // external references
    Append_DWord(file, uncompressed_size);
    Append_DWord(file, static_cast<std::uint32_t>(stream.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

TBytes Make_Lzo_Gbx_File(std::uint32_t class_id, const TBytes& user_data, const TBytes& body,
                         bool optimal)
{
    return Make_Gbx_File(class_id, user_data, static_cast<std::uint32_t>(body.size()),
                         Lzo_Compress(body, optimal));
}

TBytes Lzo_Compress(const TBytes& body, bool optimal)
{
    static const int initialised = lzo_init();
    EXPECT_EQ(initialised, LZO_E_OK);
    TBytes stream(body.size() + body.size() / 16 + 64 + 3);
    TBytes work(optimal ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
    lzo_uint stream_size = stream.size();
    const int result = optimal
        ? lzo1x_999_compress(body.data(), body.size(), stream.data(), &stream_size, work.data())
        : lzo1x_1_compress(body.data(), body.size(), stream.data(), &stream_size, work.data());
    EXPECT_EQ(result, LZO_E_OK);
    stream.resize(stream_size);
    return stream;
}

TBytes Lzo_Decompress(const TBytes& stream, std::size_t expected_size)
{
    TBytes body(expected_size);
    lzo_uint body_size = body.size();
    const int result = lzo1x_decompress_safe(stream.data(), stream.size(), body.data(),
                                             &body_size, nullptr);
    EXPECT_EQ(result, LZO_E_OK) << "liblzo2 could not decode the stream";
    body.resize(body_size);
    return body;
}

TBytes Lzo_Expanded_Image(const TBytes& file)
{
    const std::size_t size_fields = 25 + std::size_t{Little_Endian_At(file, 13)};
    const std::uint32_t body_size = Little_Endian_At(file, size_fields);
    const std::size_t stream_start = size_fields + 8;
    const TBytes body = Lzo_Decompress(
        TBytes(file.begin() + static_cast<std::ptrdiff_t>(stream_start), file.end()), body_size);
    EXPECT_EQ(body.size(), body_size) << "liblzo2 expanded the body to another size";
    TBytes image(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(stream_start));
    const std::uint32_t compressed_size = body_size + 3;
    for (std::size_t i = 0; i < 4; ++i) {
        image[size_fields + 4 + i] = static_cast<std::uint8_t>(compressed_size >> (8 * i));
    }
    image.insert(image.end(), body.begin(), body.end());
    image.insert(image.end(), {0x11, 0x00, 0x00}); // the end-of-stream instruction
    return image;
}

TFlexible_Byte_Array Masked(const TBytes& plain, std::uint8_t mask)
{
    TFlexible_Byte_Array stored(plain);
    for (auto& byte : stored) {
        byte = static_cast<std::uint8_t>(byte ^ mask);
    }
    return stored;
}

TBytes Unmasked(const TFlexible_Byte_Array& stored, std::uint8_t mask)
{
    return Masked(stored, mask);
}

TBytes Read_Plain_File(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Write_Plain_File(const std::string& path, const TBytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << "could not write " << path;
}

TBytes Compressible_Body(std::size_t size, std::uint32_t seed)
{
    std::minstd_rand random(seed);
    TBytes body;
    body.reserve(size);
    TBytes record = {0x10, 0x00, 0x00, 0x40, 0x07, 'S', 't', 'a', 'd', 'i', 'u', 'm', 2, 14, 1, 9};
    while (body.size() < size) {
        switch (random() % 4) {
        case 0: // a repeated record with a few bytes changed, like a block list
            record[12 + random() % 4] = static_cast<std::uint8_t>(random());
            body.insert(body.end(), record.begin(), record.end());
            break;
        case 1: // a run of one byte
            body.insert(body.end(), 1 + random() % 40, static_cast<std::uint8_t>(random() % 3));
            break;
        default: // noise
            for (std::uint32_t i = random() % 24; i > 0; --i) {
                body.push_back(static_cast<std::uint8_t>(random()));
            }
        }
    }
    body.resize(size);
    return body;
}

std::uint32_t Little_Endian_At(const TBytes& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{bytes.at(offset + i)} << (8 * i);
    }
    return value;
}

} // namespace plotvane::test
