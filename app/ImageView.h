#pragma once
// The view of the image template: the image regions of the document's first
// analysis position, one pane per region, tiled over the view. A region of
// several lines is shown in an image pane, a line scan in a one-plane plot
// window. The user picks the active pane with the mouse; the zoom commands
// work on an active image pane, the rescale and full-scale commands on an
// active line-scan plot. Acquired data update exactly the points that
// arrive. A secondary-electron image view can be the selection image on
// which the AES set-up's scan page places beam points and areas: it then
// hands that page the presses on, the cursor over and the paints of its
// image pane.

#include "app/VeltraneView.h"
#include "app/plot/PlotTypes.h"
#include "framework/ui/AppMessage.h"
#include "framework/ui/ImageSelect.h"

#include <memory>
#include <string>
#include <vector>

class CDispWnd;
class CImageWnd;
class CSpecWnd;
class CVeltraneDoc;
class CImageView;
class QPainter;
class QPrinter;
class QRect;
struct SAcqUpdate;

class CImageView : public CVeltraneView, public IAppMessageHandler
{
    Q_OBJECT
public:
    static constexpr unsigned FirstPaneID = 0xE900;

    CImageView();
    ~CImageView() override;

    void OnInitialUpdate() override;
    void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) override;
    void OnDestroy() override;
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // Entry i, or null when i is out of range.
    CDispWnd* GetDispWnd(int i) const;
    CSpecWnd* GetSpecWnd(int i) const;
    CImageWnd* GetImageWnd(int i) const;
    int GetNumWnds() const { return int(m_caDispWnd.size()); }
    int GetActiveDispWnd() const { return m_iActiveWnd; }
    // -1: no pane active.
    void SetActiveDispWnd(int i);
    // A left-button press on pane i at a client point of the pane.
    void OnPaneClick(int i, CPoint point, bool bCtrlShift);

    // The view on which beam points or areas are selected, or null.
    static CImageView* GetAcqSelect() { return m_pAcqSelect; }
    void OnAcquireSelect();

    // The bitmap branch of Save As: one file per image pane of the document's
    // image view. False when nothing was written or the user cancelled.
    static bool SaveAsBitmap(CVeltraneDoc& doc, const std::string& path);

    // The panes as the view lays them out, scaled whole into rectDraw.
    void OnPrint(QPainter* pDC, const QRect& rectDraw);

protected:
    void OnPrint(QPrinter* printer, bool bPreview) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void ClearPanes();
    void LayoutPanes();
    void OnAcquire(const SAcqUpdate& u);
    void OnZoom(int iZoom);
    bool CanZoom(int iZoom) const;
    void OnRescale(int iXfactor, int iYfactor, int bit);
    void OnFullScale();
    CSpecWnd* ActiveSpecWnd() const;
    CImageWnd* ActiveImageWnd() const;
    bool IsSEImage() const;
    void EndSelection();

    std::vector<CSpecWnd*> m_caSpecWnd;
    std::vector<CImageWnd*> m_caImageWnd;
    std::vector<std::unique_ptr<CDispWnd>> m_caDispWnd;
    int m_iActiveWnd = -1;
    int m_iDispWnd = 0;
    int m_nDispWnds = 0;

    static CImageView* m_pAcqSelect;
};
