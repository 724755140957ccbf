#pragma once
// A ready-made grid that behaves like a small spreadsheet: lettered columns,
// numbered rows, whole-column and whole-row selection from the headings,
// select-all from the corner, typing starts editing, Delete clears a cell, and
// the current cell is framed heavily with a corner handle.

#include "UGrid/UGCtrl.h"

class CUGSpreadsheetCtrl : public CUGCtrl
{
    Q_OBJECT
public:
    explicit CUGSpreadsheetCtrl(QWidget* parent = nullptr);

    void OnSetup() override;
    void OnDClicked(int col, long row, RECT* rect, POINT* point, int processed) override;
    void OnTH_LClicked(int col, long row, int updn, RECT* rect, POINT* point, int processed) override;
    void OnSH_LClicked(int col, long row, int updn, RECT* rect, POINT* point, int processed) override;
    void OnCB_LClicked(int updn, RECT* rect, POINT* point, int processed) override;
    void OnKeyDown(UINT* vcKey, int processed) override;
    void OnCharDown(UINT* vcKey, int processed) override;
    void OnGetCell(int col, long row, CUGCell* cell) override;
    void OnMenuCommand(int col, long row, int section, int item) override;
    void OnTabSelected(int id) override;
    void OnDrawFocusRect(CDC* dc, RECT* rect) override;

    // Two spare hooks a derived sheet may use.
    virtual int OnSpreadsheetNotify1(int, long, int, long, long) { return 1; }
    virtual void OnSpreadsheetNotify2(int, long) {}

private:
    CFont m_font;
};
