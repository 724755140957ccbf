#pragma once
// The drop-down list cell type and its list window.

#include "UGrid/UGCellType.h"

#include <QListWidget>
#include <QPointer>

#include <string>
#include <vector>

class CUGLstBox;

class CUGDropListType : public CUGCellType
{
public:
    CUGDropListType();
    ~CUGDropListType() override;
    const char* GetName() override { return "Standard DropList"; }
    const unsigned char* GetTypeId() override;
    int OnEditRect(RECT* rect) override;
    int OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point) override;
    int OnDClicked(int col, long row, RECT* rect, POINT* point) override;
    int OnKeyDown(int col, long row, UINT* key) override;
    int OnCharDown(int col, long row, UINT* key) override;
    int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
    void OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current) override;
    void OnKillFocus(int col, long row, CUGCell* cell) override;

    CUGLstBox* GetListBox() const { return m_listBox; }
    int ButtonWidth() const { return m_btnWidth; }
    // Where the list of an item count would open for a cell rectangle inside a
    // cell area of the given size.
    static RECT ListRect(const RECT& cell, int itemCount, int itemHeight, int areaWidth, int areaHeight);
    // The items of a label: each ends at a newline; text after the last is no item.
    static std::vector<std::string> SplitItems(const std::string& label);

    int m_listCol = -1;
    long m_listRow = -1;

private:
    int StartDropList();

    int m_btnWidth;
    int m_btnDown = 0;
    RECT m_btnRect{};
    int m_btnCol = -1;
    long m_btnRow = -1;
    QPointer<CUGLstBox> m_listBox;
};

class CUGLstBox : public QListWidget
{
    Q_OBJECT
public:
    CUGLstBox(CUGCtrl* ctrl, CUGDropListType* owner, QWidget* parent);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    void Select();
    void Close();

    CUGCtrl* m_ctrl;
    CUGDropListType* m_owner;
    bool m_open = false;
    bool m_chosen = false;
    bool m_closing = false;
};
