#pragma once
// What the AES set-up's scan page does on the selection image: an image view
// showing a secondary-electron image hands the page every press on its image
// pane, the cursor over it and every paint of it, so the page places and
// draws its beam points and areas there. The page registers itself in the
// slot while it exists; at most one view is the selection image at a time.
// The pane is seen through IImagePane so that the page needs nothing of the
// views.

#include "platform/WinTypes.h"

#include <functional>

class QCursor;
class QPainter;
class QWidget;

// A rectangle tracked with the mouse, in the pane's window pixels.
struct SPaneTrack
{
    RECT rect{};
    // What follows the mouse: TrackMove the whole rectangle, else a handle
    // (0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, 4 top,
    // 5 right, 6 bottom, 7 left).
    int handle = 2;
    // Drawn as the line from (left, top) to (right, bottom).
    bool line = false;
};

inline constexpr int TrackMove = 8;

// The rectangle of a tracking after the mouse went from press to now.
RECT TrackedRect(const SPaneTrack& t, POINT press, POINT now);
// Which part of the normalised rectangle r a point lies on: a handle
// (0..7, squares of handleSize inside the rectangle), TrackMove inside or on
// the border, -1 outside. handleSize 0 gives no handles.
int TrackerHitTest(const RECT& r, POINT p, int handleSize);
// The cursor the tracker shows over a handle or the inside.
QCursor TrackerCursor(int hit);

class IImagePane
{
public:
    virtual ~IImagePane() = default;
    // The width in pixels of the image shown (256, 512 or 1024 for an
    // SE image).
    virtual int ImageWidth() const = 0;
    // Where the image lies in the pane, in window pixels.
    virtual RECT ImageRect() const = 0;
    virtual void ImageToWindow(POINT* p) const = 0;
    virtual void WindowToImage(POINT* p) const = 0;
    virtual QWidget* PaneWidget() = 0;
    // Follows the mouse from the press until the button is released, drawing
    // the band; done then gets the final rectangle. Only one at a time.
    virtual void Track(const SPaneTrack& t, POINT press, std::function<void(const RECT&)> done) = 0;
    virtual bool IsTracking() const = 0;
};

class IImageSelectPage
{
public:
    virtual ~IImageSelectPage() = default;
    // The page places beam points or areas (the selection command is offered).
    virtual bool UsesPointsOrAreas() const = 0;
    // The selection image is now the view pView, or none (null).
    virtual void SetDispView(QWidget* pView) = 0;
    // A left-button press at a client point of the selection image's pane.
    virtual void OnLButtonDownInImage(IImagePane* pane, POINT point) = 0;
    // Draws the points or areas; one painter unit is one image point.
    virtual void DrawOnImage(QPainter* pDC, IImagePane* pane) = 0;
    // The mouse is over the pane at a client point: true when the page set
    // the pane's cursor.
    virtual bool SetCursor(IImagePane* pane, POINT point) = 0;
};

// The scan page's slot: null while there is none.
IImageSelectPage*& ImageSelectPage();
