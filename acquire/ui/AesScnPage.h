#pragma once
// The AES scan-control page: where the beam goes (points, areas, the full
// field), the image settings, and the points and areas on the set-up image.
// The lists live in the set-up's scan model; the table shows the list in use
// and the set-up image view hands the page its presses, paints and cursor.
#include "acquire/ui/AesPage.h"
#include "framework/ui/ImageSelect.h"

#include <QPointer>

#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class CAesScnModel;

class CAcquireAES_ScnPage : public CAesPage, public IImageSelectPage
{
    Q_OBJECT
public:
    enum MoveType
    {
        None = 0,
        Point = 1,
        Area = 2,
        Full = 3,
    };

    explicit CAcquireAES_ScnPage(QWidget* parent = nullptr);
    ~CAcquireAES_ScnPage() override;

    bool OnInitDialog() override;
    // Takes the magnification and resolution; a bad number is shown and
    // keeps the page (and Start, Save) where it is.
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override { UpdatePage(); }

    bool UsePts() const;
    bool UseAreas() const;
    bool UseLinescan() const;
    int GetMoveType() const;

    // The set-up image view.
    bool UsesPointsOrAreas() const override { return UsePts() || UseAreas(); }
    void SetDispView(QWidget* pView) override;
    QWidget* GetDispView() const { return m_pDispView; }
    void OnLButtonDownInImage(IImagePane* pane, POINT point) override;
    void DrawOnImage(QPainter* pDC, IImagePane* pane) override;
    bool SetCursor(IImagePane* pane, POINT point) override;

    // A scan coordinate in table units.
    int Normalize(int value) const;
    // Scan coordinates and the pane's image pixels, in place.
    void SPtoLP(POINT* p, const IImagePane* pane) const;
    void SPtoLP(RECT* r, const IImagePane* pane) const;
    void LPtoSP(POINT* p, const IImagePane* pane) const;
    void LPtoSP(RECT* r, const IImagePane* pane) const;
    // Which part of a line scan's line, from (left, top) to (right, bottom)
    // in window pixels, the point lies on: 0..3 an end, 8 the body, -1 none.
    int HitTestLine(const RECT& line, POINT point) const;

    // The table.
    void UpdatePage();
    void InitGrid();
    void AddRow();
    int InsertRow(int row);
    int DeleteRow();
    int DeleteRow(int row);
    void CompactGrid(int& row);
    int SelectRow(int row);
    int32_t GetListItem(int col, int row) const;
    void SetListItem(int col, int row, int32_t value);
    void CopyToClipBoard(int row);
    void PasteFromClipBoard(int row);
    int Rows() const { return m_nRows; }

    void OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    void OnSH_LClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    int OnEditStart(int col, long row, CWnd** edit) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow) override;
    int OnMenuStart(int col, long row, int section) override;
    void OnMenuCommand(int col, long row, int section, int item) override;

private:
    CAesScnModel& M() const;
    void SetupGrid();
    void OnControlBtn(int id);
    void OnSizeChange();
    void OnLinescan();
    void OnNumberEdit();
    void RepaintDispView();
    // After a change made on the image.
    void Changed();
    void PutCell(int col, int row, int look, int32_t scan);

    QComboBox* m_cbxSize = nullptr;
    QButtonGroup* m_radios = nullptr;
    QCheckBox* m_chkLinescan = nullptr;
    QLineEdit* m_edMag = nullptr;
    QLineEdit* m_edResol = nullptr;
    QWidget* m_gridHolder = nullptr;
    QPointer<QWidget> m_pDispView;
    bool m_bRowAdded = false;
    int m_nRows = 0;
    // The new row of the previous fill, so the rows after it are blanked.
    int m_nLastNewRow = 0;
    int32_t m_iOldValue = INT32_MIN;
};
