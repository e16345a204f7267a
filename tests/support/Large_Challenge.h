#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plotvane::test {

// Plain bytes of a whole challenge file in the game's own format, holding `block_count` blocks:
// the real blocks of E02-Endurance from the shared corpus, then copies of its last block
// record, each at the next place of a 32 x 32 x 32 grid (X fastest, then Z, then Y), as a
// generated map fills space. The body is packed with liblzo2's lzo1x_1_compress, as the game
// packs: each copy then becomes an 11-byte match at distance 12 and one literal (its X).
// Throws std::runtime_error when the corpus is absent and std::invalid_argument when
// `block_count` is below E02-Endurance's own block count.
std::vector<std::uint8_t> Make_Large_Challenge_File(std::uint32_t block_count);

// Writes Make_Large_Challenge_File(block_count) to `path`; throws std::runtime_error when the
// file cannot be written whole.
void Write_Large_Challenge_File(const std::string& path, std::uint32_t block_count);

// The number of blocks of E02-Endurance, the fewest that a large challenge holds.
constexpr std::uint32_t Large_Challenge_Real_Blocks = 907;

} // namespace plotvane::test
