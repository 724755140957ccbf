#pragma once
// The horizontal scroll bar: moves the left column.

#include <QScrollBar>

class CUGCtrl;

class CUGHScroll : public QScrollBar
{
    Q_OBJECT
public:
    CUGHScroll(CUGCtrl* ctrl, QWidget* parent);
    void Update();
    void Moved() { Update(); }
    void Redraw() { Update(); }
    void OnScroll(int code, int pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnAction(int action);

    CUGCtrl* m_ctrl;
    int m_lastMaxLeftCol = -1;
    int m_lastNumLockCols = -1;
    int m_trackColPos = 0;
};
