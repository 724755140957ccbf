#pragma once
// Plain window-system value types shared by the grid and the plot classes, kept
// free of any toolkit so that their models build and are tested without a
// display. Rectangles follow the window-system convention: right and bottom are
// exclusive.

#include <cstdint>

using COLORREF = std::uint32_t;
using BOOL = int;
using UINT = unsigned int;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct RECT
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
struct POINT
{
    int x = 0;
    int y = 0;
};
struct SIZE
{
    int cx = 0;
    int cy = 0;
};
