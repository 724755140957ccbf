#pragma once
// Everything that belongs to one sheet of a grid: geometry, position, defaults,
// data sources, selection and modes. Switching sheets switches this object.

#include "UGrid/model/UGCell.h"
#include "UGrid/model/UGMemMan.h"
#include "UGrid/model/UGMultiSelect.h"

#include <memory>
#include <vector>

class CUGDataSource;

struct CUGColInfo
{
    int width = 75;
    CUGDataSource* dataSource = nullptr;
    std::unique_ptr<CUGCell> colDefault;
    int colTranslation = 0;
};

struct CUGGridInfo
{
    CUGGridInfo();
    ~CUGGridInfo();
    CUGGridInfo(const CUGGridInfo&) = delete;
    CUGGridInfo& operator=(const CUGGridInfo&) = delete;

    // Height of a data row (the uniform height when uniform heights are on).
    int RowHeight(long row) const
    {
        if (m_uniformRowHeightFlag || row < 0 || row >= m_numberRows)
            return m_defRowHeight;
        return m_rowHeights[size_t(row)];
    }
    int ColWidth(int col) const { return col >= 0 && col < m_numberCols ? m_colInfo[size_t(col)].width : 0; }
    // A walk over the shown rows or columns jumps from the last locked one to the
    // first one scrolled into view.
    long SkipScrolledRows(long row) const { return row == m_numLockRows && m_topRow > row ? m_topRow : row; }
    int SkipScrolledCols(int col) const { return col == m_numLockCols && m_leftCol > col ? m_leftCol : col; }

    int m_numberCols = 0;
    int m_currentCol = -1;
    int m_lastCol = -1;
    int m_leftCol = 0;
    int m_lastLeftCol = 0;
    int m_maxLeftCol = 0;
    int m_defColWidth = 75;
    int m_rightCol = 0;
    int m_dragCol = -1;
    std::vector<CUGColInfo> m_colInfo;

    long m_numberRows = 0;
    long m_currentRow = -1;
    long m_lastRow = -1;
    long m_topRow = 0;
    long m_lastTopRow = 0;
    long m_maxTopRow = 0;
    std::vector<int> m_rowHeights;
    int m_defRowHeight = 20;
    int m_uniformRowHeightFlag = 0;
    long m_bottomRow = 0;
    long m_dragRow = -1;

    int m_numberTopHdgRows = 1;
    std::vector<int> m_topHdgHeights{20};
    int m_numberSideHdgCols = 1;
    std::vector<int> m_sideHdgWidths{25};

    std::unique_ptr<CUGCell> m_gridDefaults;
    std::unique_ptr<CUGCell> m_hdgDefaults;

    int m_topHdgHeight = 20;
    int m_sideHdgWidth = 40;
    int m_vScrollWidth = 17;
    int m_hScrollHeight = 17;
    int m_tabWidth = 0;
    int m_gridWidth = 0;
    int m_gridHeight = 0;

    RECT m_gridRect, m_topHdgRect, m_sideHdgRect, m_cnrBtnRect, m_tabRect, m_vScrollRect, m_hScrollRect;

    int m_highlightRowFlag = 0;
    int m_multiSelectFlag = 0;
    int m_currentCellMode = 1;
    int m_paintMode = 1;
    int m_enablePopupMenu = 0;
    int m_enableHints = 0;
    int m_enableVScrollHints = 0;
    int m_enableHScrollHints = 0;
    int m_userSizingMode = 1;
    int m_enableJoins = 1;
    int m_enableColSwapping = 0;
    int m_enableCellOverLap = 1;
    int m_enableGridLines = 1;
    int m_enableBestFitOnDClick = 1;
    int m_vScrollMode = 0;
    int m_hScrollMode = 0;
    int m_autoScrollExponent = 0;
    int m_autoScrollDelay = 200;
    int m_keyAccelStep = 0;
    int m_keyAccelDelay = 0;
    int m_doubleBufferMode = 0;
    int m_numLockCols = 0;
    int m_lockColWidth = 0;
    long m_numLockRows = 0;
    int m_lockRowHeight = 0;
    CFont* m_defFont = nullptr;
    int m_defDataSourceIndex = 0;
    CUGDataSource* m_defDataSource = nullptr;
    std::unique_ptr<CUGMemMan> m_CUGMem;
    int m_moveType = 0;
    unsigned m_moveFlags = 0;
    std::unique_ptr<CUGMultiSelect> m_multiSelect;
    int m_arrowCursor = 0; // the user interface's cursor shapes
    int m_WEResizeCursor = 0;
    int m_NSResizeCursor = 0;
    CWnd* m_editCtrl = nullptr;
    int m_margin = 4;
    COLORREF m_gridLineColor = UGRGB(220, 220, 220);
    int m_trackingWndMode = 0;
    int m_3DHeight = 1;
    int m_ballisticMode = 1;
};
