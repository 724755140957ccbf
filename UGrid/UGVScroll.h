#pragma once
// The vertical scroll bar: moves the top row; can show the row in the hint window.

#include <QScrollBar>

class CUGCtrl;

class CUGVScroll : public QScrollBar
{
    Q_OBJECT
public:
    CUGVScroll(CUGCtrl* ctrl, QWidget* parent);
    void Update();
    void Moved() { Update(); }
    void Redraw() { Update(); }
    // The scroll codes of the window system's scroll messages.
    enum Code
    {
        LineUp = 0,
        LineDown = 1,
        PageUp = 2,
        PageDown = 3,
        ThumbPosition = 4,
        ThumbTrack = 5,
        Top = 6,
        Bottom = 7,
        EndScroll = 8
    };
    void OnScroll(int code, int pos);
    double RowScale() const { return m_multRange; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnAction(int action);

    CUGCtrl* m_ctrl;
    double m_multRange = 1.0;
    double m_multPos = 1.0;
    long m_lastMaxTopRow = -2;
    int m_lastScrollMode = -2;
    long m_lastNumLockRow = -2;
    long m_trackRowPos = 0;
};
