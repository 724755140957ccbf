#include "UGrid/model/UGPrintLayout.h"

#include <cmath>

UGPageGeometry UGCalcPageGeometry(const UGPrinterMetrics& printer, const UGPrintMargins& margins,
                                  int rowHdgWidth, int colHdgHeight)
{
    UGPageGeometry g;
    const int mmW = printer.widthMm - margins.left - margins.right;
    const int mmH = printer.heightMm - margins.top - margins.bottom;
    const int screenW = int(std::trunc(mmW * UGScreenPxPerMmX));
    const int screenH = int(std::trunc(mmH * UGScreenPxPerMmY));
    g.printableWidth = screenW - rowHdgWidth;
    g.printableHeight = screenH - colHdgHeight;
    if (printer.widthMm <= 0 || printer.heightMm <= 0 || screenW <= 0 || screenH <= 0 || g.empty()) {
        g.printableWidth = g.printableHeight = 0;
        return g;
    }
    const double pxPerMmX = double(printer.widthPx) / printer.widthMm;
    const double pxPerMmY = double(printer.heightPx) / printer.heightMm;
    // The scale maps the printable width in screen pixels onto its width on paper.
    g.hScale = float(pxPerMmX * mmW / screenW);
    g.vScale = float(pxPerMmY * mmH / screenH);
    g.leftEdge = int(std::trunc(pxPerMmX * margins.left));
    g.topEdge = int(std::trunc(pxPerMmY * margins.top));
    g.rightEdge = printer.widthPx - int(std::trunc(pxPerMmX * margins.right));
    g.bottomEdge = printer.heightPx - int(std::trunc(pxPerMmY * margins.bottom));
    return g;
}

std::vector<UGBand> UGCalcBands(const std::vector<int>& sizes, int firstIndex, int lead, int extent)
{
    std::vector<UGBand> bands;
    if (extent <= 0 || sizes.empty())
        return bands;
    long long running = lead;
    int bandStart = firstIndex;
    const int end = firstIndex + int(sizes.size());
    for (int i = firstIndex; i < end; ++i) {
        const int size = sizes[size_t(i - firstIndex)];
        running += size;
        if (running <= extent)
            continue;
        if (i == bandStart) {
            // Alone and still too wide: it keeps its own band and is cut.
            bands.push_back({i, i});
            bandStart = i + 1;
            running = 0;
        } else {
            bands.push_back({bandStart, i - 1});
            bandStart = i;
            running = size;
            if (running > extent) {
                bands.push_back({i, i});
                bandStart = i + 1;
                running = 0;
            }
        }
    }
    if (bandStart < end)
        bands.push_back({bandStart, end - 1});
    return bands;
}
