// Clipboard text pasted into a small grid: any bytes, any line ends.
#include "UGrid/model/UGCtrlCore.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
struct Grid : CUGCtrlCore
{
    Grid()
    {
        SetClientSize(300, 200);
        SetColCount(5);
        SetRowCount(7);
        SetMultiSelectMode(1);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    Grid g;
    g.GotoCell(data[0] % 5, data[1] % 7);
    g.PasteText(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
    g.CopySelected();
    return 0;
}
