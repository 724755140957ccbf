#pragma once
// What the AES set-up's scan page does on the selection image: an image view
// showing a secondary-electron image hands the page every press on its image
// pane, the cursor over it and every paint of it, so the page places and
// draws its beam points and areas there. The page registers itself in the
// slot while it exists; at most one view is the selection image at a time.

#include "app/plot/PlotTypes.h"

class CImageWnd;
class QPainter;

class IImageSelectPage
{
public:
    virtual ~IImageSelectPage() = default;
    // The page places beam points or areas (the selection command is offered).
    virtual bool UsesPointsOrAreas() const = 0;
    // The selection image is now the view pView, or none (null).
    virtual void SetDispView(CWnd* pView) = 0;
    // A left-button press at a client point of the selection image's pane.
    virtual void OnLButtonDownInImage(CImageWnd* pWnd, CPoint point) = 0;
    // Draws the points or areas; one painter unit is one image point.
    virtual void DrawOnImage(QPainter* pDC) = 0;
    // The mouse is over the pane at a client point: true when the page set
    // the pane's cursor.
    virtual bool SetCursor(CImageWnd* pWnd, CPoint point) = 0;
};

// The scan page's slot: null while there is none.
IImageSelectPage*& ImageSelectPage();
