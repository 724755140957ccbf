#pragma once
// The small drawing adaptor the grid paints through: window-system rectangle
// conventions (right and bottom exclusive), a current pen position for lines
// that stop before their end point, opaque clipped text, and the font, pen and
// bitmap objects that cells point at.

#include "UGrid/model/UGTypes.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <string>
#include <vector>

class CFont
{
public:
    CFont() = default;
    explicit CFont(const QFont& f) : m_font(f) {}
    const QFont& Font() const { return m_font; }
    // Height in pixels, as the window system reports a font's height.
    int Height() const;

private:
    QFont m_font;
};

class CPen
{
public:
    explicit CPen(COLORREF colour = 0, int width = 1) : m_colour(colour), m_width(width) {}
    COLORREF Colour() const { return m_colour; }
    int Width() const { return m_width; }

private:
    COLORREF m_colour;
    int m_width;
};

class CBitmap
{
public:
    CBitmap() = default;
    explicit CBitmap(const QImage& image) : m_image(image) {}
    const QImage& Image() const { return m_image; }
    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }

private:
    QImage m_image;
};

QColor UGToQColor(COLORREF c);
COLORREF UGFromQColor(const QColor& c);
// Cell texts are single-byte cp1252; the screen speaks QString.
QString UGFromCp1252(const std::string& text);
std::string UGToCp1252(const QString& text);
QRect UGToQRect(const RECT& r);
RECT UGFromQRect(const QRect& r);

enum : unsigned
{
    UG_DT_LEFT = 0x0,
    UG_DT_CENTER = 0x1,
    UG_DT_RIGHT = 0x2,
    UG_DT_WORDBREAK = 0x10,
};

class CDC
{
public:
    explicit CDC(QPainter* painter);
    QPainter* Painter() const { return m_painter; }

    // Save and Restore keep the painter's state together with the font, the
    // colours and the pen selected here, as a pair.
    void Save();
    void Restore();
    // The font used for text until the next selection; nullptr keeps the current one.
    void SelectFont(const CFont* font);
    void SelectQFont(const QFont& font);
    const QFont& CurrentFont() const { return m_font; }
    void SetTextColor(COLORREF c) { m_textColour = c; }
    void SetBkColor(COLORREF c) { m_bkColour = c; }
    COLORREF GetTextColor() const { return m_textColour; }
    COLORREF GetBkColor() const { return m_bkColour; }
    void SelectPen(COLORREF colour, int width = 1);

    void FillSolidRect(const RECT& r, COLORREF c);
    void MoveTo(int x, int y);
    // A line from the current position up to (x, y) itself excluded.
    void LineTo(int x, int y);
    SIZE GetTextExtent(const std::string& text) const;
    // Opaque text with its top-left corner at (x, y), clipped to r (whose
    // background is filled first).
    void ExtTextOut(int x, int y, const RECT& r, const std::string& text);
    // Multi-line text with word breaks inside r.
    void DrawTextWrapped(const RECT& r, const std::string& text, unsigned flags);
    void DrawFocusRect(const RECT& r);
    void DrawBitmap(const CBitmap& bitmap, const RECT& target);

private:
    QPainter* m_painter;
    QFont m_font;
    COLORREF m_textColour = 0;
    COLORREF m_bkColour = UGRGB(255, 255, 255);
    COLORREF m_penColour = 0;
    int m_penWidth = 1;
    QPoint m_pos;
    struct Saved
    {
        QFont font;
        COLORREF textColour, bkColour, penColour;
        int penWidth;
    };
    std::vector<Saved> m_saved;
};
