#pragma once

#include "challenge/Gbx_Challenge_Read.h"

#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plotvane::test {

inline std::vector<std::uint8_t> Field_Bytes(const TChallenge_Block& block)
{
    return {block.Rotation,      block.X,
            block.Z,             block.Y,
            block.Variations[0], block.Variations[1],
            block.Variations[2], block.Variations[3]};
}

// The blocks of a file on disk, its body expanded by liblzo2 and walked by the core.
inline std::vector<TChallenge_Block> Blocks_Expanded_By_Liblzo2(const std::string& path)
{
    const TMemory_Mask mask = 0x4E;
    const TFlexible_Byte_Array image = Masked(Lzo_Expanded_Image(Read_Plain_File(path)), mask);
    const auto list = Challenge_Read_Block_List(image, mask);
    EXPECT_TRUE(list.Complete);
    std::vector<TChallenge_Block> blocks;
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        blocks.push_back(Challenge_Read_Block(image, list, i, mask).value());
    }
    return blocks;
}

} // namespace plotvane::test
