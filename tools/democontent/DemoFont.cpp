#include "tools/democontent/DemoFont.h"

#include <cstring>

namespace tarv::demo {

namespace {

// Seven rows above the baseline, optionally two below, as hex pairs.
struct GlyphDef {
    uint8_t code;
    const char* rows;
};

const GlyphDef kGlyphs[] = {
    {' ', "00000000000000"},   {'!', "04040404040004"},   {'"', "0A0A0000000000"},
    {'#', "0A0A1F0A1F0A0A"},   {'$', "040F140E051E04"},   {'%', "18190204081303"},
    {'&', "0C12140815120D"},   {'\'', "04040800000000"},  {'(', "02040808080402"},
    {')', "08040202020408"},   {'*', "0004150E150400"},   {'+', "0004041F040400"},
    {',', "000000000004040800"}, {'-', "0000001F000000"}, {'.', "00000000000004"},
    {'/', "00010204081000"},   {'0', "0E11131519110E"},   {'1', "040C040404040E"},
    {'2', "0E11010204081F"},   {'3', "1F02040201110E"},   {'4', "02060A121F0202"},
    {'5', "1F101E0101110E"},   {'6', "0608101E11110E"},   {'7', "1F010204080808"},
    {'8', "0E11110E11110E"},   {'9', "0E11110F01020C"},   {':', "00000400000400"},
    {';', "000004000004040800"}, {'<', "02040810080402"}, {'=', "00001F001F0000"},
    {'>', "08040201020408"},   {'?', "0E110102040004"},   {'@', "0E11010D15150E"},
    {'A', "0E1111111F1111"},   {'B', "1E11111E11111E"},   {'C', "0E11101010110E"},
    {'D', "1C12111111121C"},   {'E', "1F10101E10101F"},   {'F', "1F10101E101010"},
    {'G', "0E11101711110F"},   {'H', "1111111F111111"},   {'I', "0E04040404040E"},
    {'J', "0702020202120C"},   {'K', "11121418141211"},   {'L', "1010101010101F"},
    {'M', "111B1515111111"},   {'N', "11111915131111"},   {'O', "0E11111111110E"},
    {'P', "1E11111E101010"},   {'Q', "0E11111115120D"},   {'R', "1E11111E141211"},
    {'S', "0F10100E01011E"},   {'T', "1F040404040404"},   {'U', "1111111111110E"},
    {'V', "11111111110A04"},   {'W', "1111111515150A"},   {'X', "11110A040A1111"},
    {'Y', "1111110A040404"},   {'Z', "1F01020408101F"},   {'[', "0E08080808080E"},
    {'\\', "00100804020100"},  {']', "0E02020202020E"},   {'^', "040A1100000000"},
    {'_', "0000000000000000" "1F"}, {'`', "08040200000000"}, {'a', "00000E010F110F"},
    {'b', "1010161911111E"},   {'c', "00000E1010110E"},   {'d', "01010D1311110F"},
    {'e', "00000E111F100E"},   {'f', "0609081C080808"},   {'g', "00000F1111110F010E"},
    {'h', "10101619111111"},   {'i', "04000C0404040E"},   {'j', "02000602020202120C"},
    {'k', "10101214181412"},   {'l', "0C04040404040E"},   {'m', "00001A15151111"},
    {'n', "00001619111111"},   {'o', "00000E1111110E"},   {'p', "00001E1111111E1010"},
    {'q', "00000F1111110F0101"}, {'r', "00001619101010"}, {'s', "00000F100E011E"},
    {'t', "08081C08080906"},   {'u', "0000111111130D"},   {'v', "0000111111110A"},
    {'w', "0000111115150A"},   {'x', "0000110A040A11"},   {'y', "000011111111" "0F010E"},
    {'z', "00001F0204081F"},   {'{', "02040408040402"},   {'|', "04040404040404"},
    {'}', "08040402040408"},   {'~', "00000815020000"},
    // Windows-1252 signs and letters a text of the demo may use.
    {0x80, "07081E081E0807"},  {0x91, "02040400000000"},  {0x92, "04040800000000"},  {0x93, "0A0A0000000000"},
    {0x94, "0A0A0000000000"},  {0x95, "00000E0E0E0000"},  {0x96, "0000000E000000"},
    {0x97, "0000001F000000"},  {0x85, "00000000000015"},  {0xA0, "00000000000000"},
    {0xB0, "0C12120C000000"},  {0xC4, "0A000E111F1111"},  {0xD6, "0A000E1111110E"},
    {0xDC, "0A00111111110E"},  {0xDF, "0C12121C12121C10"}, {0xE4, "0A000E010F110F"},
    {0xF6, "0A000E1111110E"},  {0xFC, "0A00111111130D"},  {0xE9, "02040E111F100E"},
    {0xE8, "08040E111F100E"},  {0xE0, "08040E010F110F"},  {0xE2, "040A0E010F110F"},
    {0xEA, "040A0E111F100E"},  {0xF4, "040A0E1111110E"},  {0xE7, "00000E1010110E0408"},
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

// Used columns of a glyph: the leftmost and the rightmost (0..4), or -1
// for an empty glyph.
void GlyphSpan(const GlyphRows& rows, int& first, int& last) {
    first = -1;
    last = -1;
    for (int col = 0; col < 5; ++col) {
        const uint8_t bit = uint8_t(0x10 >> col);
        for (uint8_t r : rows)
            if (r & bit) {
                if (first < 0) first = col;
                last = col;
                break;
            }
    }
}

// A rune for a letter or digit: a stave with branches chosen by the code, so
// that each sign is its own and the same letter in either case shares one.
GlyphRows RuneRows(uint8_t code) {
    uint8_t key = code;
    if (code >= 'a' && code <= 'z') key = uint8_t(code - 32);
    uint32_t h = uint32_t(key) * 2654435761u;
    h ^= h >> 15;
    GlyphRows rows{};
    for (int r = 0; r < 7; ++r) rows[r] = 0x04;  // the stave
    const int branches = 1 + int(h % 3);
    for (int b = 0; b < branches; ++b) {
        const uint32_t k = (h >> (4 + b * 5)) & 31;
        const int row = int(k % 5);
        const bool right = (k & 8) != 0, up = (k & 16) != 0;
        // A diagonal of three pixels leaving the stave.
        for (int s = 1; s <= 2; ++s) {
            const int rr = up ? row + 2 - s : row + s;
            if (rr < 0 || rr > 6) continue;
            rows[rr] |= uint8_t(right ? (0x04 >> s) : (0x04 << s));
        }
    }
    if (h & 0x100000) rows[0] |= 0x0A;  // a crown on some signs
    return rows;
}

}  // namespace

bool FindGlyph(uint8_t code, GlyphRows& rows) {
    for (const GlyphDef& g : kGlyphs) {
        if (g.code != code) continue;
        rows.fill(0);
        const size_t n = std::strlen(g.rows) / 2;
        for (size_t i = 0; i < n && i < rows.size(); ++i)
            rows[i] = uint8_t((HexDigit(g.rows[2 * i]) << 4 | HexDigit(g.rows[2 * i + 1])) & 0x1F);
        return true;
    }
    return false;
}

BitmapFont MakeFont(FontStyle style) {
    BitmapFont f;
    const Rgba key = RGB(0, 0, 0);
    f.Texture = DemoCanvas(256, 256, key);
    const Rgba ink = RGB(255, 255, 255), shadow = RGB(24, 20, 28);
    for (int code = 0; code < 256; ++code) {
        GlyphRows rows{};
        if (!FindGlyph(uint8_t(code), rows)) continue;
        const bool letterOrDigit = (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') ||
                                   (code >= '0' && code <= '9');
        if (style == FontStyle::Runes && letterOrDigit) rows = RuneRows(uint8_t(code));
        int first = 0, last = 0;
        GlyphSpan(rows, first, last);
        const int cellX = (code % 16) * 16, cellY = (code / 16) * 16;
        if (first < 0) {
            // Blanks: a space is narrower than a letter.
            f.Widths[size_t(code)] = uint8_t(style == FontStyle::Shadowed ? 4 : 3);
            continue;
        }
        const int width = last - first + 1;
        for (int r = 0; r < 9; ++r)
            for (int col = first; col <= last; ++col) {
                if (!(rows[size_t(r)] & (0x10 >> col))) continue;
                const int x = cellX + 1 + (col - first), y = cellY + kGlyphTop + r;
                if (style == FontStyle::Shadowed && f.Texture.Get(x + 1, y + 1).r != 255)
                    f.Texture.Set(x + 1, y + 1, shadow);
                f.Texture.Set(x, y, ink);
            }
        f.Widths[size_t(code)] = uint8_t(width + 1 + (style == FontStyle::Shadowed ? 1 : 0));
    }
    // Codes 0, 9 and 10 take no room; the reader zeroes them after taking
    // the first byte as the baseline.
    f.Widths[0] = uint8_t(kFontBaseline);
    return f;
}

}  // namespace tarv::demo
