#include "CaptchaImage.h"

#include "Digest.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <vector>

namespace linkhaul::sim {
namespace {

constexpr int WIDTH = 100;
constexpr int HEIGHT = 40;
constexpr int SCALE = 3;

struct Glyph {
    char c;
    std::array<const char*, 7> rows;
};

// clang-format off
constexpr Glyph GLYPHS[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
};
constexpr Glyph BOX = {'?', {"#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#####"}};
// clang-format on

const Glyph& glyphFor(char c) {
    for (const auto& glyph : GLYPHS) {
        if (glyph.c == c)
            return glyph;
    }
    return BOX;
}

void putBig32(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>((v >> 16) & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void putChunk(std::string& out, const char* type, const std::string& data) {
    putBig32(out, static_cast<std::uint32_t>(data.size()));
    std::string typed = std::string(type, 4) + data;
    out += typed;
    putBig32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                   static_cast<uInt>(typed.size()))));
}

std::string encodePng(const std::vector<unsigned char>& rgb) {
    std::string raw;
    raw.reserve(HEIGHT * (1 + WIDTH * 3));
    for (int y = 0; y < HEIGHT; ++y) {
        raw += '\0';  // filter type none
        raw.append(reinterpret_cast<const char*>(&rgb[y * WIDTH * 3]), WIDTH * 3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);

    std::string header;
    putBig32(header, WIDTH);
    putBig32(header, HEIGHT);
    header += '\x08';  // bit depth
    header += '\x02';  // truecolour
    header += std::string(3, '\0');
    std::string png("\x89PNG\r\n\x1a\n", 8);
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", "");
    return png;
}

}  // namespace

std::string drawCaptchaPng(const std::string& answer, std::uint64_t seed) {
    std::vector<unsigned char> rgb(WIDTH * HEIGHT * 3);
    auto plot = [&](int x, int y, unsigned char r, unsigned char g, unsigned char b) {
        if (x < 0 || y < 0 || x >= WIDTH || y >= HEIGHT)
            return;
        unsigned char* p = &rgb[(y * WIDTH + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    std::uint64_t state = seed;
    auto next = [&] { return state = mix64(state); };

    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x)
            plot(x, y, 236, 240, 246);
    }
    // Speckles the answer is still readable through.
    for (int i = 0; i < 120; ++i) {
        std::uint64_t r = next();
        plot(static_cast<int>(r % WIDTH), static_cast<int>((r >> 16) % HEIGHT), 170, 180, 200);
    }
    for (std::size_t i = 0; i < answer.size() && i < 4; ++i) {
        const Glyph& glyph = glyphFor(answer[i]);
        std::uint64_t r = next();
        int left = 8 + static_cast<int>(i) * 23 + static_cast<int>(r % 4);
        int top = 6 + static_cast<int>((r >> 8) % 8);
        unsigned char red = static_cast<unsigned char>(20 + (r >> 16) % 80);
        unsigned char blue = static_cast<unsigned char>(60 + (r >> 24) % 120);
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (glyph.rows[row][column] != '#')
                    continue;
                for (int dy = 0; dy < SCALE; ++dy) {
                    for (int dx = 0; dx < SCALE; ++dx)
                        plot(left + column * SCALE + dx, top + row * SCALE + dy, red, 30, blue);
                }
            }
        }
    }
    // One thin line across, as captcha pictures tend to have.
    std::uint64_t r = next();
    int y0 = 8 + static_cast<int>(r % 24);
    int y1 = 8 + static_cast<int>((r >> 8) % 24);
    for (int x = 0; x < WIDTH; ++x)
        plot(x, y0 + (y1 - y0) * x / WIDTH, 120, 120, 150);
    return encodePng(rgb);
}

}  // namespace linkhaul::sim
