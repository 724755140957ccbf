#include "app/VeltraneView.h"

#include "app/Veltrane.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Guard.h"
#include "res/resource.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <array>

QDialog* CVeltraneView::m_pProcDlg = nullptr;
QWidget* SToolInstances::m_pChemPrfSheet = nullptr;
QWidget* SToolInstances::m_pPelomarSheet = nullptr;
QWidget* SToolInstances::m_pQuantifySheet = nullptr;

bool SToolInstances::NoToolOpen()
{
    return !CVeltraneView::m_pProcDlg && !m_pChemPrfSheet && !m_pPelomarSheet && !m_pQuantifySheet;
}

CVeltraneView::CVeltraneView()
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

CVeltraneDoc* CVeltraneView::GetDocument() const
{
    return dynamic_cast<CVeltraneDoc*>(CView::GetDocument());
}

QSize CVeltraneView::NominalSize(int screenWidth)
{
    static constexpr std::array<int, 7> widths{640, 800, 1024, 1152, 1280, 1600, 2048};
    static constexpr std::array<int, 7> heights{480, 600, 768, 864, 960, 1200, 1536};
    // The entry before the first width that reaches the screen width.
    size_t i = 0;
    while (i < widths.size() && widths[i] < screenWidth)
        ++i;
    size_t chosen = i == 0 ? 0 : i - 1;
    return {widths[chosen], heights[chosen]};
}

void CVeltraneView::SetViewSize(bool bClient)
{
    if (bClient) {
        m_Size = size();
        return;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    m_Size = NominalSize(screen ? screen->geometry().width() : 1024);
}

bool CVeltraneView::OnPreparePrinting(QPrinter* printer)
{
    QPrintDialog dlg(printer, this);
    return dlg.exec() == QDialog::Accepted;
}

void CVeltraneView::OnPrint(QPrinter* printer, bool)
{
    QPainter painter(printer);
    QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    QSize s = size().isEmpty() ? QSize(800, 600) : size();
    double scale = std::min(double(page.width()) / s.width(), double(page.height()) / s.height());
    painter.scale(scale, scale);
    OnDraw(&painter);
}

void CVeltraneView::OnFilePrint()
{
    QPrinter* printer = CVeltrane::GetApp() ? CVeltrane::GetApp()->GetPrinter() : nullptr;
    if (!printer || !OnPreparePrinting(printer))
        return;
    OnBeginPrinting(printer);
    SafeInvoke([&] { OnPrint(printer, false); });
    OnEndPrinting(printer);
}

void CVeltraneView::OnFilePrintPreview()
{
    QPrinter* printer = CVeltrane::GetApp() ? CVeltrane::GetApp()->GetPrinter() : nullptr;
    if (!printer)
        return;
    QPrintPreviewDialog dlg(printer, this);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        OnBeginPrinting(p);
        SafeInvoke([&] { OnPrint(p, true); });
        OnEndPrinting(p);
    });
    dlg.exec();
}
