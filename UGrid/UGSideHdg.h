#pragma once
// The row heading: heading columns left of the rows; sizes rows and heading columns.

#include "UGrid/model/UGTypes.h"

#include <QWidget>

class CUGCtrl;
struct CUGGridInfo;

class CUGSideHdg : public QWidget
{
    Q_OBJECT
public:
    CUGSideHdg(CUGCtrl* ctrl, QWidget* parent);
    void Redraw();
    void Moved();
    int GetCellFromPoint(int x, int y, int* col, long* row, RECT* rect = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CUGGridInfo* GI() const;
    int ColLeft(int col) const; // heading column -n..-1
    void HitTest(const QPoint& p);

    CUGCtrl* m_ctrl;
    bool m_sizing = false;
    bool m_inZone = false;
    int m_zoneKind = 0; // 0 heading column width, 1 row height
    long m_index = 0;
    int m_startSize = 0;
    int m_startPos = 0;
    int m_startHdgWidth = 0;
    int m_rowDivisor = 1;
    long m_lastTopRow = -1;
    long m_lastCurrentRow = -1;
};
