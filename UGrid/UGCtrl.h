#pragma once
// The grid control window: a custom-drawn table on QWidget. The model side
// (sheets, geometry, cells, navigation, selection, editing protocol,
// notifications) is CUGCtrlCore; this class owns the panes, the edit control,
// the cell types and the registries of fonts and bitmaps, and paints.

#include "UGrid/UGCellType.h"
#include "UGrid/UGDC.h"
#include "UGrid/UGDropListType.h"
#include "UGrid/model/UGCtrlCore.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QImage;
class QMenu;
class CUGGrid;
class CUGTopHdg;
class CUGSideHdg;
class CUGCnrBtn;
class CUGVScroll;
class CUGHScroll;
class CUGHint;
class CUGEdit;
class CUGTab;
class CUGPrint;
class CUGFindDlg;

class CUGCtrl : public QWidget, public CUGCtrlCore
{
    Q_OBJECT
public:
    explicit CUGCtrl(QWidget* parent = nullptr);
    ~CUGCtrl() override;

    // Creates the control as a child of parent at rect; OnSetup and OnSheetSetup(0) follow.
    BOOL CreateGrid(unsigned style, const RECT& rect, QWidget* parent, UINT id);
    // Takes the place of the dialog's placeholder control (found by its object
    // name, or "id_NNNN" for a number); OnSetup and OnSheetSetup(0) follow. Returns 0.
    int AttachToDlgItem(QWidget* parent, const QString& name);
    int AttachToDlgItem(QWidget* parent, UINT id);

    // ---- Registries ----
    int AddFont(const char* face, int height, int weight);
    int AddFont(int height, int width, int escapement, int orientation, int weight, unsigned char italic,
                unsigned char underline, unsigned char strikeOut, unsigned char charSet,
                unsigned char outPrecision, unsigned char clipPrecision, unsigned char quality,
                unsigned char pitchAndFamily, const char* face);
    int RemoveFont(int index);
    int ClearAllFonts();
    int AddBitmap(UINT resourceId, const char* resourceName = nullptr);
    // A bitmap file; -1 when it cannot be opened or is not a valid image.
    int AddBitmap(const char* fileName);
    int RemoveBitmap(int index);
    int ClearAllBitmaps();
    int AddCellType(CUGCellType* type);
    int RemoveCellType(int index);
    CUGCellType* GetCellType(int index);
    int GetCellTypeIndex(CUGCellType* type) const;
    CUGCellType* GetCellTypeOfCell(int col, long row);

    // ---- Pop-up menu ----
    QMenu* GetPopupMenu() const { return m_menu.get(); }
    int EmptyMenu();
    int AddMenuItem(int id, const char* text);
    int RemoveMenuItem(int id);
    int StartMenu(int col, long row, POINT* screenPoint, int section);
    // A menu command: ids from 1000 reach OnMenuCommand.
    void OnCommand(int id);

    // ---- Tracking window ----
    int SetTrackingWindow(QWidget* window);

    int BestFit(int startCol, int endCol, int rowsToScan, int flags);
    int SetDoubleBufferMode(int mode) override;

    // ---- Replacing panes (before the child windows exist; the control owns them) ----
    int SetNewTopHeadingClass(CUGTopHdg* pane);
    int SetNewSideHeadingClass(CUGSideHdg* pane);
    int SetNewGridClass(CUGGrid* pane);
    int SetNewVScrollClass(CUGVScroll* pane);
    int SetNewHScrollClass(CUGHScroll* pane);
    int SetNewTabClass(CUGTab* pane);

    // ---- Sheet tabs (the tab bar's results) ----
    int AddTab(const char* label, long id);
    int InsertTab(int position, const char* label, long id);
    int DeleteTab(long id);
    int GetCurrentTab();
    int SetTabBackColor(long id, COLORREF colour);
    int SetTabTextColor(long id, COLORREF colour);
    // 1 when no tab has the id; otherwise the tab becomes current and OnTabSelected(id) follows.
    int SetCurrentTab(long id);

    // ---- Printing ----
    int PrintInit(CDC* printer, int reserved, int startCol, long startRow, int endCol, long endRow);
    int PrintPage(CDC* printer, int page);
    int PrintSetOption(int option, long value);
    int PrintGetOption(int option, long reserved = 0);
    CUGPrint* GetPrint() const { return m_CUGPrint.get(); }

    // ---- Find and replace dialogs ----
    // 1 when one is open already.
    int FindDialog() { return OpenFindDialog(false); }
    int ReplaceDialog() { return OpenFindDialog(true); }
    CUGFindDlg* GetFindDlg() const;
    int CopyToClipboard(const char* text) override;
    int GetClipboardText(std::string& text) override;

    // ---- Redraw ----
    int RedrawAll() override;
    int RedrawCell(int col, long row) override;
    int RedrawRow(long row) override;
    int RedrawCol(int col) override;
    int RedrawRange(int startCol, long startRow, int endCol, long endRow) override;

    // ---- Notifications that take a drawing context ----
    virtual void OnSetupDC(CDC*, CDC*, int) {}
    virtual void OnDrawFocusRect(CDC* dc, RECT* rect);

    // ---- Panes ----
    CUGGrid* GetGridWnd() const { return m_CUGGrid; }
    CUGTopHdg* GetTopHdgWnd() const { return m_CUGTopHdg; }
    CUGSideHdg* GetSideHdgWnd() const { return m_CUGSideHdg; }
    CUGCnrBtn* GetCornerWnd() const { return m_CUGCnrBtn; }
    CUGVScroll* GetVScrollWnd() const { return m_CUGVScroll; }
    CUGHScroll* GetHScrollWnd() const { return m_CUGHScroll; }
    CUGHint* GetHintWnd() const { return m_CUGHint.get(); }
    CUGTab* GetTabWnd() const { return m_CUGTab; }
    CUGEdit* GetEditCtrl() const { return m_CUGEdit; }
    CUGDropListType* GetDropListType() { return &m_dropListType; }
    // The pane that shows a section.
    QWidget* PaneOf(int section) const;
    // The grid-line pen colour of the current sheet, as a pen cells may draw with.
    CPen* GridLinePen();
    void UpdateSysColors();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

    void OnLayoutApplied(bool sizingTabs) override;
    void OnViewMoved() override;
    void OnCurrentCellChanged(int oldCol, long oldRow, int newCol, long newRow) override;
    void MoveTrackingWindow() override;
    bool IsShiftHeld() const override;
    bool IsCtrlHeld() const override;
    bool IsCellTypeEditable(const CUGCell& cell) override;
    void ShowEditWindow(CWnd* edit, int section, int key) override;
    void HideEditWindow(CWnd* edit) override;
    void FocusGridFromEdit() override;
    CWnd* DefaultEditWindow() override;
    void FocusGrid() override;
    void ShowNotFound() override;

private:
    void CreateChildWindows();
    template <class Pane> int ReplacePane(Pane*& slot, Pane* pane);
    int AddBitmapImage(const QImage& image);
    int OpenFindDialog(bool replace);

    CUGGrid* m_CUGGrid = nullptr;
    CUGTopHdg* m_CUGTopHdg = nullptr;
    CUGSideHdg* m_CUGSideHdg = nullptr;
    CUGCnrBtn* m_CUGCnrBtn = nullptr;
    CUGVScroll* m_CUGVScroll = nullptr;
    CUGHScroll* m_CUGHScroll = nullptr;
    CUGEdit* m_CUGEdit = nullptr;
    CUGTab* m_CUGTab = nullptr;
    std::unique_ptr<CUGPrint> m_CUGPrint;
    QPointer<CUGFindDlg> m_findDlg;
    std::unique_ptr<CUGHint> m_CUGHint;
    std::unique_ptr<QMenu> m_menu;
    QPointer<QWidget> m_trackWnd;
    bool m_childrenCreated = false;

    CUGCellType m_normalCellType;
    CUGDropListType m_dropListType;
    CUGCheckBoxType m_checkBoxType;
    CUGArrowType m_arrowType;
    struct FontDesc
    {
        int n[13];
        char face[32];
    };
    std::vector<std::unique_ptr<CFont>> m_fonts;
    std::vector<std::pair<CFont*, FontDesc>> m_fontDescs;
    std::vector<std::unique_ptr<CBitmap>> m_bitmaps;
    CPen m_gridLinePen;
};
