#pragma once
// The reference table of the chemical-profiling sheet's Files page: one row
// per reference (file, label, sample, region, level, intensity at the
// current level) and an add row; the ellipsis button replaces, the menu
// inserts and deletes, the drop lists choose region and level.

#include "UGrid/UGCellType.h"
#include "UGrid/UGCtrl.h"

#include <vector>

class CChemPrf_Sheet;

class CChemPrfFileGrid : public CUGCtrl
{
    Q_OBJECT
public:
    explicit CChemPrfFileGrid(CChemPrf_Sheet* pSheet) : m_pSheet(pSheet) {}

    void OnSetup() override;
    // Rebuilds every row from the sheet's references.
    void Fill();
    // Rewrites the Value column.
    void RefreshValues();

    int OnCanSizeCol(int) override { return 0; }
    int OnCanSizeRow(long) override { return 0; }
    int OnCanSizeTopHdg() override { return 0; }
    int OnCanSizeSideHdg() override { return 0; }
    void OnLClicked(int col, long row, int updn, RECT* rect, POINT* point, int processed) override;
    // Enter on the current cell does what a click on it does.
    void OnKeyDown(UINT* key, int processed) override;
    int OnCellTypeNotify(long ID, int col, long row, long msg, long param) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& string, int cancelFlag) override;
    int OnMenuStart(int col, long row, int section) override;
    void OnMenuCommand(int col, long row, int section, int item) override;
    COLORREF OnGetDefBackColor(int section) override;
    void OnDrawFocusRect(CDC*, RECT*) override {}

    // The items of a reference's drop list in column col (2 to 4).
    std::vector<std::string> Items(int ref, int col) const;

private:
    CChemPrf_Sheet* m_pSheet;
    CFont m_Font;
    CUGEllipsisType m_Ellipsis;
    int m_iEllipsis = -1;
};

// The result table of the profiling dialog: one row per level, one column
// per reference, the fitted intensities as the worker reports them.
class CChemPrfPrfGrid : public CUGCtrl
{
    Q_OBJECT
public:
    explicit CChemPrfPrfGrid(CChemPrf_Sheet* pSheet) : m_pSheet(pSheet) {}

    void OnSetup() override;
    int OnCanSizeCol(int) override { return 0; }
    int OnCanSizeRow(long) override { return 0; }
    int OnCanSizeTopHdg() override { return 0; }
    int OnCanSizeSideHdg() override { return 0; }
    COLORREF OnGetDefBackColor(int section) override;
    void OnDrawFocusRect(CDC*, RECT*) override {}

    // Row level gets the level's intensities.
    void ShowLevel(int level);

private:
    CChemPrf_Sheet* m_pSheet;
    CFont m_Font;
};

// The look both tables share: the font, raised read-only cells on the
// button face, bottom-left text.
void SetUpChemPrfGridDefaults(CUGCtrl& grid, CFont& font);
