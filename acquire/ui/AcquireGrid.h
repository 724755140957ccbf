#pragma once
// The table of every acquisition page: one look for all of them (read-only
// label cells on the dialog face, fixed sizes, no focus rectangle) and the
// editing, click and menu notifications handed to the page that owns it.

#include "UGrid/UGCtrl.h"

class CAcquire_Page;

class CAcquireGrid : public CUGCtrl
{
    Q_OBJECT
public:
    explicit CAcquireGrid(CAcquire_Page* page = nullptr) : m_pParent(page) {}

    void OnSetup() override;
    int OnCanSizeCol(int) override { return 0; }
    int OnCanSizeRow(long) override { return 0; }
    int OnCanSizeTopHdg() override { return 0; }
    int OnCanSizeSideHdg() override { return 0; }
    void OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    void OnRClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    void OnSH_LClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    int OnCellTypeNotify(long id, int col, long row, long msg, long param) override;
    int OnEditStart(int col, long row, CWnd** edit) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow) override;
    void OnMenuCommand(int col, long row, int section, int item) override;
    int OnMenuStart(int col, long row, int section) override;
    COLORREF OnGetDefBackColor(int section) override;
    void OnDrawFocusRect(CDC*, RECT*) override {}
    // Enter on the current cell does what a click on it does, so that the
    // values can be entered from the keyboard too.
    void OnKeyDown(UINT* key, int processed) override;

    // The height of a line of the grid's font.
    int TextHeight() const;
    CFont* Font() const { return m_pFont; }

private:
    CAcquire_Page* m_pParent;
    CFont* m_pFont = nullptr;
};
