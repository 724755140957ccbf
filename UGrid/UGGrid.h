#pragma once
// The cell area: paints the cells through their types and turns keys, clicks,
// drags, the wheel and focus changes into moves and notifications.

#include "UGrid/UGDC.h"
#include "UGrid/model/UGDrawHint.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

class CUGCtrl;
struct CUGGridInfo;

class CUGGrid : public QWidget
{
    Q_OBJECT
public:
    explicit CUGGrid(CUGCtrl* ctrl, QWidget* parent);

    int RedrawCell(int col, long row);
    int RedrawRow(long row);
    int RedrawCol(int col);
    int RedrawRange(int startCol, long startRow, int endCol, long endRow);
    void Redraw();
    void Moved();
    int SetDoubleBufferMode(int mode);
    // Paints the cells inside clip.
    void DrawCells(CDC* dc, const QRect& clip);
    // Converts a key event's key into the window system's virtual-key code.
    static UINT ToVirtualKey(int qtKey);
    // Handles a key press as the key-down and then its character.
    void HandleKey(QKeyEvent* event);
    // A rectangle shown inverted over the cells: the tracking line of a column
    // or row being sized, or the drop marker of a dragged column. Empty removes it.
    void SetTrackRect(const QRect& rect);
    QRect TrackRect() const { return m_trackRect; }
    // While frozen the pane keeps the picture it had, as a column or row is sized
    // with a tracking line; unfreezing paints the cells anew.
    void Freeze(bool on);
    bool IsFrozen() const { return !m_frozen.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The menu key and Shift+F10 open the grid's menu on the current cell;
    // the right button opens it from mousePressEvent.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    CUGGridInfo* GI() const;
    QRect CellQRect(int col, long row, bool wholeRow);
    void DragPass(const QPoint& pos);
    void OnDragTimer();
    unsigned MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) const;

    CUGCtrl* m_ctrl;
    CUGDrawHint m_drawHint;
    int m_doubleBufferMode = 0;
    int m_keyRepeatCount = 0;
    int m_hasFocus = 0;
    int m_buttonTaken = 0;
    QTimer m_dragTimer;
    QPoint m_dragPos;
    QElapsedTimer m_keyDelay;
    int m_tipCol = -2;
    long m_tipRow = -2;
    QRect m_trackRect;
    QImage m_frozen;
};
