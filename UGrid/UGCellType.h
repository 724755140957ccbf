#pragma once
// Cell types: how the cells that name them are drawn and how they react to
// clicks, keys and mouse moves. The base is the normal text cell.

#include "UGrid/UGDC.h"
#include "UGrid/model/UGCell.h"

#include <string>

class CUGCtrl;

class CUGCellType
{
public:
    CUGCellType() = default;
    virtual ~CUGCellType() = default;

    virtual const char* GetName() { return "Normal Cell Type (default)"; }
    virtual const unsigned char* GetTypeId();
    virtual int OnEditRect(RECT*) { return 0; }
    virtual int OnSysColorChange() { return 0; }
    virtual int OnLClicked(int, long, int, RECT*, POINT*) { return 0; }
    virtual int OnRClicked(int, long, int, RECT*, POINT*) { return 0; }
    virtual int OnDClicked(int, long, RECT*, POINT*) { return 0; }
    virtual int OnKeyDown(int, long, UINT*) { return 0; }
    virtual int OnCharDown(int, long, UINT*) { return 0; }
    virtual int OnMouseMove(int, long, POINT*, UINT) { return 0; }
    virtual void OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current);
    virtual void OnDrawScaled(CDC* dc, RECT* rect, int col, long row, CUGCell* cell);
    virtual void OnSetFocus(int, long, CUGCell*) {}
    virtual void OnKillFocus(int, long, CUGCell*) {}
    virtual void GetBestSize(CDC* dc, SIZE* size, CUGCell* cell);

    void SetID(int id) { m_ID = id; }
    int GetID() const { return m_ID; }
    void SetOwner(CUGCtrl* ctrl) { m_ctrl = ctrl; }
    int SetEditable(int state)
    {
        m_canEdit = state ? 1 : 0;
        return 0;
    }
    int IsEditable() const { return m_canEdit; }
    int SetDrawLabel(int state)
    {
        m_drawLabelText = state;
        return 0;
    }
    int CanOverflow(CUGCell* cell) const;

    void DrawBorder(CDC* dc, RECT* rect, RECT* inner, CUGCell* cell);
    void DrawText(CDC* dc, RECT* rect, int xOffset, int col, long row, CUGCell* cell, int selected,
                  int current);
    int DrawBitmap(CDC* dc, CBitmap* bitmap, RECT* rect, COLORREF back);
    // The column whose text runs on into (col, row) and the offset to draw it at;
    // 0 when no text overflows into the cell.
    int FindOverflowSource(CDC* dc, int col, long row, int* sourceCol, CUGCell* sourceCell);

protected:
    int m_canEdit = 1;
    int m_drawLabelText = 0;
    int m_canOverflow = 1;
    CUGCtrl* m_ctrl = nullptr;
    int m_ID = -1;
};

class CUGCheckBoxType : public CUGCellType
{
public:
    CUGCheckBoxType()
    {
        m_canEdit = 0;
        m_canOverflow = 0;
    }
    const char* GetName() override { return "Standard CheckBox Type"; }
    const unsigned char* GetTypeId() override;
    int OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point) override;
    int OnDClicked(int col, long row, RECT* rect, POINT* point) override;
    int OnCharDown(int col, long row, UINT* key) override;
    void OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current) override;

    // The box of a cell rectangle, as drawn.
    static RECT BoxRect(const RECT& cell);

private:
    int Toggle(int col, long row, bool fromKey);
    CUGCell m_cell;
};

class CUGArrowType : public CUGCellType
{
public:
    CUGArrowType() { m_canEdit = 0; }
    void OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current) override;
};

class CUGEllipsisType : public CUGCellType
{
public:
    CUGEllipsisType();
    int OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point) override;
    int OnDClicked(int, long, RECT*, POINT*) override { return 1; }
    int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
    // Enter or Ctrl+Down presses the button, as they open a drop list: the
    // keyboard reaches what the button offers.
    int OnKeyDown(int col, long row, UINT* key) override;
    int OnCharDown(int col, long row, UINT* key) override;
    void OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current) override;

private:
    int m_btnWidth;
    int m_btnDown = 0;
    long m_btnRow = -1;
    int m_btnCol = -1;
    RECT m_btnRect{};
};

// A raised (or, pressed, recessed) button face with the given depth.
void UGDraw3DFrame(CDC* dc, const RECT& r, bool raised);
// The button at the right of a drop-list or ellipsis cell, without its glyph.
void UGDrawCellButton(CDC* dc, const RECT& btn, bool pressed);
