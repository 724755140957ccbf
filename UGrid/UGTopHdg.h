#pragma once
// The column heading: heading rows above the columns; sizes columns and heading
// rows by dragging boundaries, and drags columns to new places.

#include "UGrid/model/UGTypes.h"

#include <QTimer>
#include <QWidget>

class CUGCtrl;
struct CUGGridInfo;

class CUGTopHdg : public QWidget
{
    Q_OBJECT
public:
    CUGTopHdg(CUGCtrl* ctrl, QWidget* parent);
    void Redraw();
    void Moved();
    // The heading cell under a point of the pane; 1 when there is none.
    int GetCellFromPoint(int x, int y, int* col, long* row, RECT* rect = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CUGGridInfo* GI() const;
    int RowTop(int row) const; // heading row -n..-1
    void HitTest(const QPoint& p);

    CUGCtrl* m_ctrl;
    bool m_sizing = false;
    bool m_inZone = false;
    int m_zoneKind = 0; // 0 column width, 1 heading row height
    int m_index = 0;
    int m_startSize = 0;
    int m_startPos = 0;
    int m_startHdgHeight = 0;
    int m_dragCol = -1;
    int m_dropPos = -1;
    int m_lastLeftCol = -1;
    QTimer m_scrollTimer;
    int m_scrollDir = 0;
};
