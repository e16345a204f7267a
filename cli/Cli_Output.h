#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace plotvane {

// Writers of report pieces at a place in memory, each returning the end of what it wrote. The
// caller has made room for the most that each can write.
namespace put {

namespace detail {

// Two digits at a time halve the divisions of a decimal and the shifts of a hexadecimal.
constexpr std::array<char, 200> Make_Decimal_Pairs()
{
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
inline constexpr std::array<char, 200> Decimal_Pairs = Make_Decimal_Pairs(); // "00" to "99"

constexpr std::array<char, 512> Make_Hexadecimal_Pairs()
{
    constexpr char Digits[] = "0123456789ABCDEF";
    std::array<char, 512> pairs{};
    for (std::size_t i = 0; i < 256; ++i) {
        pairs[2 * i] = Digits[i >> 4];
        pairs[2 * i + 1] = Digits[i & 0xF];
    }
    return pairs;
}
inline constexpr std::array<char, 512> Hexadecimal_Pairs = Make_Hexadecimal_Pairs(); // "00" to "FF"

// The bytes that a report escapes.
inline bool Escaped_In_Text(unsigned char byte) // control bytes and the backslash
{
    return byte < 0x20 || byte == 0x7F || byte == '\\';
}
inline bool Escaped_In_Json(unsigned char byte) // all but printable ASCII, the quote, the backslash
{
    return byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\';
}

// Eight bytes at a time, as one 64-bit word: each test is exact for the word as a whole (it
// may mark the wrong byte, never a word that holds no such byte).
constexpr std::uint64_t Each_Byte(unsigned char byte) { return 0x0101010101010101U * byte; }
constexpr std::uint64_t Any_Byte_Below(std::uint64_t word, unsigned char bound) // bound <= 0x80
{
    return (word - Each_Byte(bound)) & ~word & Each_Byte(0x80);
}
constexpr std::uint64_t Any_Byte_Equal(std::uint64_t word, unsigned char byte)
{
    return Any_Byte_Below(word ^ Each_Byte(byte), 1);
}
constexpr bool Any_Escaped_In_Text(std::uint64_t word)
{
    return (Any_Byte_Below(word, 0x20) | Any_Byte_Equal(word, 0x7F) | Any_Byte_Equal(word, '\\')) != 0;
}
constexpr bool Any_Escaped_In_Json(std::uint64_t word)
{
    return (Any_Byte_Below(word, 0x20) | (word & Each_Byte(0x80)) | Any_Byte_Equal(word, 0x7F) |
            Any_Byte_Equal(word, '"') | Any_Byte_Equal(word, '\\')) != 0;
}

// True when the text holds a byte for which `test_byte` holds; `test_word` tells the same of
// eight bytes at once. A text of eight bytes or more ends with a word that overlaps the one
// before rather than with a byte loop.
template <typename TTest_Word, typename TTest_Byte>
bool Any_Byte(std::string_view text, TTest_Word test_word, TTest_Byte test_byte)
{
    const auto word_at = [&text](std::size_t at) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, 8);
        return word;
    };
    if (text.size() < 8) {
        return std::any_of(text.begin(), text.end(), [&](char character) {
            return test_byte(static_cast<unsigned char>(character));
        });
    }
    for (std::size_t at = 0; at + 8 < text.size(); at += 8) {
        if (test_word(word_at(at))) {
            return true;
        }
    }
    return test_word(word_at(text.size() - 8));
}

// The digits of `value`, which has at most `Most_Digits`.
template <int Most_Digits, typename TUnsigned>
char* Unsigned_Decimal(char* at, TUnsigned value)
{
    int count = 1;
    for (std::uint64_t bound = 10; count < Most_Digits && value >= bound; bound *= 10) {
        ++count;
    }
    char* const end = at + count;
    char* digit = end;
    for (; value >= 100; value /= 100) {
        digit -= 2;
        std::memcpy(digit, &Decimal_Pairs[static_cast<std::size_t>(2 * (value % 100))], 2);
    }
    if (value >= 10) {
        std::memcpy(digit - 2, &Decimal_Pairs[static_cast<std::size_t>(2 * value)], 2);
    } else {
        digit[-1] = static_cast<char>('0' + value);
    }
    return end;
}

} // namespace detail

inline char* Text(char* at, std::string_view text)
{
    if (!text.empty()) {
        std::memcpy(at, text.data(), text.size());
    }
    return at + text.size();
}

constexpr std::size_t Decimal_Room = 24; // a 64-bit value and its sign

template <typename TInteger>
char* Decimal(char* at, TInteger value)
{
    static_assert(std::is_integral_v<TInteger> && !std::is_same_v<TInteger, bool>);
    // Small types are worked out in 32 bits, which divide faster than 64.
    using TUnsigned = std::conditional_t<sizeof(TInteger) <= 4, std::uint32_t, std::uint64_t>;
    auto magnitude = static_cast<TUnsigned>(value);
    if constexpr (std::is_signed_v<TInteger>) {
        if (value < 0) {
            *at++ = '-';
            magnitude = TUnsigned{0} - magnitude; // holds the lowest value too
        }
    }
    if constexpr (sizeof(TUnsigned) == 8) {
        // Counts and offsets are 64-bit but nearly always fit in 32 bits.
        if (magnitude <= std::numeric_limits<std::uint32_t>::max()) {
            return detail::Unsigned_Decimal<10>(at, static_cast<std::uint32_t>(magnitude));
        }
    }
    constexpr int Most_Digits = std::numeric_limits<std::make_unsigned_t<TInteger>>::digits10 + 1;
    return detail::Unsigned_Decimal<Most_Digits>(at, magnitude);
}

namespace detail {

// Each byte value's decimal digits, padded to four characters, and how many they are.
struct TByte_Text {
    std::array<char, 4> Digits;
    std::uint8_t Length;
};

constexpr std::array<TByte_Text, 256> Make_Byte_Texts()
{
    std::array<TByte_Text, 256> texts{};
    for (int value = 0; value < 256; ++value) {
        TByte_Text& text = texts[static_cast<std::size_t>(value)];
        text.Digits = {' ', ' ', ' ', ' '};
        text.Length = value >= 100 ? 3 : value >= 10 ? 2 : 1;
        for (int digit = text.Length - 1, rest = value; digit >= 0; --digit, rest /= 10) {
            text.Digits[static_cast<std::size_t>(digit)] = static_cast<char>('0' + rest % 10);
        }
    }
    return texts;
}
inline constexpr std::array<TByte_Text, 256> Byte_Texts = Make_Byte_Texts();

} // namespace detail

constexpr std::size_t Byte_Room = 4; // what Byte_Decimal stores, of which it keeps 1 to 3

// A byte's decimal digits: a block's eight bytes are written a million times over in a listing,
// and a table does each with one store.
inline char* Byte_Decimal(char* at, std::uint8_t value)
{
    const detail::TByte_Text& text = detail::Byte_Texts[value];
    std::memcpy(at, text.Digits.data(), text.Digits.size());
    return at + text.Length;
}

constexpr std::size_t Hexadecimal_Room = 16; // a 64-bit value, with no padding beyond

// Upper-case digits, padded with zeros to `digits` (at most 16).
inline char* Hexadecimal(char* at, std::uint64_t value, int digits)
{
    // The padded width, widened for a value that needs more digits.
    int count = std::max(digits, 1);
    while (count < 16 && (value >> (4 * count)) != 0) {
        ++count;
    }
    char* const end = at + count;
    char* digit = end;
    for (; count >= 2; count -= 2, value >>= 8) {
        digit -= 2;
        std::memcpy(digit, &detail::Hexadecimal_Pairs[2 * (value & 0xFF)], 2);
    }
    if (count == 1) {
        digit[-1] = detail::Hexadecimal_Pairs[2 * (value & 0xF) + 1];
    }
    return end;
}

// The most that Printable writes for one byte: \xHH.
constexpr std::size_t Printable_Growth = 4;

// The text with control bytes escaped (\\, \n, \xHH), so that it stays on one line.
char* Printable(char* at, std::string_view text);

// True when the text stands for itself inside JSON quotes: printable ASCII other than the
// quote and the backslash, which is what nearly every block name is made of.
inline bool Is_Plain_Json(std::string_view text)
{
    return !detail::Any_Byte(text, detail::Any_Escaped_In_Json, detail::Escaped_In_Json);
}

// A text for which Is_Plain_Json holds, in quotes: exactly what the JSON library writes for it.
inline char* Plain_Json_String(char* at, std::string_view text)
{
    *at++ = '"';
    at = Text(at, text);
    *at++ = '"';
    return at;
}

} // namespace put

// Gathers a report in one buffer and hands it to the stream in large pieces, so that a listing
// of a million blocks costs a few hundred stream writes rather than millions of small ones.
// The caller calls Item_Done after each item (each block) and Flush at the end; what is still
// in the buffer when it is destroyed is dropped.
class TOutput_Buffer {
public:
    // What the buffer holds before it is handed on: a file written in pieces of 512 KiB costs
    // the system about a fifth less than in pieces of 64 KiB, and larger pieces gain little.
    static constexpr std::size_t Flush_Size = std::size_t{512} << 10;

    explicit TOutput_Buffer(std::ostream& out);
    ~TOutput_Buffer();
    TOutput_Buffer(const TOutput_Buffer&) = delete;
    TOutput_Buffer& operator=(const TOutput_Buffer&) = delete;

    // Room for `count` bytes, to be written with the put:: writers; End takes the end of what
    // was written.
    char* Begin(std::size_t count)
    {
        if (storage_.size() - used_ < count) {
            Make_Room(count);
        }
        return storage_.data() + used_;
    }
    void End(const char* end) { used_ = static_cast<std::size_t>(end - storage_.data()); }

    void Text(std::string_view text) { End(put::Text(Begin(text.size()), text)); }
    void Character(char character)
    {
        char* const at = Begin(1);
        *at = character;
        End(at + 1);
    }
    template <typename TInteger>
    void Decimal(TInteger value)
    {
        End(put::Decimal(Begin(put::Decimal_Room), value));
    }
    void Printable(std::string_view text)
    {
        // In pieces, so that a huge name needs no huge room.
        constexpr std::size_t Piece = 4096;
        do {
            const std::string_view piece = text.substr(0, Piece);
            End(put::Printable(Begin(put::Printable_Growth * piece.size()), piece));
            text.remove_prefix(piece.size());
        } while (!text.empty());
    }
    // The text as a JSON string, quotes included, as the JSON library writes it. Bytes that
    // are not UTF-8 show as U+FFFD instead of making the whole report fail.
    void Json_String(std::string_view text);
    void Json_Bool(bool value) { Text(value ? "true" : "false"); }

    // Hands the buffer to the stream once it holds enough to make a write worth it.
    void Item_Done()
    {
        if (used_ >= Flush_Size) {
            Flush();
        }
    }
    void Flush();

private:
    class TJson_Escaper;

    void Make_Room(std::size_t count);

    std::ostream& out_;
    std::vector<char> storage_;
    std::size_t used_ = 0;
    std::unique_ptr<TJson_Escaper> json_escaper_;
};

// The text with control bytes escaped as put::Printable writes them, for a line of its own.
std::string Printable_Text(std::string_view text);
// Each name as Printable_Text shows it, in double quotes, joined by ", ".
std::string Quoted_Names(const std::vector<std::string>& names);
// A path as Printable_Text shows it, but on Windows with its backslashes as they are: there
// they separate the folders, and no name can hold a control byte.
std::string Printable_Path(std::string_view path);

// True when the text is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF.
bool Is_Utf8(std::string_view text);

// Each byte as two lower-case hexadecimal digits.
std::string Hexadecimal_Bytes(std::string_view bytes);

} // namespace plotvane
