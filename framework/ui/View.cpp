#include "framework/ui/View.h"

#include "framework/ui/Guard.h"

#include <QPainter>

CView::CView()
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

CView::~CView()
{
    // A view deleted with its frame must not stay in the document's list.
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

void CView::OnInitialUpdate()
{
    OnUpdate(nullptr, 0, nullptr);
}

void CView::OnUpdate(IDocView*, intptr_t, void*)
{
    update();
}

void CView::OnDraw(QPainter*) {}

void CView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    SafeInvoke([&] { OnDraw(&painter); });
}
