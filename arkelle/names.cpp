#include "arkelle/names.h"

#include <cstdint>

namespace arkelle {
namespace {

// Upper half of code page 437 as Unicode code points.
const char32_t kCp437High[128] = {
    0xc7, 0xfc, 0xe9, 0xe2, 0xe4, 0xe0, 0xe5, 0xe7,
    0xea, 0xeb, 0xe8, 0xef, 0xee, 0xec, 0xc4, 0xc5,
    0xc9, 0xe6, 0xc6, 0xf4, 0xf6, 0xf2, 0xfb, 0xf9,
    0xff, 0xd6, 0xdc, 0xa2, 0xa3, 0xa5, 0x20a7, 0x192,
    0xe1, 0xed, 0xf3, 0xfa, 0xf1, 0xd1, 0xaa, 0xba,
    0xbf, 0x2310, 0xac, 0xbd, 0xbc, 0xa1, 0xab, 0xbb,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255d, 0x255c, 0x255b, 0x2510,
    0x2514, 0x2534, 0x252c, 0x251c, 0x2500, 0x253c, 0x255e, 0x255f,
    0x255a, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256c, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256b,
    0x256a, 0x2518, 0x250c, 0x2588, 0x2584, 0x258c, 0x2590, 0x2580,
    0x3b1, 0xdf, 0x393, 0x3c0, 0x3a3, 0x3c3, 0xb5, 0x3c4,
    0x3a6, 0x398, 0x3a9, 0x3b4, 0x221e, 0x3c6, 0x3b5, 0x2229,
    0x2261, 0xb1, 0x2265, 0x2264, 0x2320, 0x2321, 0xf7, 0x2248,
    0xb0, 0x2219, 0xb7, 0x221a, 0x207f, 0xb2, 0x25a0, 0xa0,
};

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Decodes one code point at text[i]; returns its length, 0 when malformed.
size_t decodeUtf8(std::string_view text, size_t i, char32_t &c)
{
    const auto b = [&](size_t k) { return uint8_t(text[k]); };
    const uint8_t lead = b(i);
    size_t len;
    char32_t min;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        len = 2, c = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, c = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, c = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return len;
}

char32_t foldCodePoint(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c < 0x80)
        return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

} // namespace

std::string baseName(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool isAscii(std::string_view text)
{
    for (char ch : text)
        if (uint8_t(ch) >= 0x80)
            return false;
    return true;
}

bool isUtf8(std::string_view text)
{
    char32_t c;
    for (size_t i = 0; i < text.size();) {
        const size_t len = decodeUtf8(text, i, c);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string storedNameToUtf8(std::string_view raw, bool utf8Flag)
{
    if (isUtf8(raw))
        return std::string(raw);
    std::string out;
    for (char ch : raw) {
        const uint8_t b = uint8_t(ch);
        // A name flagged UTF-8 that is not: keep it readable, never guess.
        appendUtf8(out, b < 0x80 ? char32_t(b) : (utf8Flag ? char32_t(0xFFFD) : kCp437High[b - 0x80]));
    }
    return out;
}

std::string entryFileName(std::string_view utf8Name)
{
    const size_t sep = utf8Name.find_last_of("/\\");
    std::string_view name = sep == std::string_view::npos ? utf8Name : utf8Name.substr(sep + 1);
    // "C:name" is a drive-relative path on the system the name may come from.
    if (name.size() >= 2 && name[1] == ':' && ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z'))
        name.remove_prefix(2);
    return std::string(name);
}

std::string safeFileName(std::string_view fileName)
{
    if (fileName.empty() || fileName.size() > 255)
        return {};
    if (fileName.find_first_not_of('.') == std::string_view::npos)
        return {};
    std::string out(fileName);
    for (char &ch : out)
        if (uint8_t(ch) < 0x20 || ch == '/' || ch == 0x7F)
            ch = '_';
    return out;
}

std::string foldCase(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    char32_t c;
    for (size_t i = 0; i < utf8.size();) {
        const size_t len = decodeUtf8(utf8, i, c);
        if (len == 0) {
            out += utf8[i++];
            continue;
        }
        appendUtf8(out, foldCodePoint(c));
        i += len;
    }
    return out;
}

} // namespace arkelle
