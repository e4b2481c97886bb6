#include "platform/x11/VirtualKeyKeysyms.h"

#include <X11/keysym.h>

namespace ks::x11 {

namespace {

struct Range {
    std::uint8_t first;
    std::uint8_t last;
    unsigned long firstKeysym;
};

// Runs of codes whose keysyms run in the same order.
constexpr Range kRanges[] = {
    {0x30, 0x39, XK_0},  {0x41, 0x5A, XK_a},       {0x60, 0x69, XK_KP_0},
    {0x70, 0x87, XK_F1},
};

struct Single {
    std::uint8_t code;
    unsigned long keysym;
};

constexpr Single kSingles[] = {
    {0x08, XK_BackSpace},   {0x09, XK_Tab},          {0x0C, XK_Clear},
    {0x0D, XK_Return},      {0x10, XK_Shift_L},      {0x11, XK_Control_L},
    {0x12, XK_Alt_L},       {0x13, XK_Pause},        {0x14, XK_Caps_Lock},
    {0x1B, XK_Escape},      {0x20, XK_space},        {0x2C, XK_Print},
    {0x21, XK_Prior},       {0x22, XK_Next},         {0x23, XK_End},
    {0x24, XK_Home},        {0x25, XK_Left},         {0x26, XK_Up},
    {0x27, XK_Right},       {0x28, XK_Down},
    {0x2D, XK_Insert},      {0x2E, XK_Delete},       {0x5B, XK_Super_L},
    {0x5C, XK_Super_R},     {0x5D, XK_Menu},         {0x6A, XK_KP_Multiply},
    {0x6B, XK_KP_Add},      {0x6C, XK_KP_Separator}, {0x6D, XK_KP_Subtract},
    {0x6E, XK_KP_Decimal},  {0x6F, XK_KP_Divide},    {0x90, XK_Num_Lock},
    {0x91, XK_Scroll_Lock}, {0xA0, XK_Shift_L},      {0xA1, XK_Shift_R},
    {0xA2, XK_Control_L},   {0xA3, XK_Control_R},    {0xA4, XK_Alt_L},
    {0xA5, XK_Alt_R},       {0xBA, XK_semicolon},    {0xBB, XK_equal},
    {0xBC, XK_comma},       {0xBD, XK_minus},        {0xBE, XK_period},
    {0xBF, XK_slash},       {0xC0, XK_grave},        {0xDB, XK_bracketleft},
    {0xDC, XK_backslash},   {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
};

}  // namespace

unsigned long fallbackKeysymForVirtualKey(std::uint8_t virtualKey) {
    for (const Range& range : kRanges) {
        if (virtualKey >= range.first && virtualKey <= range.last) {
            return range.firstKeysym + (virtualKey - range.first);
        }
    }
    for (const Single& single : kSingles) {
        if (single.code == virtualKey) return single.keysym;
    }
    return 0;
}

}  // namespace ks::x11
