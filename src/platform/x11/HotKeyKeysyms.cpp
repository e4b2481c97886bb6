#include "platform/x11/HotKeyKeysyms.h"

#include <X11/keysym.h>

#include <array>
#include <utility>

namespace ks::x11 {

namespace {

constexpr std::array<std::pair<std::uint32_t, unsigned long>, 49> kNamedKeys = {{
    {8, XK_BackSpace},    {9, XK_Tab},         {12, XK_KP_Begin},     {13, XK_Return},
    {16, XK_Shift_L},     {17, XK_Control_L},  {18, XK_Alt_L},        {19, XK_Pause},
    {20, XK_Caps_Lock},   {27, XK_Escape},     {32, XK_space},        {33, XK_Prior},
    {34, XK_Next},        {35, XK_End},        {36, XK_Home},         {37, XK_Left},
    {38, XK_Up},          {39, XK_Right},      {40, XK_Down},         {44, XK_Print},
    {45, XK_Insert},      {46, XK_Delete},     {91, XK_Super_L},      {92, XK_Super_R},
    {93, XK_Menu},        {106, XK_KP_Multiply}, {107, XK_KP_Add},    {108, XK_KP_Separator},
    {109, XK_KP_Subtract}, {110, XK_KP_Decimal}, {111, XK_KP_Divide}, {144, XK_Num_Lock},
    {145, XK_Scroll_Lock}, {186, XK_semicolon}, {187, XK_equal},      {188, XK_comma},
    {189, XK_minus},      {190, XK_period},    {191, XK_slash},       {192, XK_grave},
    {219, XK_bracketleft}, {220, XK_backslash}, {221, XK_bracketright}, {222, XK_apostrophe},
    {160, XK_Shift_L},    {161, XK_Shift_R},   {162, XK_Control_L},   {163, XK_Control_R},
    {164, XK_Alt_L},
}};

}  // namespace

unsigned long hotKeyKeysym(std::uint32_t vk) {
    if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
    if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
    if (vk >= 96 && vk <= 105) return XK_KP_0 + (vk - 96);
    if (vk >= 112 && vk <= 135) return XK_F1 + (vk - 112);
    for (const auto& [code, keysym] : kNamedKeys) {
        if (code == vk) return keysym;
    }
    return 0;
}

}  // namespace ks::x11
