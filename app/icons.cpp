#include "app/icons.h"

#include <array>
#include <cstddef>

namespace {

// Pixel art, one character a pixel:
//   .  transparent     k  outline         n  display background
//   g/G/d  light, mid and dark grey       l  display digits
//   b/B  light and dark wood              y/Y  light and dark yellow
//   r/R  light and dark red               e/E  light and dark green
struct Rgba {
    unsigned char r, g, b, a;
};

constexpr Rgba colourOf(char c)
{
    switch (c) {
    case 'k': return {40, 40, 40, 255};
    case 'n': return {30, 30, 30, 255};
    case 'g': return {200, 200, 200, 255};
    case 'G': return {140, 140, 140, 255};
    case 'd': return {90, 90, 90, 255};
    case 'l': return {60, 200, 90, 255};
    case 'b': return {165, 105, 50, 255};
    case 'B': return {110, 65, 25, 255};
    case 'y': return {240, 200, 70, 255};
    case 'Y': return {190, 145, 40, 255};
    case 'r': return {220, 40, 40, 255};
    case 'R': return {150, 20, 20, 255};
    case 'e': return {40, 180, 60, 255};
    case 'E': return {20, 110, 35, 255};
    default: return {0, 0, 0, 0};
    }
}

template <std::size_t N>
constexpr std::array<unsigned char, N * N * 4> pixelsOf(const char* const (&art)[N])
{
    std::array<unsigned char, N * N * 4> pixels{};
    for (std::size_t y = 0; y < N; ++y) {
        for (std::size_t x = 0; x < N; ++x) {
            const Rgba c = colourOf(art[y][x]);
            const std::size_t i = (y * N + x) * 4;
            pixels[i] = c.r;
            pixels[i + 1] = c.g;
            pixels[i + 2] = c.b;
            pixels[i + 3] = c.a;
        }
    }
    return pixels;
}

constexpr const char* kClearArt[16] = {
    "............kk..",
    "...........kbBk.",
    "..........kbBk..",
    ".........kbBk...",
    "........kbBk....",
    ".......kbBk.....",
    "......kbBk......",
    "....kkRRk.......",
    "...kRRRRRk......",
    "..kyYyyRRk......",
    ".kyYyYyyyk......",
    "kyYyYyYyk.......",
    "kYyYyYyk........",
    "kyYyYyk.........",
    ".kYyYk..........",
    "..kkk...........",
};

constexpr const char* kConnectArt[16] = {
    "................",
    "................",
    "................",
    "..........kkkk..",
    "....kkkkk.kgGk..",
    "...keeeEEkkgGk..",
    "...keeeEEkkgGk..",
    "kkkkeeeEEkkgGk..",
    "kkkkeeeEEkkgGk..",
    "...keeeEEkkgGk..",
    "...keeeEEkkgGk..",
    "....kkkkk.kgGk..",
    "..........kkkk..",
    "................",
    "................",
    "................",
};

constexpr const char* kDisconnectArt[16] = {
    "................",
    "................",
    "................",
    "............kkkk",
    "..kkkkk.....kgGk",
    ".krrrRRk....kgGk",
    ".krrrRRkkkk.kgGk",
    "kkrrrRRk....kgGk",
    "kkrrrRRk....kgGk",
    ".krrrRRkkkk.kgGk",
    ".krrrRRk....kgGk",
    "..kkkkk.....kgGk",
    "............kkkk",
    "................",
    "................",
    "................",
};

constexpr const char* kWindowArt[32] = {
    "................................",
    "..........kkkkkkkkkkkk..........",
    ".........kdGdGdGdGdGdGk.........",
    ".........kGdGdGdGdGdGdk.........",
    "......kkkkkkkkkkkkkkkkkkkk......",
    ".....kyyyyyyyyyyyyyyyyyyyyk.....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyykkkkkkkkkkkkkkkkkkyyk....",
    "....kyyknnnnnnnnnnnnnnnnkyyk....",
    "....kyyknlllnnlnnnlllnnnkyyk....",
    "....kyyknnnlnllnnnlnlnnnkyyk....",
    "....kyyknlllnnlnnnlnlnnnkyyk....",
    "....kyyknnnlnnlnnnlnlnnnkyyk....",
    "....kyyknlllnlllnnlllnnnkyyk....",
    "....kyyknnnnnnnnnnnnnnnnkyyk....",
    "....kyyknEEEEEEEEEEnnnnnkyyk....",
    "....kyyknnnnnnnnnnnnnnnnkyyk....",
    "....kyyykkkkkkkkkkkkkkkkyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyykkkkyyyyyykkkkyyyyk....",
    "....kyyykrrrrkyyyykGGGGkyyyk....",
    "....kyyykrRRrkyyyykGddGkyyyk....",
    "....kyyykrrrrkyyyykGGGGkyyyk....",
    "....kyyyykkkkyyyyyykkkkyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kYyyyyyyyyyyyyyyyyyyyyYk....",
    "....kYYyyyyyyyyyyyyyyyyyyYYk....",
    ".....kYYYYYYYYYYYYYYYYYYYYk.....",
    "......kkkkkkkkkkkkkkkkkkkk......",
    "................................",
    "................................",
};

constexpr auto kClearPixels = pixelsOf(kClearArt);
constexpr auto kConnectPixels = pixelsOf(kConnectArt);
constexpr auto kDisconnectPixels = pixelsOf(kDisconnectArt);
constexpr auto kWindowPixels = pixelsOf(kWindowArt);

}  // namespace

Fl_RGB_Image clearIcon(kClearPixels.data(), 16, 16, 4, 0);
Fl_RGB_Image connectIcon(kConnectPixels.data(), 16, 16, 4, 0);
Fl_RGB_Image disconnectIcon(kDisconnectPixels.data(), 16, 16, 4, 0);
Fl_RGB_Image windowIcon(kWindowPixels.data(), 32, 32, 4, 0);
