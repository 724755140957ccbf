#pragma once
// The grid control without its windows: sheets, geometry, cell access through
// data sources, joins, navigation, selection, registries and the editing
// protocol, with the notifications a table overrides. CUGCtrl (the window) derives
// from it and supplies the painting and the panes through the view hooks below;
// tests derive from it directly.

#include "UGrid/model/UGCell.h"
#include "UGrid/model/UGDataSource.h"
#include "UGrid/model/UGGridInfo.h"
#include "UGrid/model/UGPtrList.h"

#include <memory>
#include <string>
#include <vector>

// The pane rectangles of one layout.
struct UGLayout
{
    RECT grid, topHdg, sideHdg, corner, vScroll, hScroll, tab;
    bool vScrollShown = true;
    bool hScrollShown = true;
};

class CUGCtrlCore
{
public:
    CUGCtrlCore();
    virtual ~CUGCtrlCore();
    CUGCtrlCore(const CUGCtrlCore&) = delete;
    CUGCtrlCore& operator=(const CUGCtrlCore&) = delete;

    // The current sheet's settings (the panes and cell types read them).
    CUGGridInfo* GI() const { return m_GI; }

    // ---- Layout and sizes ----
    // The pane rectangles for a client area of w by h with the current sheet.
    UGLayout CalcLayout(int w, int h) const;
    // Lays the panes out for the client size last given with SetClientSize.
    void AdjustLayout();
    void SetClientSize(int w, int h)
    {
        m_clientWidth = w;
        m_clientHeight = h;
    }
    int EnableUpdate(BOOL state);
    int SetTopHdgHeight(int height);
    int GetTopHdgHeight() const { return m_GI->m_topHdgHeight; }
    int SetSideHdgWidth(int width);
    int GetSideHdgWidth() const { return m_GI->m_sideHdgWidth; }
    int SetVScrollWidth(int width);
    int GetVScrollWidth() const { return m_GI->m_vScrollWidth; }
    int SetHScrollHeight(int height);
    int GetHScrollHeight() const { return m_GI->m_hScrollHeight; }
    int SetTabWidth(int width);
    int SetNumberTopHdgRows(int rows);
    int GetNumberTopHdgRows() const { return m_GI->m_numberTopHdgRows; }
    int SetNumberSideHdgCols(int cols);
    int GetNumberSideHdgCols() const { return m_GI->m_numberSideHdgCols; }
    int SetTopHdgRowHeight(int row, int height);
    int GetTopHdgRowHeight(int row) const;
    int SetSideHdgColWidth(int col, int width);
    int GetSideHdgColWidth(int col) const;
    int SetRowCount(long rows, BOOL redraw = 1);
    long GetRowCount() const { return m_GI->m_numberRows; }
    int SetColCount(int cols, BOOL redraw = 1);
    int GetColCount() const { return m_GI->m_numberCols; }
    int SetColWidth(int col, int width);
    int GetColWidth(int col, int* width) const;
    int GetColWidth(int col) const;
    int SetDefColWidth(int width);
    int SetRowHeight(long row, int height);
    int GetRowHeight(long row, int* height) const;
    int GetRowHeight(long row) const;
    int SetDefRowHeight(int height);
    int SetUniformRowHeight(BOOL flag);
    int FitColsToWidth(int startCol, int endCol);
    int LockColumns(int numCols);
    int LockRows(long numRows);

    // ---- Cell access ----
    int GetCell(int col, long row, CUGCell* cell);
    int GetCellIndirect(int col, long row, CUGCell* cell);
    int SetCell(int col, long row, CUGCell* cell);
    int DeleteCell(int col, long row);
    int GetColTranslation(int col) const;
    int SetColTranslation(int col, int transCol);
    int SetGridDefault(const CUGCell* cell);
    int GetGridDefault(CUGCell* cell) const;
    int SetHeadingDefault(const CUGCell* cell);
    int GetHeadingDefault(CUGCell* cell) const;
    int SetColDefault(int col, const CUGCell* cell);
    int GetColDefault(int col, CUGCell* cell) const;
    int SetTextAt(int col, long row, const char* text);
    int SetNumberAt(int col, long row, double number);
    int SetMaskAt(int col, long row, const char* mask);
    int SetLabelAt(int col, long row, const char* label);
    int SetTextColorAt(int col, long row, COLORREF color);
    int SetHTextColorAt(int col, long row, COLORREF color);
    int SetBackColorAt(int col, long row, COLORREF color);
    int SetHBackColorAt(int col, long row, COLORREF color);
    int SetBitmapAt(int col, long row, CBitmap* bitmap);
    int SetBitmapAt(int col, long row, int index);
    int SetFontAt(int col, long row, CFont* font);
    int SetFontAt(int col, long row, int index);
    int SetAlignmentAt(int col, long row, short align);
    int SetBorderAt(int col, long row, short style);
    int SetBorderPenAt(int col, long row, CPen* pen);
    int SetCellTypeAt(int col, long row, int index);
    int SetCellTypeParamAt(int col, long row, long param);
    // The stored text (empty when none or out of range); 1 when there is none.
    int GetTextAt(int col, long row, std::string* text);
    // The stored text as a value of its own.
    std::string GetTextAt(int col, long row);
    int SetCellRange(int startCol, long startRow, int endCol, long endRow, CUGCell* cell);

    // ---- Joins ----
    int EnableJoins(BOOL state);
    int JoinCells(int startCol, long startRow, int endCol, long endRow);
    int UnJoinCells(int col, long row);
    int GetJoinStartCell(int* col, long* row);
    int GetJoinStartCell(int* col, long* row, CUGCell* cell);
    int GetJoinRange(int* col, long* row, int* endCol, long* endRow);

    // ---- Data sources ----
    int AddDataSource(CUGDataSource* ds);
    CUGDataSource* GetDataSource(int index);
    int RemoveDataSource(int index);
    int SetDefDataSource(int index);
    int GetDefDataSource() const { return m_GI->m_defDataSourceIndex; }
    int SetColDataSource(int col, int index);
    int SetColDataSource(int col, CUGDataSource* ds);
    int SetGridUsingDataSource(int index);
    int InsertRow(long row);
    int AppendRow();
    int DeleteRow(long row);
    int InsertCol(int col);
    int AppendCol();
    int DeleteCol(int col);
    int MoveColPosition(int fromCol, int toCol, BOOL before);
    int FindFirst(std::string* text, int* col, long* row, long flags);
    int FindNext(std::string* text, int* col, long* row, long flags);
    int SortBy(int col, int flags = 0);
    int SortBy(int* cols, int count, int flags = 0);

    // ---- Find, replace and clipboard ----
    // One request of the find or replace dialog.
    struct FindRequest
    {
        enum Kind
        {
            FindNext,
            Replace,
            ReplaceAll,
            Closing
        };
        Kind kind = FindNext;
        std::string find, replace;
        bool matchCase = false;
        bool wholeCell = false;
        bool down = true;
    };
    int SetFindInAllCols(BOOL state);
    // Runs a request of the open find or replace dialog: 1 for closing, else 0.
    int OnFindReplace(const FindRequest& request);
    bool IsFindDialogOpen() const { return m_findDialogOpen; }
    int CopySelected() { return CopyOrCut(false); }
    int CutSelected() { return CopyOrCut(true); }
    // 1 when the clipboard holds no text.
    int Paste();
    // Stores tab-separated text from the current cell on; fields past the last
    // column or row are dropped (the paste grows nothing).
    int PasteText(const std::string& text);
    // The clipboard itself; without a window there is none.
    virtual int CopyToClipboard(const char*) { return 1; }
    virtual int GetClipboardText(std::string&) { return 1; }

    // ---- Current cell, scrolling, selection ----
    int GotoCol(int col);
    int GotoRow(long row);
    int GotoCell(int col, long row);
    int SetLeftCol(int col);
    int SetTopRow(long row);
    int MoveCurrentCol(int kind);
    int MoveCurrentRow(int kind);
    int MoveLeftCol(int kind);
    int MoveTopRow(int kind);
    int AdjustCurrentCol(int delta);
    int AdjustCurrentRow(long delta);
    int AdjustLeftCol(int delta);
    int AdjustTopRow(long delta);
    int GetCurrentCol() const { return m_GI->m_currentCol; }
    long GetCurrentRow() const { return m_GI->m_currentRow; }
    int GetLeftCol() const { return m_GI->m_leftCol; }
    long GetTopRow() const { return m_GI->m_topRow; }
    int GetRightCol() const { return m_GI->m_rightCol; }
    long GetBottomRow() const { return m_GI->m_bottomRow; }
    int GetCellFromPoint(int x, int y, int* col, long* row);
    int GetCellFromPoint(int x, int y, int* col, long* row, RECT* rect);
    int GetCellFromPointNoJoin(int x, int y, int* col, long* row);
    int GetCellRect(int* col, long* row, RECT* rect);
    int GetCellRect(int col, long row, RECT* rect) { return GetCellRect(&col, &row, rect); }
    int GetRangeRect(int startCol, long startRow, int endCol, long endRow, RECT* rect);
    int CheckRow(long* row);
    int CheckCol(int* col);
    int SetAutoScrollExponent(int exponent);
    int SetAutoScrollDelay(int ms);
    // Rows or columns one auto-scroll pass moves for a pointer d pixels past the
    // edge, with the cell size s the step is measured in.
    static int AutoScrollStep(int d, int s, int exponent);
    // Target row of a page move from start (down when forward), or column.
    long PageRowTarget(long start, bool forward) const;
    int PageColTarget(int start, bool forward) const;
    // The largest top row and left column that still show the last row or column in full.
    long CalcMaxTopRow() const;
    int CalcMaxLeftCol() const;

    int SetMultiSelectMode(int mode);
    int SetHighlightRow(BOOL state);
    int ClearSelections();
    int Select(int col, long row);
    int SelectRange(int startCol, long startRow, int endCol, long endRow);
    int IsSelected(int col, long row, int* block = nullptr);
    int EnumFirstSelected(int* col, long* row);
    int EnumNextSelected(int* col, long* row);

    // ---- Sheets and their settings ----
    int SetNumberSheets(int count);
    int GetNumberSheets() const { return int(m_sheets.size()); }
    int SetSheetNumber(int index, BOOL redraw = 1);
    int GetSheetNumber() const { return m_currentSheet; }
    int SetCurrentCellMode(int mode);
    int SetPaintMode(BOOL mode);
    int GetPaintMode() const { return m_GI->m_paintMode; }
    int EnableMenu(BOOL state);
    int UseHints(BOOL state);
    int UseVScrollHints(BOOL state);
    int UseHScrollHints(BOOL state);
    int SetUserSizingMode(int mode);
    int EnableTextOverflow(BOOL state);
    int EnableColSwapping(BOOL state);
    int EnableGridLines(BOOL state);
    int SetVScrollMode(int mode);
    int SetHScrollMode(int mode);
    int SetKeyAccelStep(int step);
    int SetKeyAccelDelay(int ms);
    virtual int SetDoubleBufferMode(int mode);
    int SetMargin(int pixels);
    int SetDefFont(CFont* font);
    int SetDefFont(int index);
    int SetNewEditClass(CWnd* edit);
    CWnd* GetEditClass() const { return m_GI->m_editCtrl; }
    int SetTrackingWindowMode(int mode);
    int SetNewMultiSelectClass(std::unique_ptr<CUGMultiSelect> multiSelect);
    int SetBallisticMode(int mode);

    // ---- Registries ----
    CUGPtrList& FontList() { return m_fontList; }
    CUGPtrList& BitmapList() { return m_bitmapList; }
    CUGPtrList& CellTypeList() { return m_cellTypeList; }
    CFont* GetFont(int index) const { return static_cast<CFont*>(m_fontList.GetPointer(index)); }
    CBitmap* GetBitmap(int index) const { return static_cast<CBitmap*>(m_bitmapList.GetPointer(index)); }

    // ---- Editing ----
    int StartEdit() { return StartEditCell(m_GI->m_currentCol, m_GI->m_currentRow, 0); }
    int StartEdit(int key) { return StartEditCell(m_GI->m_currentCol, m_GI->m_currentRow, key); }
    int StartEditCell(int col, long row, int key);
    int EditCtrlFinished(const char* text, int cancel, int continueFlag, int newCol, long newRow);
    int CancelEdit();
    bool IsEditing() const { return m_editInProgress != 0; }
    int GetEditCol() const { return m_editCol; }
    long GetEditRow() const { return m_editRow; }
    CUGCell* GetEditCell() { return &m_editCell; }
    CWnd* GetEditWindow() const { return m_editCtrl; }
    // Where editing goes on from the edit cell: joined blocks skipped, both ends wrapped.
    void EditContinueTarget(int* newCol, long* newRow);

    // ---- Redraw (the window supplies the real work) ----
    virtual int RedrawAll() { return 0; }
    virtual int RedrawCell(int, long) { return 0; }
    virtual int RedrawRow(long) { return 0; }
    virtual int RedrawCol(int) { return 0; }
    virtual int RedrawRange(int, long, int, long) { return 0; }

    // ---- Notifications ----
    virtual void OnSetFocus(int) {}
    virtual void OnSetup() {}
    virtual void OnSheetSetup(int) {}
    virtual int OnCanMove(int, long, int, long) { return 1; }
    virtual int OnCanViewMove(int, long, int, long) { return 1; }
    virtual void OnBottomReached(long, long, long) {}
    virtual void OnSpareNotify1(long, long) {}
    virtual int OnCanSizeCol(int) { return 1; }
    virtual void OnColSizing(int, int*) {}
    virtual void OnColSized(int, int*) {}
    virtual int OnCanSizeRow(long) { return 1; }
    virtual void OnRowSizing(long, int*) {}
    virtual void OnRowSized(long, int*) {}
    virtual int OnCanSizeTopHdg() { return 1; }
    virtual int OnCanSizeSideHdg() { return 1; }
    virtual int OnTopHdgSizing(int*) { return 1; }
    virtual int OnSideHdgSizing(int*) { return 1; }
    virtual int OnTopHdgSized(int*) { return 1; }
    virtual int OnSideHdgSized(int*) { return 1; }
    virtual void OnColChange(int, int) {}
    virtual void OnRowChange(long, long) {}
    virtual void OnCellChange(int, int, long, long) {}
    virtual void OnLeftColChange(int, int) {}
    virtual void OnTopRowChange(long, long) {}
    virtual void OnLClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnRClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnDClicked(int, long, RECT*, POINT*, int) {}
    virtual void OnMouseMove(int, long, POINT*, UINT, int) {}
    virtual void OnTH_LClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnTH_RClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnTH_DClicked(int, long, RECT*, POINT*, int) {}
    virtual void OnSH_LClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnSH_RClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnSH_DClicked(int, long, RECT*, POINT*, int) {}
    virtual void OnCB_LClicked(int, RECT*, POINT*, int) {}
    virtual void OnCB_RClicked(int, RECT*, POINT*, int) {}
    virtual void OnCB_DClicked(RECT*, POINT*, int) {}
    virtual void OnKeyDown(UINT*, int) {}
    virtual void OnCharDown(UINT*, int) {}
    virtual void OnGetCell(int, long, CUGCell*) {}
    virtual void OnSetCell(int, long, CUGCell*) {}
    virtual void OnSpareNotify2(long, long, long) {}
    virtual int OnCellTypeNotify(long, int, long, long, long) { return 1; }
    virtual int OnEditStart(int, long, CWnd**) { return 1; }
    virtual int OnEditVerify(int, long, CWnd*, UINT*) { return 1; }
    virtual int OnEditFinish(int, long, CWnd*, std::string&, int) { return 1; }
    virtual int OnEditContinue(int, long, int*, long*) { return 1; }
    virtual void OnMenuCommand(int, long, int, int) {}
    virtual int OnMenuStart(int, long, int) { return 1; }
    virtual int OnHint(int col, long row, int section, std::string* text);
    virtual int OnVScrollHint(long, std::string*) { return 1; }
    virtual int OnHScrollHint(int, std::string*) { return 1; }
    virtual int OnCompareCells(CUGCell* a, CUGCell* b, int flags);
    // OnSetupDC and OnDrawFocusRect take a drawing context and live on CUGCtrl.
    virtual void OnAdjustLayout(RECT*, RECT*, RECT*, RECT*, RECT*, RECT*, RECT*) {}
    virtual void OnTabSelected(int) {}
    virtual COLORREF OnGetDefBackColor(int section);
    virtual void OnKillFocus(int) {}
    virtual int OnColDragStart(int) { return 1; }
    virtual int OnCanMoveCol(int, int) { return 1; }
    virtual void OnTrackWndMoved(RECT*, RECT*) {}

protected:
    // ---- View hooks, no-ops without a window ----
    // The layout's rectangles are ready in the sheet; the window moves its panes.
    virtual void OnLayoutApplied(bool /*sizingTabs*/) {}
    // After a move update: the panes bring their pictures up to date.
    virtual void OnViewMoved() {}
    // The current cell changed: the cell types get their focus calls.
    virtual void OnCurrentCellChanged(int /*oldCol*/, long /*oldRow*/, int /*newCol*/, long /*newRow*/) {}
    // After a move update: the tracking window steps out of the way.
    virtual void MoveTrackingWindow() {}
    // Whether Shift and Ctrl are held now (keyboard moves of the selection).
    virtual bool IsShiftHeld() const { return false; }
    virtual bool IsCtrlHeld() const { return false; }
    // Whether a cell of the composed cell's type may be edited in place.
    virtual bool IsCellTypeEditable(const CUGCell&) { return true; }
    // Shows the edit window over the cell and types key into it; the pane is the section.
    virtual void ShowEditWindow(CWnd* /*edit*/, int /*section*/, int /*key*/) {}
    virtual void HideEditWindow(CWnd* /*edit*/) {}
    // Gives the focus to the cell area, if the edit window holds it.
    virtual void FocusGridFromEdit() {}
    // The edit window a new sheet starts with.
    virtual CWnd* DefaultEditWindow() { return nullptr; }
    // Gives the focus to the cell area (sheet switches).
    virtual void FocusGrid() {}
    // A search found nothing: the window says "Item not found".
    virtual void ShowNotFound() {}
    int CopyOrCut(bool cut);
    bool m_findDialogOpen = false;
    bool m_findFirst = false;
    bool m_findInAllCols = false;

    void MoveUpdate();
    void AdjustTopRowToPending();
    void AdjustLeftColToPending();
    void SumLockedHeight();
    void SumLockedWidth();
    void ComputeMaxTopRow();
    void ComputeMaxLeftCol();
    CUGDataSource* ColDataSource(int col) const;
    void SelectionForMove();
    void CreateSheetObjects(CUGGridInfo* gi);
    int CheckRowImpl(long* row, bool joins);
    RECT RangeRectRaw(int startCol, long startRow, int endCol, long endRow) const;
    int ColX(int col) const;
    int RowY(long row) const;
    int m_layoutDepth = 0;
    void RescaleHeadings(std::vector<int>& sizes, int newTotal);

    int m_clientWidth = 0;
    int m_clientHeight = 0;
    int m_paintFlag = 1;
    bool m_inLayout = false;

    std::vector<CUGDataSource*> m_dataSrcList; // index 0 is never handed out
    CUGPtrList m_fontList;
    CUGPtrList m_bitmapList;
    CUGPtrList m_cellTypeList;
    CUGPtrList m_spareList1, m_spareList2, m_spareList3;

    int m_menuCol = -1;
    long m_menuRow = -1;
    int m_menuSection = -1;
    CUGCell m_cell; // scratch cell for deriving tables

    std::vector<std::unique_ptr<CUGGridInfo>> m_sheets;
    int m_currentSheet = 0;
    CUGGridInfo* m_GI = nullptr;

    int m_editInProgress = 0;
    int m_editCol = -1;
    long m_editRow = -1;
    CWnd* m_editCtrl = nullptr;
    CUGCell m_editCell;
    int m_editParent = UG_SECTION_GRID;
    bool m_constructing = true;
};
