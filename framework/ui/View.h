#pragma once
// A view: the window that shows a document inside a child frame. It is told
// of document changes through OnUpdate (hints as the document passes them)
// and draws in OnDraw, called from paintEvent.

#include "framework/doc/Document.h"
#include "framework/ui/CmdTarget.h"

#include <QWidget>

class QPainter;
class CMDIChildWnd;
class CMultiDocTemplate;

class CView : public QWidget, public CCmdTarget, public IDocView
{
    Q_OBJECT
public:
    CView();
    ~CView() override;

    // The child id of the frame's pane: the view the frame lays out has the
    // first pane's id; one that another view stands in for takes another.
    static constexpr unsigned FirstPaneID = 0xE900;

    CDocument* GetDocument() const { return m_pDocument; }
    CMDIChildWnd* GetParentFrame() const { return m_pFrame; }
    unsigned GetDlgCtrlID() const { return m_nID; }
    void SetDlgCtrlID(unsigned nID) { m_nID = nID; }

    // Once, after the document is loaded and the frame made: default calls
    // OnUpdate(nullptr, 0, nullptr).
    virtual void OnInitialUpdate();
    // Default: repaint.
    void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) override;
    virtual void OnDraw(QPainter* painter);
    // The frame is going; the document still exists.
    virtual void OnDestroy() {}

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    friend class CMDIChildWnd;
    friend class CMultiDocTemplate;
    CDocument* m_pDocument = nullptr;
    CMDIChildWnd* m_pFrame = nullptr;
    unsigned m_nID = FirstPaneID;
};
