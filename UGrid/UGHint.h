#pragma once
// A small pop-up showing one line of text beside the pointer while a scroll
// bar's thumb is dragged. Shown and hidden only by these calls; no timer.

#include "UGrid/model/UGTypes.h"

#include <QWidget>

#include <string>

class CUGCtrl;

class CUGHint : public QWidget
{
    Q_OBJECT
public:
    CUGHint();
    int Create(CUGCtrl* ctrl);
    int SetFont(CFont* font);
    int SetTextAlignment(int align);
    int SetTextColor(COLORREF c);
    int SetBackColor(COLORREF c);
    int SetText(const char* text, BOOL redraw);
    int MoveHintWindow(int x, int y, int width);
    int Hide();
    int Show();
    // Where MoveHintWindow places the window, in the control's client coordinates.
    static RECT PlaceRect(int x, int y, int width, int textWidth, int lineHeight, int align, int clientW,
                          int clientH);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CUGCtrl* m_ctrl = nullptr;
    std::string m_text;
    COLORREF m_textColor = 0;
    COLORREF m_backColor = UGRGB(255, 255, 224);
    int m_textAlign = UG_ALIGNLEFT;
    CFont* m_font = nullptr;
    int m_lineHeight = 16;
};
