#pragma once

// Helpers shared by the fuzz targets: the invariant check, the mask a run uses, masked copies
// of an input and little-endian fields of plain bytes.

#include "memory/Base_Structure.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

// Stops the run when an invariant is broken. libFuzzer saves the input that did it; the corpus
// replay test fails on it.
#define PLOTVANE_FUZZ_CHECK(condition)                                                      \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,        \
                         #condition);                                                       \
            __builtin_trap();                                                               \
        }                                                                                   \
    } while (0)

namespace plotvane::fuzz {

using TPlain_Bytes = std::vector<std::uint8_t>;

// The memory mask of a run, from 0 to 254. It is taken from the input's length so that a run is
// reproducible from its input alone and every mask value comes up as the lengths vary.
inline TMemory_Mask Mask_For(std::size_t size)
{
    return static_cast<TMemory_Mask>(size % 255);
}

// Another valid mask, to check that a result does not depend on the mask.
inline TMemory_Mask Other_Mask(TMemory_Mask mask)
{
    return static_cast<TMemory_Mask>((mask + 101) % 255);
}

// memcmp that accepts the null data pointer of an empty vector.
inline bool Same_Bytes(const std::uint8_t* left, const std::uint8_t* right, std::size_t count)
{
    return count == 0 || std::memcmp(left, right, count) == 0;
}

inline TFlexible_Byte_Array Masked(const std::uint8_t* data, std::size_t size, TMemory_Mask mask)
{
    TFlexible_Byte_Array stored(data, data + size);
    for (auto& byte : stored) {
        byte = static_cast<std::uint8_t>(byte ^ mask);
    }
    return stored;
}

inline TPlain_Bytes Unmasked(const TFlexible_Byte_Array& stored, TMemory_Mask mask)
{
    TPlain_Bytes plain(stored);
    for (auto& byte : plain) {
        byte = static_cast<std::uint8_t>(byte ^ mask);
    }
    return plain;
}

// Little-endian value of plain bytes; the caller has checked that they are there.
inline std::uint32_t Le16_At(const std::uint8_t* data, std::size_t offset)
{
    return static_cast<std::uint32_t>(data[offset]) |
           static_cast<std::uint32_t>(data[offset + 1]) << 8;
}

inline std::uint32_t Le32_At(const std::uint8_t* data, std::size_t offset)
{
    return Le16_At(data, offset) | Le16_At(data, offset + 2) << 16;
}

inline void Append_Le32(TPlain_Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// The nine signature bytes of every GBX file the program reads: "GBX", version 6, "BUCR".
inline void Append_Gbx_Signature(TPlain_Bytes& bytes)
{
    bytes.insert(bytes.end(), {0x47, 0x42, 0x58, 0x06, 0x00, 0x42, 0x55, 0x43, 0x52});
}

constexpr std::uint32_t Challenge_Class_Id = 0x03043000;
constexpr std::uint32_t Profile_Class_Id = 0x240B5000;
constexpr std::uint32_t Replay_Class_Id = 0x03093000;

// True when the plain bytes begin with the signature and the given class id.
inline bool Has_Gbx_Header(const std::uint8_t* data, std::size_t size, std::uint32_t class_id)
{
    static const std::uint8_t signature[] = {0x47, 0x42, 0x58, 0x06, 0x00,
                                             0x42, 0x55, 0x43, 0x52};
    if (size < 13) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof signature; ++i) {
        if (data[i] != signature[i]) {
            return false;
        }
    }
    return Le32_At(data, 9) == class_id;
}

// A folder of this process for the targets that go through files, removed with everything in
// it when the process ends.
class TScratch_Folder {
public:
    explicit TScratch_Folder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("plotvane-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path_);
    }
    TScratch_Folder(const TScratch_Folder&) = delete;
    TScratch_Folder& operator=(const TScratch_Folder&) = delete;
    ~TScratch_Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string Path_Of(const std::string& file_name) const
    {
        return (path_ / file_name).string();
    }

    // Writes the bytes as the whole file and returns its path.
    std::string Write(const std::string& file_name, const std::uint8_t* data,
                      std::size_t size) const
    {
        const std::string path = Path_Of(file_name);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        file.close();
        PLOTVANE_FUZZ_CHECK(file.good());
        return path;
    }

    // The whole file, or nothing when it is missing.
    static bool Read(const std::string& path, TPlain_Bytes& bytes)
    {
        std::ifstream file(path, std::ios::binary);
        if (!file.is_open()) {
            return false;
        }
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    }

private:
    std::filesystem::path path_;
};

} // namespace plotvane::fuzz
