#pragma once
// The corner button: draws the corner cell and sizes both headings.

#include <QWidget>

class CUGCtrl;

class CUGCnrBtn : public QWidget
{
    Q_OBJECT
public:
    CUGCnrBtn(CUGCtrl* ctrl, QWidget* parent);
    void Redraw() { update(); }
    void Moved() {}

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CUGCtrl* m_ctrl;
    bool m_sizing = false;
    bool m_sizingHeight = false;
    bool m_sizingWidth = false;
};
