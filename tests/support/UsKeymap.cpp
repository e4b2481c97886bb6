#include "UsKeymap.h"

#include <cstdint>

namespace ks::test {
namespace {

struct UsKey {
    std::uint8_t vk;
    std::uint8_t keycode;
    char plain;  // 0: a key without a character
    char shifted;
};

constexpr UsKey kUsKeys[] = {
    {27, 9, 0x1B, 0},     {'1', 10, '1', '!'},  {'2', 11, '2', '@'},   {'3', 12, '3', '#'},
    {'4', 13, '4', '$'},  {'5', 14, '5', '%'},  {'6', 15, '6', '^'},   {'7', 16, '7', '&'},
    {'8', 17, '8', '*'},  {'9', 18, '9', '('},  {'0', 19, '0', ')'},   {0xBD, 20, '-', '_'},
    {0xBB, 21, '=', '+'}, {8, 22, '\b', 0},     {9, 23, '\t', 0},      {'Q', 24, 'q', 'Q'},
    {'W', 25, 'w', 'W'},  {'E', 26, 'e', 'E'},  {'R', 27, 'r', 'R'},   {'T', 28, 't', 'T'},
    {'Y', 29, 'y', 'Y'},  {'U', 30, 'u', 'U'},  {'I', 31, 'i', 'I'},   {'O', 32, 'o', 'O'},
    {'P', 33, 'p', 'P'},  {0xDB, 34, '[', '{'}, {0xDD, 35, ']', '}'},  {13, 36, '\r', 0},
    {17, 37, 0, 0},       {'A', 38, 'a', 'A'},  {'S', 39, 's', 'S'},   {'D', 40, 'd', 'D'},
    {'F', 41, 'f', 'F'},  {'G', 42, 'g', 'G'},  {'H', 43, 'h', 'H'},   {'J', 44, 'j', 'J'},
    {'K', 45, 'k', 'K'},  {'L', 46, 'l', 'L'},  {0xBA, 47, ';', ':'},  {0xDE, 48, '\'', '"'},
    {0xC0, 49, '`', '~'}, {16, 50, 0, 0},       {0xDC, 51, '\\', '|'}, {'Z', 52, 'z', 'Z'},
    {'X', 53, 'x', 'X'},  {'C', 54, 'c', 'C'},  {'V', 55, 'v', 'V'},   {'B', 56, 'b', 'B'},
    {'N', 57, 'n', 'N'},  {'M', 58, 'm', 'M'},  {0xBC, 59, ',', '<'},  {0xBE, 60, '.', '>'},
    {0xBF, 61, '/', '?'}, {18, 64, 0, 0},       {32, 65, ' ', 0},      {20, 66, 0, 0},
    {115, 70, 0, 0},      {144, 77, 0, 0},      {145, 78, 0, 0},       {36, 110, 0, 0},
    {38, 111, 0, 0},      {37, 113, 0, 0},      {39, 114, 0, 0},       {35, 115, 0, 0},
    {40, 116, 0, 0},      {45, 118, 0, 0},      {46, 119, 0, 0},       {19, 127, 0, 0},
};

// Scan codes of the numeric pad read back as the keys they are with Num Lock off.
constexpr std::pair<std::uint8_t, std::uint8_t> kPadNavigation[] = {
    {79, 36}, {80, 38}, {81, 33}, {83, 37}, {84, 12}, {85, 39},
    {87, 35}, {88, 40}, {89, 34}, {90, 45}, {91, 46},
};

}  // namespace

KeyLayout usKeyLayout() {
    KeyLayout layout;
    for (const UsKey& key : kUsKeys) {
        const auto scan = static_cast<std::uint8_t>(key.keycode - 8);
        layout.scanOfVk[key.vk] = scan;
        layout.vkOfScan[scan] = key.vk;
        if (key.plain >= 0x20 && key.plain != ' ') {
            layout.charOfVk[key.vk] =
                key.plain >= 'a' && key.plain <= 'z' ? key.plain - 32 : key.plain;
        }
        layout.charsOfScan[scan].levels = {static_cast<unsigned char>(key.plain),
                                           static_cast<unsigned char>(key.shifted)};
        if (key.plain != 0) layout.keyOfChar[static_cast<unsigned char>(key.plain)] = key.vk;
        if (key.shifted != 0) {
            layout.keyOfChar[static_cast<unsigned char>(key.shifted)] =
                static_cast<std::uint16_t>(key.vk | (kNeedsShift << 8));
        }
    }
    for (const auto& [keycode, vk] : kPadNavigation) layout.vkOfScan[keycode - 8] = vk;
    layout.scanOfVk[12] = 84 - 8;
    // The extra key of 102-key keyboards: its "<" and ">" are typed on the
    // comma and period keys, as on a US keyboard without it.
    layout.scanOfVk[0xE2] = 94 - 8;
    layout.vkOfScan[94 - 8] = 0xE2;
    layout.charOfVk[0xE2] = U'<';
    layout.keyOfChar[U'\n'] = static_cast<std::uint16_t>(13 | (kNeedsCtrl << 8));
    return layout;
}

}  // namespace ks::test
