#include "app/MainFrm.h"

#include "acquire/ui/AcqHost.h"
#include "acquire/ui/AcquireAES.h"
#include "acquire/ui/AcquireXPS.h"
#include "instrument/Acquire.h"

#include "app/AppHooks.h"
#include "app/Monitor.h"
#include "app/Options.h"
#include "app/Veltrane.h"
#include "app/VeltraneView.h"
#include "data/Registry.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/CommandBar.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/Guard.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/Resources.h"
#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

CMonitor* CMainFrame::m_pMonitor = nullptr;

namespace {

// Arrange Icons lines the minimised document windows up along the bottom of
// the client, left to right and row above row, in the order they were opened;
// the windows shown normally or maximised stay where the user put them.
void ArrangeIcons(QMdiArea* area)
{
    const QRect client = area->viewport()->rect();
    int x = client.left();
    int bottom = client.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder)) {
        if (w->isHidden() || !w->isMinimized())
            continue;
        const QSize size = w->size();
        if (x > client.left() && x + size.width() > client.right() + 1) {
            x = client.left();
            bottom -= rowHeight;
            rowHeight = 0;
        }
        w->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

// Tile lays the open windows side by side above the row of minimised ones:
// tiled over the whole client they would hide those windows' icons.
void TileWindows(QMdiArea* area)
{
    area->tileSubWindows();
    ArrangeIcons(area);
    const QRect client = area->viewport()->rect();
    int iconTop = client.bottom() + 1;
    for (QMdiSubWindow* w : area->subWindowList())
        if (!w->isHidden() && w->isMinimized())
            iconTop = std::min(iconTop, w->geometry().top());
    const int height = client.height();
    const int room = iconTop - client.top();
    if (iconTop > client.bottom() || height <= 0 || room <= 0)
        return;
    for (QMdiSubWindow* w : area->subWindowList()) {
        if (w->isHidden() || w->isMinimized())
            continue;
        const QRect g = w->geometry();
        const int top = client.top() + (g.top() - client.top()) * room / height;
        const int bottom = client.top() + (g.bottom() + 1 - client.top()) * room / height;
        w->setGeometry(g.left(), top, g.width(), std::max(1, bottom - top));
    }
}

// Cascade sets the open windows down one title bar apart, each large enough to
// show its document, the active one in front; the toolkit's own cascade
// shrank them to bare title bars. They stay above the minimised windows.
void CascadeWindows(QMdiArea* area)
{
    ArrangeIcons(area);
    const QRect client = area->viewport()->rect();
    int iconTop = client.bottom() + 1;
    std::vector<QMdiSubWindow*> windows;
    QMdiSubWindow* active = area->currentSubWindow();
    for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder)) {
        if (w->isHidden())
            continue;
        if (w->isMinimized())
            iconTop = std::min(iconTop, w->geometry().top());
        else if (w != active)
            windows.push_back(w);
    }
    if (active && !active->isHidden() && !active->isMinimized())
        windows.push_back(active);
    if (windows.empty())
        return;
    const int width = client.width();
    const int height = std::max(1, iconTop - client.top());
    const int step = std::max(area->fontMetrics().height() + 8, 20);
    const int n = int(windows.size());
    const QSize size(std::max(width * 2 / 3, width - (n - 1) * step),
                     std::max(height * 2 / 3, height - (n - 1) * step));
    const int room = std::max(1, std::min(width - size.width(), height - size.height()) / step + 1);
    for (int k = 0; k < n; ++k) {
        QMdiSubWindow* w = windows[size_t(k)];
        if (w->isMaximized())
            w->showNormal();
        const int offset = (k % room) * step;
        w->setGeometry(client.left() + offset, client.top() + offset, size.width(), size.height());
        w->raise();
    }
    if (active && !active->isMinimized())
        area->setActiveSubWindow(active);
}

// Toolbar images, drawn at 16 x 15 like the original bitmaps.
QIcon DrawnIcon(unsigned id)
{
    QPixmap pm(16, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(QColor(0, 0, 96), 1.4);
    p.setPen(pen);
    auto arrow = [&](QPointF from, QPointF to) {
        p.drawLine(from, to);
        QPointF d = to - from;
        double len = std::hypot(d.x(), d.y());
        QPointF u = d / len, n(-u.y(), u.x());
        QPainterPath head;
        head.moveTo(to);
        head.lineTo(to - 3.5 * u + 2.5 * n);
        head.lineTo(to - 3.5 * u - 2.5 * n);
        head.closeSubpath();
        p.fillPath(head, pen.color());
    };
    switch (id) {
    case ID_EDIT_COPY:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 9));
        p.drawRect(QRectF(6.5, 4.5, 8, 9));
        break;
    case ID_FILE_PRINT:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        break;
    case ID_VIEW_HORZ_EXPAND:
        arrow({8, 7.5}, {1, 7.5});
        arrow({8, 7.5}, {15, 7.5});
        break;
    case ID_VIEW_HORZ_CONTRACT:
        arrow({1, 7.5}, {7, 7.5});
        arrow({15, 7.5}, {9, 7.5});
        break;
    case ID_VIEW_VERT_EXPAND:
        arrow({8, 7.5}, {8, 0.5});
        arrow({8, 7.5}, {8, 14.5});
        break;
    case ID_VIEW_VERT_CONTRACT:
        arrow({8, 0.5}, {8, 6.5});
        arrow({8, 14.5}, {8, 8.5});
        break;
    case ID_VIEW_FULLSCALE:
        p.drawRect(QRectF(1.5, 1.5, 13, 12));
        arrow({4, 11}, {12, 3.5});
        break;
    case ID_VIEW_ZOOMIN:
    case ID_VIEW_ZOOMOUT:
    case ID_VIEW_DEFAULTZOOM:
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.drawLine(QPointF(9, 9), QPointF(14.5, 14));
        p.drawLine(QPointF(4, 6), QPointF(8, 6));
        if (id == ID_VIEW_ZOOMIN)
            p.drawLine(QPointF(6, 4), QPointF(6, 8));
        if (id == ID_VIEW_DEFAULTZOOM)
            p.drawLine(QPointF(4, 8), QPointF(8, 8));
        break;
    case ID_ACQUIRE_SELECT:
        p.drawRect(QRectF(2.5, 2.5, 11, 10));
        p.drawPoint(QPointF(6, 6));
        p.drawEllipse(QPointF(10, 9), 1.5, 1.5);
        break;
    case ID_FILE_OPEN:
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5), QPointF(14.5, 5),
                                 QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
        break;
    case ID_FILE_SAVE:
        p.setBrush(QColor(70, 90, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 12));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 4));
        break;
    case ID_APP_ABOUT:
        p.setBrush(QColor(40, 90, 200));
        p.drawEllipse(QRectF(1.5, 1, 13, 13));
        p.setPen(QPen(Qt::white, 1.8));
        p.drawLine(QPointF(8, 6.5), QPointF(8, 11));
        p.drawPoint(QPointF(8, 4));
        break;
    case ID_CONTEXT_HELP: {
        arrow({8, 12}, {2, 2});
        // A question mark of lines: text would load the fonts during start-up.
        QPainterPath q;
        q.moveTo(10, 4);
        q.cubicTo(10, 1, 15, 1, 15, 4);
        q.cubicTo(15, 6, 12.5, 6.5, 12.5, 9);
        p.setBrush(Qt::NoBrush);
        p.drawPath(q);
        p.drawPoint(QPointF(12.5, 12));
        break;
    }
    default:
        break;
    }
    return QIcon(pm);
}

struct SMenuItem
{
    unsigned id; // 0: separator
    const char* text;
};

} // namespace

CAcquireXPSSheet* CMainFrame::ShowXPSSheet()
{
    if (!m_pXPSSheet) {
        ConnectAcquisitionHost();
        m_pXPSSheet = std::make_unique<CAcquireXPSSheet>(nullptr);
    }
    if (!m_pXPSSheet->IsCreated())
        m_pXPSSheet->Create(this);
    m_pXPSSheet->show();
    m_pXPSSheet->raise();
    m_pXPSSheet->activateWindow();
    return m_pXPSSheet.get();
}

CAcquireAESSheet* CMainFrame::ShowAESSheet()
{
    if (!m_pAESSheet) {
        ConnectAcquisitionHost();
        m_pAESSheet = std::make_unique<CAcquireAESSheet>(nullptr);
    }
    if (!m_pAESSheet->IsCreated())
        m_pAESSheet->Create(this);
    m_pAESSheet->show();
    m_pAESSheet->raise();
    m_pAESSheet->activateWindow();
    return m_pAESSheet.get();
}

void CMainFrame::ConnectAcquisitionHost()
{
    SAcqHost& host = AcqHost();
    CVeltrane* app = CVeltrane::GetApp();
    if (!app)
        return;
    host.pkLib = &app->m_PkLib;
    host.dau = app->m_pDAU.get();
    host.ascu = app->m_pASCU.get();
    host.xpsUnit = [] {
        CVeltrane* a = CVeltrane::GetApp();
        return a ? int(a->GetCurrentXPSUnit()) : int(CVeltrane::KE);
    };
    host.fileName = [](std::string& path, bool open, const unsigned* filters) {
        CVeltrane* a = CVeltrane::GetApp();
        return a && a->OnFileName(path, open, filters);
    };
    host.docTemplate = [](int which) {
        return which == 2   ? CVeltrane::GetImageTemplate()
               : which == 1 ? CVeltrane::GetProfileTemplate()
                            : CVeltrane::GetSpectrumTemplate();
    };
    host.openDocument = [](const std::string& path) {
        return dynamic_cast<CVeltraneDoc*>(CVeltrane::OpenDocument(path.c_str(), false));
    };
    auto engine = [] {
        CVeltrane* a = CVeltrane::GetApp();
        return a ? a->GetAcq() : nullptr;
    };
    host.engineStatus = [engine] { return engine() ? engine()->GetStatus() : int(CAcquire::Inactive); };
    host.startAcquiring = [engine](CVeltraneDoc* doc, QObject* notify) {
        return engine() ? engine()->StartAcquiring(doc, notify) : 2082;
    };
    host.stopAcquiring = [engine](bool abort) {
        if (engine())
            engine()->StopAcquiring(abort);
    };
    host.engineDocument = [engine] { return engine() ? engine()->GetDocument() : nullptr; };
}

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("CMainFrame"));
    SetTitle(ToQString(LoadString(IDR_MAINFRAME)));
    setWindowIcon(DrawnIcon(ID_APP_ABOUT));
    // Every window of the program (the traffic monitor among them) shows it too.
    QApplication::setWindowIcon(windowIcon());

    OnCommand(ID_ACQUIRE_AES, [this] {
        // A hook set by a test stands in for the sheet.
        if (AppHooks().showAESSheet)
            AppHooks().showAESSheet(*this);
        else
            ShowAESSheet();
    });
    OnUpdateCommand(ID_ACQUIRE_AES, [](CCmdUI* ui) {
        CVeltrane* app = CVeltrane::GetApp();
        ui->Enable(app && app->m_pDAU && app->m_pDAU->TechniqueValid(CDAU::AES));
    });
    OnCommand(ID_ACQUIRE_XPS, [this] {
        // A hook set by a test stands in for the sheet.
        if (AppHooks().showXPSSheet)
            AppHooks().showXPSSheet(*this);
        else
            ShowXPSSheet();
    });
    OnUpdateCommand(ID_ACQUIRE_XPS, [](CCmdUI* ui) {
        CVeltrane* app = CVeltrane::GetApp();
        bool stage = app && app->m_pASCU && (app->m_pASCU->IsConnected() || app->m_pASCU->IsNotInstalled());
        ui->Enable(app && app->m_pDAU && app->m_pDAU->TechniqueValid(CDAU::XPS) && stage);
    });
    // The UPS set-up is never offered.
    OnCommand(ID_ACQUIRE_UPS, [] {});
    OnUpdateCommand(ID_ACQUIRE_UPS, [](CCmdUI* ui) { ui->Enable(false); });
    OnCommand(ID_MONITOR, [] { OpenMonitor(true); });
    OnCommand(ID_VIEW_OPTIONS, [this] {
        COptions sheet(this);
        sheet.DoModal();
    });
    OnCommand(ID_VIEW_UNITS_KE, [this] { OnViewUnits(ID_VIEW_UNITS_KE); });
    OnCommand(ID_VIEW_UNITS_BE, [this] { OnViewUnits(ID_VIEW_UNITS_BE); });
    OnUpdateCommand(ID_VIEW_UNITS_KE, [this](CCmdUI* ui) { OnUpdateViewUnits(ui); });
    OnUpdateCommand(ID_VIEW_UNITS_BE, [this](CCmdUI* ui) { OnUpdateViewUnits(ui); });
    // Only removes the check mark: the image view handles the command itself.
    OnUpdateCommand(ID_ACQUIRE_SELECT, [](CCmdUI* ui) {
        ui->SetCheck(0);
        ui->Enable(false);
    });
    OnCommand(ID_VIEW_TOOLBAR, [this] {
        bool show = !m_pToolBar->isVisible();
        m_pToolBar->setVisible(show);
        m_pDispBar->setVisible(show);
    });
    OnUpdateCommand(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) {
        ui->Enable(true);
        ui->SetCheck(m_pToolBar && m_pToolBar->isVisible());
    });
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    OnUpdateCommand(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) {
        ui->Enable(true);
        ui->SetCheck(statusBar()->isVisible());
    });
    OnCommand(ID_WINDOW_CASCADE, [this] { CascadeWindows(GetMDIClient()); });
    OnCommand(ID_WINDOW_TILE_HORZ, [this] { TileWindows(GetMDIClient()); });
    OnCommand(ID_WINDOW_ARRANGE, [this] { ArrangeIcons(GetMDIClient()); });
    OnCommand(ID_WINDOW_NEW, [this] {
        CMDIChildWnd* child = MDIGetActive();
        CView* view = child ? child->GetActiveView() : nullptr;
        CDocument* doc = view ? view->GetDocument() : nullptr;
        for (auto& t : CVeltrane::GetApp()->GetDocTemplates())
            if (t->OwnsDocument(doc))
                if (CMDIChildWnd* f = t->CreateNewFrame(doc))
                    t->InitialUpdateFrame(f, doc, true);
    });
    OnUpdateCommand(ID_WINDOW_NEW, [this](CCmdUI* ui) { ui->Enable(MDIGetActive() != nullptr); });
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::CreateMaximized() const
{
    return CRegistry::m_CMainFrame.m_bMaximized != 0;
}

bool CMainFrame::PreCreateWindow(QRect& geometry)
{
    const CRegistry::SRect& r = CRegistry::m_CMainFrame.m_rWnd;
    if (!r.IsEmpty())
        geometry = QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    return true;
}

int CMainFrame::OnCreate()
{
    BuildMenus();
    if (!BuildToolBars()) {
        qWarning("Failed to create toolbar");
        return -1;
    }
    if (!BuildStatusBar()) {
        qWarning("Failed to create status bar");
        return -1;
    }
    if (m_pMonitor)
        m_pMonitor->setParent(this, m_pMonitor->windowFlags());
    return 0;
}

void CMainFrame::BuildMenus()
{
    CCommandBar* bar = GetCommandBar();
    auto fill = [&](const QString& title, std::initializer_list<SMenuItem> items) {
        auto* menu = new QMenu(title, this);
        for (const SMenuItem& it : items) {
            if (it.id == 0)
                menu->addSeparator();
            else
                bar->AddToMenu(menu, it.id, QString::fromLatin1(it.text));
        }
        return menu;
    };
    auto units = [&] {
        auto* m = new QMenu(QStringLiteral("&Units"), this);
        bar->AddToMenu(m, ID_VIEW_UNITS_KE, QStringLiteral("&KE"));
        bar->AddToMenu(m, ID_VIEW_UNITS_BE, QStringLiteral("&BE"));
        return m;
    };
    auto recent = [&](QMenu* file, QAction* before) {
        for (unsigned id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE4; ++id)
            file->insertAction(before, bar->Action(id, QStringLiteral("Recent File")));
        file->insertSeparator(before);
        connect(file, &QMenu::aboutToShow, this, [this] {
            SafeInvoke([&] { CVeltrane::GetApp()->UpdateRecentFileActions(GetCommandBar()); });
        });
    };

    // Menu 128: while no document is open.
    QMenu* file = fill(QStringLiteral("&File"), {{ID_FILE_OPEN, "&Open...\tCtrl+O"},
                                                 {ID_FILE_PRINT_SETUP, "P&rint Setup..."},
                                                 {0, nullptr},
                                                 {ID_APP_EXIT, "E&xit"}});
    recent(file, bar->Action(ID_APP_EXIT));
    QMenu* view =
        fill(QStringLiteral("&View"), {{ID_VIEW_TOOLBAR, "&Toolbar"}, {ID_VIEW_STATUS_BAR, "&Status Bar"}});
    view->addSeparator();
    view->addMenu(units());
    bar->AddToMenu(view, ID_VIEW_CONFIG, QStringLiteral("&Configuration..."));
    bar->AddToMenu(view, ID_VIEW_OPTIONS, QStringLiteral("&Options..."));
    QMenu* acquire =
        fill(QStringLiteral("&Acquire"),
             {{ID_ACQUIRE_AES, "&AES..."}, {ID_ACQUIRE_XPS, "&XPS..."}, {ID_ACQUIRE_UPS, "&UPS..."}});
    QMenu* help =
        fill(QStringLiteral("&Help"),
             {{ID_HELP_FINDER, "&Help Topics"}, {0, nullptr}, {ID_APP_ABOUT, "&About Veltrane..."}});
    m_menu128 = {file, view, acquire, help};

    // Menu 129: while documents are open.
    QMenu* file2 = fill(QStringLiteral("&File"), {{ID_FILE_OPEN, "&Open...\tCtrl+O"},
                                                  {ID_FILE_CLOSE, "&Close"},
                                                  {ID_FILE_SAVE, "&Save\tCtrl+S"},
                                                  {ID_FILE_SAVE_AS, "Save &As..."},
                                                  {0, nullptr},
                                                  {ID_FILE_PRINT, "&Print...\tCtrl+P"},
                                                  {ID_FILE_PRINT_PREVIEW, "Print Pre&view"},
                                                  {ID_FILE_PRINT_SETUP, "P&rint Setup..."},
                                                  {0, nullptr},
                                                  {ID_APP_EXIT, "E&xit"}});
    recent(file2, bar->Action(ID_APP_EXIT));
    QMenu* view2 = fill(QStringLiteral("&View"), {{ID_VIEW_TOOLBAR, "&Toolbar"},
                                                  {ID_VIEW_STATUS_BAR, "&Status Bar"},
                                                  {0, nullptr},
                                                  {ID_VIEW_HORZ_EXPAND, "&Horizontal Expand"},
                                                  {ID_VIEW_HORZ_CONTRACT, "Horizontal &Contract"},
                                                  {ID_VIEW_VERT_EXPAND, "&Vertical Expand"},
                                                  {ID_VIEW_VERT_CONTRACT, "Vertical C&ontract"},
                                                  {ID_VIEW_FULLSCALE, "&Full Scale"},
                                                  {ID_VIEW_ZOOMIN, "Zoom &In"},
                                                  {ID_VIEW_ZOOMOUT, "Zoom O&ut"},
                                                  {ID_VIEW_DEFAULTZOOM, "&Default Zoom"},
                                                  {0, nullptr},
                                                  {ID_DISP_SAMPLE, "Next Sa&mple"},
                                                  {ID_DISP_REGION, "Next &Region"},
                                                  {ID_DISP_LEVEL, "Next &Level"},
                                                  {0, nullptr}});
    view2->addMenu(units());
    bar->AddToMenu(view2, ID_VIEW_CONFIG, QStringLiteral("&Configuration..."));
    bar->AddToMenu(view2, ID_VIEW_OPTIONS, QStringLiteral("&Options..."));
    QMenu* process =
        fill(QStringLiteral("&Process"), {{ID_PROCESS_SMOOTH, "&Smooth..."},
                                          {ID_PROCESS_DIFFERENTIATE, "&Differentiate..."},
                                          {ID_PROCESS_INTEGRATE, "&Integrate..."},
                                          {ID_PROCESS_BACKGROUNDSUBTRACTION, "&Background Subtraction..."},
                                          {ID_PROCESS_CHARGECORRN, "C&harge Correction..."},
                                          {ID_PROCESS_SATELLITE, "Sa&tellite Removal..."},
                                          {ID_PROCESS_SPIKEREMOVAL, "S&pike Removal..."},
                                          {0, nullptr},
                                          {ID_PROCESS_CHEMICALPROFILING, "&Chemical Profiling..."},
                                          {ID_PROCESS_PELOMARTING, "Curve &Fitting..."},
                                          {ID_PROCESS_QUANTIFICATION, "&Quantification..."}});
    QMenu* acquire2 = fill(QStringLiteral("&Acquire"), {{ID_ACQUIRE_AES, "&AES..."},
                                                        {ID_ACQUIRE_XPS, "&XPS..."},
                                                        {ID_ACQUIRE_UPS, "&UPS..."},
                                                        {0, nullptr},
                                                        {ID_ACQUIRE_SELECT, "&Select AES Areas/Points"}});
    QMenu* window = fill(QStringLiteral("&Window"), {{ID_WINDOW_NEW, "&New Window"},
                                                     {ID_WINDOW_CASCADE, "&Cascade"},
                                                     {ID_WINDOW_TILE_HORZ, "&Tile"},
                                                     {ID_WINDOW_ARRANGE, "&Arrange Icons"}});
    // The open document windows follow the commands, the active one checked.
    auto* windowList = new QActionGroup(window);
    connect(window, &QMenu::aboutToShow, this, [this, window, windowList] {
        for (QAction* a : windowList->actions())
            delete a;
        int n = 0;
        for (CMDIChildWnd* child : GetChildFrames()) {
            if (child->isHidden())
                continue;
            if (n == 0)
                windowList->addAction(window->addSeparator());
            QString text = child->windowTitle();
            // Only the first nine take their number as the access key: a
            // tenth "&10" would share the key 1 with the first, and the key
            // would then only move between them instead of choosing one.
            ++n;
            auto* a = new QAction(QStringLiteral("%1%2 %3")
                                      .arg(n <= 9 ? QStringLiteral("&") : QString())
                                      .arg(n)
                                      .arg(text.replace('&', QLatin1String("&&"))),
                                  windowList);
            a->setCheckable(true);
            a->setChecked(child == MDIGetActive());
            window->addAction(a);
            // A minimised window chosen here comes up as a window again, not
            // as an icon that may lie under the others.
            connect(a, &QAction::triggered, child, [this, child] {
                if (child->isMinimized())
                    child->showNormal();
                GetMDIClient()->setActiveSubWindow(child);
            });
        }
    });
    QMenu* help2 =
        fill(QStringLiteral("&Help"),
             {{ID_HELP_FINDER, "&Help Topics"}, {0, nullptr}, {ID_APP_ABOUT, "&About Veltrane..."}});
    m_menu129 = {file2, view2, process, acquire2, window, help2};

    // Accelerators 128.
    auto keys = [&](unsigned id, std::initializer_list<QKeySequence> seq) {
        bar->Action(id)->setShortcuts(seq);
    };
    keys(ID_EDIT_COPY, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    keys(ID_MONITOR, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M)});
    keys(ID_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    keys(ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    keys(ID_FILE_PRINT, {QKeySequence(Qt::CTRL | Qt::Key_P)});
    keys(ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    keys(ID_EDIT_PASTE, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    keys(ID_EDIT_UNDO, {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    keys(ID_EDIT_CUT, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    keys(ID_HELP, {QKeySequence(Qt::Key_F1)});
    keys(ID_CONTEXT_HELP, {QKeySequence(Qt::SHIFT | Qt::Key_F1)});
    keys(ID_NEXT_PANE, {QKeySequence(Qt::Key_F6)});
    keys(ID_PREV_PANE, {QKeySequence(Qt::SHIFT | Qt::Key_F6)});
    // The menu texts show the shortcut already; the actions keep their keys only.
    for (unsigned id : {ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT})
        bar->Action(id)->setShortcutVisibleInContextMenu(false);

    SetMenus(m_menu128, m_menu129);
}

bool CMainFrame::BuildToolBars()
{
    CCommandBar* bar = GetCommandBar();
    m_pToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_pToolBar->setObjectName(QStringLiteral("AFX_IDW_TOOLBAR"));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setMovable(true);
    auto button = [&](unsigned id, const QIcon& icon, const char* text) {
        QAction* a = bar->Action(id, QString::fromLatin1(text));
        if (a->icon().isNull())
            a->setIcon(icon);
        m_pToolBar->addAction(a);
    };
    // Drawn, not taken from the icon theme: decoding theme images would cost
    // more start-up time than the rest of the window.
    button(ID_FILE_OPEN, DrawnIcon(ID_FILE_OPEN), "&Open...");
    button(ID_FILE_SAVE, DrawnIcon(ID_FILE_SAVE), "&Save");
    button(ID_EDIT_COPY, DrawnIcon(ID_EDIT_COPY), "&Copy");
    button(ID_FILE_PRINT, DrawnIcon(ID_FILE_PRINT), "&Print...");
    m_pToolBar->addSeparator();
    for (unsigned id : {ID_VIEW_HORZ_EXPAND, ID_VIEW_HORZ_CONTRACT, ID_VIEW_VERT_EXPAND,
                        ID_VIEW_VERT_CONTRACT, ID_VIEW_FULLSCALE})
        button(id, DrawnIcon(id), "");
    m_pToolBar->addSeparator();
    for (unsigned id : {ID_VIEW_ZOOMIN, ID_VIEW_ZOOMOUT, ID_VIEW_DEFAULTZOOM})
        button(id, DrawnIcon(id), "");
    m_pToolBar->addSeparator();
    button(ID_ACQUIRE_SELECT, DrawnIcon(ID_ACQUIRE_SELECT), "");
    m_pToolBar->addSeparator();
    button(ID_APP_ABOUT, DrawnIcon(ID_APP_ABOUT), "&About Veltrane...");
    button(ID_CONTEXT_HELP, DrawnIcon(ID_CONTEXT_HELP), "Help");
    addToolBar(Qt::TopToolBarArea, m_pToolBar);

    // The text toolbar: Sample, Region and Level, each with a drop-down arrow
    // whose list the active view fills.
    m_pDispBar = new QToolBar(QStringLiteral("Display"), this);
    m_pDispBar->setObjectName(QStringLiteral("AFX_IDW_DISPBAR"));
    m_pDispBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    struct
    {
        unsigned id;
        unsigned text;
    } const buttons[] = {{ID_DISP_SAMPLE, 1157}, {ID_DISP_REGION, 1121}, {ID_DISP_LEVEL, 1159}};
    for (auto& b : buttons) {
        QAction* a = bar->Action(b.id, ToQString(LoadString(b.text)));
        // The button shows its own short text whatever the menus call the command.
        a->setIconText(ToQString(LoadString(b.text)));
        auto* tb = new QToolButton(m_pDispBar);
        tb->setObjectName(QStringLiteral("ID_DISP_%1").arg(b.id));
        tb->setDefaultAction(a);
        tb->setPopupMode(QToolButton::MenuButtonPopup);
        tb->setToolButtonStyle(Qt::ToolButtonTextOnly);
        tb->setMinimumWidth(50);
        tb->setMaximumWidth(150);
        auto* drop = new QMenu(tb);
        unsigned id = b.id;
        connect(drop, &QMenu::aboutToShow, this, [this, drop, id] {
            SafeInvoke([&] {
                drop->clear();
                if (CVeltraneView* v = ActiveVeltraneView())
                    v->OnDispDropDown(id, drop);
            });
        });
        tb->setMenu(drop);
        m_pDispBar->addWidget(tb);
    }
    addToolBar(Qt::TopToolBarArea, m_pDispBar);
    return true;
}

bool CMainFrame::BuildStatusBar()
{
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("AFX_IDW_STATUS_BAR"));
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_pIndicators[i] = new QLabel(QString::fromLatin1(names[i]), sb);
        m_pIndicators[i]->setObjectName(QStringLiteral("ID_INDICATOR_%1").arg(QString::fromLatin1(names[i])));
        m_pIndicators[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_pIndicators[i]->setAlignment(Qt::AlignCenter);
        m_pIndicators[i]->setMinimumWidth(
            m_pIndicators[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        // The lock-key states are not known here: the panes stay greyed.
        m_pIndicators[i]->setEnabled(false);
        sb->addPermanentWidget(m_pIndicators[i]);
    }
    // A command's prompt shows while the pointer is on its item or button and
    // is cleared when it leaves: the bar then says "Ready" again rather than
    // nothing for the rest of the session.
    connect(sb, &QStatusBar::messageChanged, sb, [sb](const QString& text) {
        if (text.isEmpty())
            sb->showMessage(QStringLiteral("Ready"));
    });
    sb->showMessage(QStringLiteral("Ready"));
    return true;
}

QToolButton* CMainFrame::GetDispButton(unsigned id) const
{
    return m_pDispBar ? m_pDispBar->findChild<QToolButton*>(QStringLiteral("ID_DISP_%1").arg(id)) : nullptr;
}

CVeltraneView* CMainFrame::ActiveVeltraneView() const
{
    CMDIChildWnd* child = MDIGetActive();
    return child ? dynamic_cast<CVeltraneView*>(child->GetActiveView()) : nullptr;
}

void CMainFrame::DelayedErrorReport(int id)
{
    m_ilsErrors.push_back(id);
    if (m_nDelayTimer == 0)
        m_nDelayTimer = SetTimer(ErrorTimerPeriod);
}

void CMainFrame::OnTimer(int id)
{
    if (id != m_nDelayTimer || id == 0)
        return;
    KillTimer(m_nDelayTimer);
    m_nDelayTimer = 0;
    // An id queued while the boxes are up joins this pass.
    if (m_bShowingErrors)
        return;
    m_bShowingErrors = true;
    while (!m_ilsErrors.empty()) {
        int msg = m_ilsErrors.front();
        AfxMessageBox(unsigned(msg), MB_OK);
        m_ilsErrors.pop_front();
    }
    m_bShowingErrors = false;
}

intptr_t CMainFrame::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t)
{
    if (message != WMAPP_ERRMSG)
        return 0;
    if (wParam != 0)
        AfxMessageBox(unsigned(wParam), MB_OK);
    return 1;
}

void CMainFrame::OpenMonitor(bool bShow)
{
    if (m_pMonitor) {
        m_pMonitor->show();
        m_pMonitor->raise();
        return;
    }
    CVeltrane* app = CVeltrane::GetApp();
    if (!app)
        return;
    m_pMonitor = new CMonitor(&m_pMonitor, &app->m_TrafficMonitor, nullptr);
    if (!m_pMonitor->Create(nullptr)) {
        delete m_pMonitor;
        m_pMonitor = nullptr;
        return;
    }
    if (!bShow)
        m_pMonitor->hide();
    if (app->m_pASCU)
        app->m_pASCU->SetMonitorWnd(&app->m_TrafficMonitor);
    if (app->m_pDAU)
        app->m_pDAU->SetMonitorWnd(&app->m_TrafficMonitor);
}

bool CMainFrame::AnyXPSDocument() const
{
    CMultiDocTemplate* t = CVeltrane::GetSpectrumTemplate();
    if (!t)
        return false;
    for (CDocument* d : t->GetDocuments())
        if (auto* doc = dynamic_cast<CVeltraneDoc*>(d))
            if (doc->GetTechnique() == 2 || doc->GetTechnique() == 4)
                return true;
    return false;
}

void CMainFrame::OnUpdateViewUnits(CCmdUI* pUI)
{
    CVeltrane* app = CVeltrane::GetApp();
    bool enable = app && app->m_pDAU && app->m_pDAU->TechniqueValid(CDAU::XPS | CDAU::UPS);
    if (!enable)
        enable = AnyXPSDocument();
    pUI->Enable(enable);
    if (enable && app) {
        int unit = app->GetDefaultXPSUnit();
        pUI->SetCheck(pUI->m_nID == ID_VIEW_UNITS_KE ? unit == CVeltrane::KE : unit == CVeltrane::BE);
    }
}

void CMainFrame::OnViewUnits(unsigned id)
{
    CVeltrane* app = CVeltrane::GetApp();
    if (!app)
        return;
    CVeltrane::Unit newUnit = id == ID_VIEW_UNITS_KE ? CVeltrane::KE : CVeltrane::BE;
    CVeltrane::Unit oldUnit = app->GetDefaultXPSUnit();
    if (newUnit == oldUnit) {
        QApplication::beep();
        return;
    }
    app->SetXPSUnit(newUnit);
    if (AppHooks().xpsUnitChange)
        AppHooks().xpsUnitChange(oldUnit, newUnit);
    if (m_pXPSSheet && m_pXPSSheet->IsCreated())
        m_pXPSSheet->OnUnitChange();
    if (CMultiDocTemplate* t = CVeltrane::GetSpectrumTemplate()) {
        SUnitUpdate hint;
        for (CDocument* d : t->GetDocuments())
            if (auto* doc = dynamic_cast<CVeltraneDoc*>(d);
                doc && (doc->GetTechnique() == 2 || doc->GetTechnique() == 4))
                doc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&hint), nullptr);
    }
    if (CVeltraneView::m_pProcDlg && AppHooks().procDlgUnitChange)
        AppHooks().procDlgUnitChange(oldUnit, newUnit);
}

void CMainFrame::OnClose()
{
    // The tools go first, before any save prompt: they may still change data.
    if (CVeltraneView::m_pProcDlg)
        CVeltraneView::m_pProcDlg->reject();
    for (QWidget* sheet :
         {SToolInstances::m_pChemPrfSheet, SToolInstances::m_pPelomarSheet, SToolInstances::m_pQuantifySheet})
        if (sheet)
            sheet->close();
    // The document windows go one by one, and the client does not pass its
    // maximised mode on to the next: the last one destroyed would forget what
    // the user left.
    bool maximizedMode = false;
    for (CMDIChildWnd* child : GetChildFrames())
        if (child->isVisible() && child->isMaximized())
            maximizedMode = true;
    CMDIFrameWnd::OnClose();
    if (IsDestroyed() && maximizedMode)
        CRegistry::m_CChildFrame.m_bMaximized = 1;
}

void CMainFrame::StorePlacement()
{
    CRegistry::CMainFrame& reg = CRegistry::m_CMainFrame;
    if (!isMinimized()) {
        QRect r = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
        if (r.isValid())
            reg.m_rWnd = {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        reg.m_bMaximized = isMaximized() ? 1 : 0;
    }
}

void CMainFrame::StoreWindowState()
{
    if (IsDestroyed())
        return;
    StorePlacement();
    // What destroying the document windows one by one would leave: the last
    // one shown is maximised exactly when they are shown maximised.
    bool shown = false;
    bool maximizedMode = false;
    for (CMDIChildWnd* child : GetChildFrames())
        if (!child->isHidden()) {
            shown = true;
            maximizedMode = maximizedMode || child->isMaximized();
        }
    if (shown)
        CRegistry::m_CChildFrame.m_bMaximized = maximizedMode ? 1 : 0;
}

void CMainFrame::OnDestroy()
{
    StorePlacement();
    if (m_pMonitor) {
        CMonitor* m = m_pMonitor;
        m->close();
        delete m;
    }
}
