// Build-time generator for the code page 932 tables.
//
// Asks the C library's iconv converter "CP932" (strict: no //IGNORE, no
// //TRANSLIT) what every single byte and every two-byte code from a lead
// byte 81-9F, E0-FC decodes to, and which code it writes for each character
// it decodes to. Writes the result as C++ arrays to the file named on the
// command line; cp932.cpp includes it and adds the mappings iconv does not
// know (the five single bytes 80, A0, FD-FF and the user-defined area).
//
// Only mappings that hold both ways are kept for encoding: iconv writes some
// characters one-way (U+00A5 as 5C, U+301C as 8160, ...), which must not
// slip into the encoder unnoticed. The generator fails, and with it the
// build, when iconv is missing or gives a result it should never give.

#include "platform/cp932_lead.h"

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace {

struct Converter {
    iconv_t cd;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    bool valid() const { return cd != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; nothing when iconv rejects any part of it.
    std::optional<std::string> Convert(const std::string& in)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(64, '\0');
        char* in_ptr = const_cast<char*>(in.data());
        size_t in_left = in.size();
        char* out_ptr = out.data();
        size_t out_left = out.size();
        if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1))
            return {};
        if (iconv(cd, nullptr, nullptr, &out_ptr, &out_left) == static_cast<size_t>(-1))
            return {};
        if (in_left != 0)
            return {};
        out.resize(out.size() - out_left);
        return out;
    }
};

// The one UTF-32 character in s, or nothing when s is not exactly one.
std::optional<char32_t> Single_character(const std::string& s)
{
    if (s.size() != 4)
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    return char32_t(p[0] | (p[1] << 8) | (p[2] << 16) | (char32_t(p[3]) << 24));
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "cp932_table_gen: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Fail("usage: cp932_table_gen OUTPUT");

    Converter decoder("UTF-32LE", "CP932");
    Converter encoder("CP932", "UTF-32LE");
    if (!decoder.valid() || !encoder.valid())
        return Fail("iconv has no CP932 converter");

    std::map<std::uint16_t, char32_t> decoded;  // code -> character
    for (unsigned b = 0; b < 0x100; ++b) {
        if (cp932::Is_lead_byte(static_cast<unsigned char>(b)))
            continue;
        if (auto out = decoder.Convert(std::string(1, char(b)))) {
            auto c = Single_character(*out);
            if (!c)
                return Fail("single byte decodes to more than one character");
            decoded[std::uint16_t(b)] = *c;
        }
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::Is_lead_byte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            auto out = decoder.Convert(std::string{char(lead), char(trail)});
            if (!out)
                continue;
            auto c = Single_character(*out);
            if (!c)
                continue;  // lead rejected alone never happens; two characters means no pair
            if (trail < 0x40 || trail == 0x7F || trail > 0xFC)
                return Fail("pair with a byte that cannot be a trail byte decodes");
            decoded[std::uint16_t(lead << 8 | trail)] = *c;
        }
    }
    for (auto [code, c] : decoded) {
        if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF) || (code > 0xFF && c == 0))
            return Fail("code decodes outside the basic plane");
    }
    for (unsigned b = 0; b < 0x80; ++b) {
        if (decoded.count(b) == 0 || decoded[b] != b)
            return Fail("bytes 00-7F are not themselves");
    }

    // For each character decoded, the code iconv writes, kept only when it
    // decodes back to the same character.
    std::map<char32_t, std::uint16_t> encoded;
    for (auto [code, c] : decoded) {
        if (encoded.count(c))
            continue;
        std::string in(4, '\0');
        for (int i = 0; i < 4; ++i)
            in[i] = char((c >> (8 * i)) & 0xFF);
        auto out = encoder.Convert(in);
        if (!out || out->empty() || out->size() > 2)
            return Fail("a decoded character does not encode");
        std::uint16_t written = out->size() == 1
                                    ? std::uint16_t(static_cast<unsigned char>((*out)[0]))
                                    : std::uint16_t(static_cast<unsigned char>((*out)[0]) << 8 |
                                                    static_cast<unsigned char>((*out)[1]));
        auto back = decoded.find(written);
        if (back == decoded.end() || back->second != c)
            return Fail("encoding does not decode back");
        encoded[c] = written;
    }

    std::FILE* f = std::fopen(argv[1], "w");
    if (!f)
        return Fail(std::string("cannot write ") + argv[1]);
    std::fprintf(f, "// Generated by cp932_table_gen from iconv \"CP932\". Do not edit.\n");
    std::fprintf(f, "// code, character\n");
    std::fprintf(f, "constexpr std::uint16_t generated_decode_pairs[][2] = {\n");
    for (auto [code, c] : decoded)
        std::fprintf(f, "{0x%04X,0x%04X},\n", unsigned(code), unsigned(c));
    std::fprintf(f, "};\n// character, code\n");
    std::fprintf(f, "constexpr std::uint16_t generated_encode_pairs[][2] = {\n");
    for (auto [c, code] : encoded)
        std::fprintf(f, "{0x%04X,0x%04X},\n", unsigned(c), unsigned(code));
    std::fprintf(f, "};\n");
    if (std::fclose(f) != 0)
        return Fail(std::string("cannot write ") + argv[1]);
    return 0;
}
