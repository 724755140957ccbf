#pragma once
// Lays a block of the current sheet out on printer pages and prints one page at
// a time into a printer's drawing context; cells draw themselves scaled, so the
// paper keeps the proportions of the screen.

#include "UGrid/model/UGPrintLayout.h"
#include "UGrid/model/UGTypes.h"

#include <vector>

class CDC;
class CUGCtrl;
class QPaintDevice;

class CUGPrint
{
public:
    explicit CUGPrint(CUGCtrl* ctrl) : m_ctrl(ctrl) {}

    // The number of pages for the block on this printer; 0 when the margins and
    // headings leave no printable area or the block is empty.
    int PrintInit(CDC* printer, int reserved, int startCol, long startRow, int endCol, long endRow);
    // Prints one page (numbered from 1); a page that was not laid out prints nothing.
    int PrintPage(CDC* printer, int page);
    int PrintSetOption(int option, long value);
    int PrintGetOption(int option, long* value = nullptr) const;

    int AddPage(int page, int firstCol, int lastCol, long firstRow, long lastRow);
    int GetPage(int page, int* firstCol, int* lastCol, long* firstRow, long* lastRow) const;
    int ClearPages();

    const UGPageGeometry& Geometry() const { return m_geometry; }
    int PagesAcross() const { return m_pagesAcross; }
    int PagesDown() const { return m_pagesDown; }

private:
    struct Page
    {
        int page, firstCol, lastCol;
        long firstRow, lastRow;
    };
    void PrintCell(CDC* printer, const RECT& rect, int col, long row);
    static UGPrinterMetrics MetricsOf(const QPaintDevice* device);

    CUGCtrl* m_ctrl;
    std::vector<Page> m_pages;
    UGPageGeometry m_geometry;
    UGPrintMargins m_margins;
    int m_pagesAcross = 0;
    int m_pagesDown = 0;
    int m_frameLines = 1;
    int m_printColHdgs = 0;
    int m_printRowHdgs = 0;
};
