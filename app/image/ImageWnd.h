#pragma once
// The image pane of the image view: a display pane that owns the raster
// display of one map or secondary-electron image, paints it with its active
// frame and then lets its parent view draw overlays on top (WMAPP_PAINTOVER
// with this pane and the QPainter*, valid only during the message). The image
// tracker draws the rubber band of the acquisition set-up's beam areas, or a
// straight line instead. User-interface thread only.

#include "app/image/ImageDisp.h"
#include "app/plot/DispWnd.h"
#include "framework/ui/ImageSelect.h"

#include <memory>

class CView;

class CImageWnd : public CDispWnd, public IImagePane
{
    Q_OBJECT
public:
    enum Area
    {
        ImageArea = 1,
        WholeWnd = 3,
    };

    CImageWnd();
    ~CImageWnd() override;

    // A hidden child of the view with control id nID.
    bool Create(CView* pParentView, const RECT& rect, unsigned nID);
    int GetWndID() const { return m_nID; }

    void SetCaption(const std::string& s) { m_ImageDisp.SetCaption(s); }
    void SetImage(int* piData, int nX, int nY, int iMin, int iMax);
    void SetImage(uint8_t* pbData, int nX, int nY, int iMin, int iMax);
    // The pane deletes (delete[]) its data arrays when destroyed.
    void SetDataAutoDelete(bool b) { m_bAutoDelete = b; }

    // Lays the display out in the client area less the 3-D edge, then shows
    // or hides the pane.
    void Show(bool bShow, int iMin, int iMax);
    void OnUpdate(int iFrom, int iTo, int iScan);
    // The run has ended: the whole image is brought up to date at once.
    void Flush() { m_ImageDisp.Flush(this); }
    // A step that was applied repaints the image; a test or an impossible
    // step repaints nothing.
    bool SetZoom(int iZoom, bool bTest);
    // WholeWnd: the client area; ImageArea: the image rectangle; else nothing.
    void Invalidate(int flags, bool bErase);

    int* GetIntData() const { return m_piImage; }
    uint8_t* GetByteData() const { return m_pbImage; }
    const CRect* GetImageRect() const { return m_ImageDisp.GetImageRect(); }
    CSize GetSize() const { return m_ImageDisp.GetSize(); }
    void SetupDC(QPainter* pDC) const { m_ImageDisp.SetupDC(pDC); }
    void DPtoLP(POINT* p) const { m_ImageDisp.DPtoLP(p); }
    void LPtoDP(POINT* p) const { m_ImageDisp.LPtoDP(p); }
    void DPtoLP(RECT* r) const { m_ImageDisp.DPtoLP(r); }
    void LPtoDP(RECT* r) const { m_ImageDisp.LPtoDP(r); }
    void SaveAsBitmap(const std::string& path) const { m_ImageDisp.SaveAsBitmap(path); }
    const CImageDisp& GetDisp() const { return m_ImageDisp; }

    // The pane as the AES scan page sees it.
    int ImageWidth() const override { return GetSize().cx; }
    RECT ImageRect() const override { return *GetImageRect(); }
    void ImageToWindow(POINT* p) const override { LPtoDP(p); }
    void WindowToImage(POINT* p) const override { DPtoLP(p); }
    QWidget* PaneWidget() override { return this; }
    void Track(const SPaneTrack& t, POINT press, std::function<void(const RECT&)> done) override;
    bool IsTracking() const override { return bool(m_trackDone); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    CRect InnerRect() const;

    bool m_bAutoDelete = false;
    CImageDisp m_ImageDisp;
    int* m_piImage = nullptr;
    uint8_t* m_pbImage = nullptr;
    CView* m_pParentView = nullptr;
    int m_nID = -1;
    bool m_bShown = false;
    // The tracking under way: its start, the press, where the band is now.
    SPaneTrack m_track;
    POINT m_trackPress{};
    RECT m_trackNow{};
    std::function<void(const RECT&)> m_trackDone;
};

// The rubber band of an image pane; in line mode the tracked rectangle is
// drawn as the straight line from its first corner to its second, in
// whatever direction, XOR-drawn in white so a second drawing erases it.
class CImgTracker
{
public:
    CImgTracker() = default;
    explicit CImgTracker(const CRect& rect) : m_rect(rect) {}

    void SetLine(bool b) { m_bLine = b; }
    bool IsLine() const { return m_bLine; }
    CRect m_rect;

    // Draws onto a raster painter (back buffer): XOR, so drawing twice erases.
    void DrawTrackerRect(const RECT* lpRect, QPainter* pDC) const;

private:
    bool m_bLine = false;
};
