#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// Writers of report pieces at a place in memory, each returning the end of what it wrote. The
// caller has made room for the most that each can write.
namespace put {

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
    return std::to_chars(at, at + Decimal_Room, value).ptr;
}

constexpr std::size_t Hexadecimal_Room = 16; // a 64-bit value, with no padding beyond

// Upper-case digits, padded with zeros to `digits` (at most 16).
char* Hexadecimal(char* at, std::uint64_t value, int digits);

// The most that Printable writes for one byte: \xHH.
constexpr std::size_t Printable_Growth = 4;

// The text with control bytes escaped (\\, \n, \xHH), so that it stays on one line.
char* Printable(char* at, std::string_view text);

} // namespace put

// Gathers a report in one buffer and hands it to the stream in large pieces, so that a listing
// of a million blocks costs a few thousand stream writes rather than millions of small ones.
// The caller calls Item_Done after each item (each block) and Flush at the end; what is still
// in the buffer when it is destroyed is dropped.
class TOutput_Buffer {
public:
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
    static constexpr std::size_t Flush_Size = std::size_t{64} << 10;

    class TJson_Escaper;

    void Make_Room(std::size_t count);

    std::ostream& out_;
    std::vector<char> storage_;
    std::size_t used_ = 0;
    std::unique_ptr<TJson_Escaper> json_escaper_;
};

// The text with control bytes escaped as put::Printable writes them, for a line of its own.
std::string Printable_Text(std::string_view text);

// True when the text is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF.
bool Is_Utf8(std::string_view text);

// Each byte as two lower-case hexadecimal digits.
std::string Hexadecimal_Bytes(std::string_view bytes);

} // namespace plotvane
