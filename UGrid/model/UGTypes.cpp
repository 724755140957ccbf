#include "UGrid/model/UGTypes.h"

#include <array>

namespace {
// Classic window-system defaults, replaced by the palette when a user interface runs.
std::array<COLORREF, 32> g_sysColors = [] {
    std::array<COLORREF, 32> c{};
    c[UG_COLOR_WINDOW] = UGRGB(255, 255, 255);
    c[UG_COLOR_WINDOWTEXT] = UGRGB(0, 0, 0);
    c[UG_COLOR_HIGHLIGHT] = UGRGB(0, 120, 215);
    c[UG_COLOR_HIGHLIGHTTEXT] = UGRGB(255, 255, 255);
    c[UG_COLOR_BTNFACE] = UGRGB(240, 240, 240);
    c[UG_COLOR_BTNSHADOW] = UGRGB(160, 160, 160);
    c[UG_COLOR_BTNTEXT] = UGRGB(0, 0, 0);
    c[UG_COLOR_INFOBK] = UGRGB(255, 255, 225);
    return c;
}();
} // namespace

COLORREF UGGetSysColor(int index)
{
    if (index < 0 || index >= int(g_sysColors.size()))
        return 0;
    return g_sysColors[size_t(index)];
}

void UGSetSysColor(int index, COLORREF colour)
{
    if (index >= 0 && index < int(g_sysColors.size()))
        g_sysColors[size_t(index)] = colour;
}
