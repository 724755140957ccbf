#include "analysis/ui/PelomarSheet.h"

#include "analysis/core/Process.h"
#include "app/SpecView.h"
#include "app/VeltraneView.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Registry.h"
#include "data/SpecRgn.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

namespace {

QString Text(unsigned id)
{
    return ToQString(LoadString(id));
}

QString Name(unsigned id)
{
    switch (id) {
    case IDC_PELOMARMTH_GAUSS:
        return QStringLiteral("IDC_PELOMARMTH_GAUSS");
    case IDC_PELOMARMTH_SHERWOOD:
        return QStringLiteral("IDC_PELOMARMTH_SHERWOOD");
    case IDC_PELOMARMTH_BTN_MIX:
        return QStringLiteral("IDC_PELOMARMTH_BTN_MIX");
    case IDC_PELOMARMTH_EDIT_MIX:
        return QStringLiteral("IDC_PELOMARMTH_EDIT_MIX");
    case IDC_PELOMARMTH_START:
        return QStringLiteral("IDC_PELOMARMTH_START");
    case IDC_PELOMARMTH_FINISH:
        return QStringLiteral("IDC_PELOMARMTH_FINISH");
    case IDC_PELOMARMTH_SUBBCK:
        return QStringLiteral("IDC_PELOMARMTH_SUBBCK");
    case IDC_PELOMARMTH_SUM:
        return QStringLiteral("IDC_PELOMARMTH_SUM");
    case IDC_PELOMARMTH_RESIDUE:
        return QStringLiteral("IDC_PELOMARMTH_RESIDUE");
    case IDC_PELOMARMTH_SHOWBCK:
        return QStringLiteral("IDC_PELOMARMTH_SHOWBCK");
    case IDC_PELOMARMTH_MARKERS:
        return QStringLiteral("IDC_PELOMARMTH_MARKERS");
    case IDC_PELOMARMTH_PEAKS:
        return QStringLiteral("IDC_PELOMARMTH_PEAKS");
    case IDC_PELOMARCMP_GRID:
        return QStringLiteral("IDC_PELOMARCMP_GRID");
    default:
        return QStringLiteral("id_%1").arg(id);
    }
}

// Screen coordinates of the markers: computed as doubles, limited to what the
// drawing accepts, then rounded down.
int Clamp16(double v)
{
    if (!(v == v))
        return 0;
    return int(std::floor(std::clamp(v, -16384.0, 16383.0)));
}

} // namespace

// ---------------------------------------------------------------- Method page

CPelomar_MethodPage::CPelomar_MethodPage() : CPropertyPage(QStringLiteral("Method"))
{
    setObjectName(QStringLiteral("IDD_PELOMAR_METHOD"));
    CRegistry::CPelomar& r = CRegistry::m_CPelomar;
    bool* flags[8] = {&r.m_bGaussLorentz, &r.m_bFixRatio,       &r.m_bSubBackground, &r.m_bShowSum,
                      &r.m_bShowResidual, &r.m_bShowBackground, &r.m_bShowMarkers,   &r.m_bShowPeaks};
    std::copy(std::begin(flags), std::end(flags), m_pbFlags);

    auto* method = new QGroupBox(QStringLiteral("Method"), this);
    auto* gauss = new QRadioButton(QStringLiteral("Gauss-Lorentz"), method);
    gauss->setObjectName(Name(IDC_PELOMARMTH_GAUSS));
    auto* sherwood = new QRadioButton(QStringLiteral("Sherwood"), method);
    sherwood->setObjectName(Name(IDC_PELOMARMTH_SHERWOOD));
    auto* fix = new QCheckBox(QStringLiteral("Fix ratio"), method);
    fix->setObjectName(Name(IDC_PELOMARMTH_BTN_MIX));
    auto* ratio = new QLineEdit(method);
    ratio->setObjectName(Name(IDC_PELOMARMTH_EDIT_MIX));
    auto* ml = new QGridLayout(method);
    ml->addWidget(gauss, 0, 0, 1, 2);
    ml->addWidget(sherwood, 1, 0, 1, 2);
    ml->addWidget(fix, 2, 0, 1, 2);
    ml->addWidget(new QLabel(QStringLiteral("Ratio"), method), 3, 0);
    ml->addWidget(ratio, 3, 1);

    auto* limits = new QGroupBox(QStringLiteral(" Limits"), this);
    auto* ll = new QGridLayout(limits);
    int row = 0;
    for (unsigned id : {unsigned(IDC_PELOMARMTH_START), unsigned(IDC_PELOMARMTH_FINISH)}) {
        auto* e = new QLineEdit(limits);
        e->setObjectName(Name(id));
        ll->addWidget(
            new QLabel(id == IDC_PELOMARMTH_START ? QStringLiteral("Start") : QStringLiteral("Finish"),
                       limits),
            row, 0);
        ll->addWidget(e, row++, 1);
    }

    auto* bkg = new QGroupBox(QStringLiteral("Background"), this);
    auto* subtract = new QCheckBox(QStringLiteral("Subtract"), bkg);
    subtract->setObjectName(Name(IDC_PELOMARMTH_SUBBCK));
    (new QVBoxLayout(bkg))->addWidget(subtract);

    auto* display = new QGroupBox(QStringLiteral(" Display"), this);
    auto* dl = new QVBoxLayout(display);
    const std::pair<unsigned, const char*> shows[] = {{IDC_PELOMARMTH_SUM, "Sum"},
                                                      {IDC_PELOMARMTH_RESIDUE, "Residue"},
                                                      {IDC_PELOMARMTH_SHOWBCK, "Background"},
                                                      {IDC_PELOMARMTH_MARKERS, "Markers"},
                                                      {IDC_PELOMARMTH_PEAKS, "Peaks"}};
    for (auto [id, text] : shows) {
        auto* c = new QCheckBox(QString::fromLatin1(text), display);
        c->setObjectName(Name(id));
        dl->addWidget(c);
        SafeConnect(c, &QCheckBox::clicked, this, [this, id = id](bool) { OnDisplay(id); });
    }

    // Load and Save have no action, as on the instrument's own software page.
    auto* load = new QPushButton(QStringLiteral("Load..."), this);
    load->setObjectName(QStringLiteral("id_1001"));
    auto* save = new QPushButton(QStringLiteral("Save..."), this);
    save->setObjectName(QStringLiteral("id_1002"));

    auto* left = new QVBoxLayout;
    left->addWidget(method);
    left->addWidget(limits);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(bkg);
    right->addWidget(display);
    auto* files = new QHBoxLayout;
    files->addWidget(load);
    files->addWidget(save);
    right->addLayout(files);
    right->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right);

    SafeConnect(gauss, &QRadioButton::clicked, this, [this](bool) { OnShape(IDC_PELOMARMTH_GAUSS); });
    SafeConnect(sherwood, &QRadioButton::clicked, this, [this](bool) { OnShape(IDC_PELOMARMTH_SHERWOOD); });
    SafeConnect(subtract, &QCheckBox::clicked, this, [this](bool) { OnSubtract(); });
}

bool CPelomar_MethodPage::OnInitDialog()
{
    if (!CPropertyPage::OnInitDialog())
        return false;
    findChild<QRadioButton*>(Name(IDC_PELOMARMTH_GAUSS))->setChecked(*m_pbFlags[0]);
    findChild<QRadioButton*>(Name(IDC_PELOMARMTH_SHERWOOD))->setChecked(!*m_pbFlags[0]);
    findChild<QCheckBox*>(Name(IDC_PELOMARMTH_BTN_MIX))->setChecked(*m_pbFlags[1]);
    const unsigned checks[] = {IDC_PELOMARMTH_SUBBCK,  IDC_PELOMARMTH_SUM,     IDC_PELOMARMTH_RESIDUE,
                               IDC_PELOMARMTH_SHOWBCK, IDC_PELOMARMTH_MARKERS, IDC_PELOMARMTH_PEAKS};
    for (int i = 0; i < 6; ++i)
        findChild<QCheckBox*>(Name(checks[i]))->setChecked(*m_pbFlags[2 + i]);
    return true;
}

void CPelomar_MethodPage::DoDataExchange(CDataExchange* pDX)
{
    const QByteArray mix = Name(IDC_PELOMARMTH_EDIT_MIX).toLatin1();
    const QByteArray start = Name(IDC_PELOMARMTH_START).toLatin1();
    const QByteArray finish = Name(IDC_PELOMARMTH_FINISH).toLatin1();
    DDX_Text(pDX, mix.constData(), m_dRatio);
    DDV_MinMaxDouble(pDX, m_dRatio, 0, 1.0);
    DDX_Text(pDX, start.constData(), m_dStart);
    DDV_MinMaxDouble(pDX, m_dStart, 0, 10000.0);
    DDX_Text(pDX, finish.constData(), m_dFinish);
    DDV_MinMaxDouble(pDX, m_dFinish, 0, 10000.0);
}

void CPelomar_MethodPage::OnShape(unsigned id)
{
    // Applies to peaks added from now on.
    *m_pbFlags[0] = id == IDC_PELOMARMTH_GAUSS;
}

void CPelomar_MethodPage::OnDisplay(unsigned id)
{
    bool* flag = m_pbFlags[3 + (id - IDC_PELOMARMTH_SUM)];
    *flag = !*flag;
    if (m_pSheet && m_pSheet->GetView())
        if (CSpecWnd* w = m_pSheet->GetView()->GetSpecWnd())
            w->Invalidate(CSpecWnd::TraceArea, false);
}

void CPelomar_MethodPage::OnSubtract()
{
    // The background was computed at opening; the choice applies to the next sheet.
    *m_pbFlags[2] = !*m_pbFlags[2];
}

// ---------------------------------------------------------------- Components page and grid

void CPelomar_ComponGrid::OnSetup()
{
    m_font = CFont(QApplication::font());
    EnableTextOverflow(FALSE);
    CUGCell cell;
    GetHeadingDefault(&cell);
    cell.SetFont(&m_font);
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    SetHeadingDefault(&cell);
    GetGridDefault(&cell);
    cell.SetFont(&m_font);
    cell.SetCellType(0);
    cell.SetBorder(UG_BDR_RAISED);
    cell.SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    cell.SetReadOnly(TRUE);
    SetGridDefault(&cell);
    SetVScrollMode(1);
    SetHScrollMode(1);
    EmptyMenu();
    AddMenuItem(ID_EDIT_CLEAR, "&Delete");
    AddMenuItem(-1, "");
    AddMenuItem(ID_PELOMAR_FIX, "&Fix");
    AddMenuItem(ID_PELOMAR_FIX_RELATIVE, "Fix &Relative");
    EnableMenu(TRUE);
    SetRowCount(8);
    SetColCount(6);
    SetSideHdgWidth(0);
    SetHScrollHeight(0);

    const QFontMetrics fm(m_font.Font());
    const int rowHeight = fm.height() + 4;
    SetUniformRowHeight(TRUE);
    SetDefRowHeight(rowHeight);
    SetTopHdgHeight(rowHeight);
    SetRowHeight(0, rowHeight);

    int widest = 0;
    for (unsigned id = 1171; id <= 1176; ++id)
        widest = std::max(widest, fm.horizontalAdvance(Text(id)));
    const int width =
        std::max(fm.horizontalAdvance(QStringLiteral("8888.8888")) + fm.averageCharWidth(), widest) +
        2 * GI()->m_margin;
    for (int c = 0; c < 6; ++c) {
        SetTextAt(c, -1, LoadString(1171 + unsigned(c)).c_str());
        SetColWidth(c, width);
        SetTextAt(c, 0, "8888.888");
    }
    const int edge = 2;
    setFixedSize(6 * width + GetSideHdgWidth() + edge + GetVScrollWidth(), (8 + 1) * rowHeight + edge);
}

int CPelomar_ComponGrid::OnMenuStart(int col, long row, int section)
{
    return section == UG_SECTION_GRID && col >= 0 && row >= 0;
}

void CPelomar_ComponGrid::OnMenuCommand(int, long, int, int)
{
    // There is nothing to delete or fix yet: the table shows its layout only.
    RedrawAll();
}

COLORREF CPelomar_ComponGrid::OnGetDefBackColor(int)
{
    return UGGetSysColor(UG_COLOR_BTNFACE);
}

CPelomar_ComponPage::CPelomar_ComponPage() : CPropertyPage(QStringLiteral("Components"))
{
    setObjectName(QStringLiteral("IDD_PELOMAR_COMPONENTS"));
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(Name(IDC_PELOMARCMP_GRID));
    placeholder->setMinimumSize(300, 150);
    auto* l = new QVBoxLayout(this);
    l->addWidget(placeholder);
    l->addStretch();
}

bool CPelomar_ComponPage::OnInitDialog()
{
    m_Grid.AttachToDlgItem(this, Name(IDC_PELOMARCMP_GRID));
    return CPropertyPage::OnInitDialog();
}

CPelomar_ConstrPage::CPelomar_ConstrPage() : CPropertyPage(QStringLiteral("Constraints"))
{
    setObjectName(QStringLiteral("IDD_PELOMAR_CONSTRAINTS"));
}

// ---------------------------------------------------------------- the sheet

QRect CPelomar_Sheet::m_rectWnd;
CPelomar_Sheet* CPelomar_Sheet::m_pInstance = nullptr;

CPelomar_Sheet::CPelomar_Sheet(unsigned nIDCaption, CSpecView* pView, unsigned iSelectPage)
    : CPropertySheet(Text(nIDCaption), pView, int(iSelectPage)), m_pView(pView)
{
    setObjectName(QStringLiteral("CPelomar_Sheet"));
    m_pInstance = this;
    AddPage(&m_MethodPage);
    AddPage(&m_ComponPage);
    m_MethodPage.m_pSheet = this;
    SetActivePage(0);
}

CPelomar_Sheet::~CPelomar_Sheet()
{
    m_Components.clear();
    if (SToolInstances::m_pPelomarSheet == this)
        SToolInstances::m_pPelomarSheet = nullptr;
    if (m_pInstance == this)
        m_pInstance = nullptr;
}

CSpecViewBase* CPelomar_Sheet::GetView() const
{
    return m_pView;
}

CSpecTrace* CPelomar_Sheet::Trace(int* n) const
{
    CSpecTrace* t = m_pView ? m_pView->GetSpecTrace() : nullptr;
    if (n)
        *n = t ? t->GetNumPoints() : 0;
    return t;
}

double CPelomar_Sheet::Step() const
{
    const CSpecRgn* r = m_pView ? m_pView->GetCurrentRegion() : nullptr;
    return r ? r->GetStep() : 0.0;
}

void CPelomar_Sheet::RepaintTraceArea()
{
    if (CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr)
        w->Invalidate(CSpecWnd::TraceArea, false);
}

bool CPelomar_Sheet::OnInitDialog()
{
    int n = 0;
    Trace(&n);
    m_MethodPage.m_dStart = n / 10;
    m_MethodPage.m_dFinish = 9 * n / 10;
    if (!CPropertySheet::OnInitDialog())
        return false;
    Layout();
    m_pView->EnableMultiTraceDisplay(false);
    m_pView->EnableMultiRegionDisplay(false);

    CSpecTrace* trace = Trace(&n);
    m_pdBackground.assign(size_t(n), 0.0);
    m_pdSum.assign(size_t(n), 0.0);
    m_pdResidual.assign(size_t(n), 0.0);
    const CRegistry::CPelomar& r = CRegistry::m_CPelomar;
    auto pen = [](COLORREF c) {
        QPen p(QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)));
        p.setWidth(0);
        return p;
    };
    m_penResidual = pen(r.m_clrResidual);
    m_penBackground = pen(CRegistry::m_CBackground.m_clrBackground);
    m_penComponents = pen(r.m_clrComponents);
    m_penSum = pen(r.m_clrSum);
    CalcBackground();
    CalcEnvelope(0);

    CSpecWnd* wnd = m_pView->GetSpecWnd();
    if (wnd && trace) {
        const double xs[2] = {double(trace->IndexTox(int(m_MethodPage.m_dStart))),
                              double(trace->IndexTox(int(m_MethodPage.m_dFinish)))};
        CLineCursor* cursors[2] = {&m_StartCursor, &m_FinishCursor};
        for (int i = 0; i < 2; ++i) {
            cursors[i]->Attach(wnd);
            cursors[i]->SetPos(xs[i]);
            wnd->Attach(cursors[i], trace);
            cursors[i]->Show(TRUE, FALSE);
        }
    }
    RepaintTraceArea();
    SToolInstances::m_pPelomarSheet = this;
    return true;
}

void CPelomar_Sheet::Layout()
{
    // A modeless sheet has no OK, Cancel or Apply: its own buttons stand in a
    // column beside the tabs.
    if (QPushButton* apply = GetApplyButton())
        if (QWidget* box = apply->parentWidget(); box && box != this)
            box->hide();
    auto* outer = qobject_cast<QBoxLayout*>(layout());
    QTabWidget* tabs = findChild<QTabWidget*>();
    auto* column = new QVBoxLayout;
    const std::pair<unsigned, unsigned> buttons[] = {{1164, IDC_PELOMAR_CALC},
                                                     {1165, IDC_PELOMAR_PROFILE},
                                                     {1169, IDC_PELOMAR_SHOW},
                                                     {1109, IDC_PELOMAR_CLOSE}};
    for (auto [text, id] : buttons) {
        const std::string s = LoadString(text);
        if (s.empty())
            break;
        auto* b = new QPushButton(ToQString(s), this);
        b->setObjectName(QStringLiteral("id_%1").arg(id));
        b->setEnabled(id == IDC_PELOMAR_CLOSE);
        b->setAutoDefault(false);
        column->addWidget(b);
        m_caButtons.push_back(b);
        if (id == IDC_PELOMAR_CLOSE)
            SafeConnect(b, &QPushButton::clicked, this, [this](bool) { OnCloseBtn(); });
    }
    column->addStretch();
    if (outer && tabs) {
        outer->removeWidget(tabs);
        auto* row = new QHBoxLayout;
        row->addWidget(tabs, 1);
        row->addLayout(column);
        outer->insertLayout(0, row);
    }
    adjustSize();
    if (m_rectWnd.isEmpty()) {
        QScreen* screen = m_pView && m_pView->screen() ? m_pView->screen() : QGuiApplication::primaryScreen();
        const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        const QSize s = frameGeometry().size().expandedTo(size());
        move(work.left() + (work.width() - s.width()) / 2, work.bottom() - 4 - s.height());
    } else {
        setGeometry(m_rectWnd);
    }
}

void CPelomar_Sheet::CalcBackground()
{
    int n = 0;
    CSpecTrace* t = Trace(&n);
    if (!t || n <= 0)
        return;
    ::CalcBackground(m_pdBackground.data(), t->GetYDataConst(), int(m_MethodPage.m_dStart),
                     int(m_MethodPage.m_dFinish), n,
                     CRegistry::m_CPelomar.m_bSubBackground ? BkgShirley : BkgMinimum);
}

void CPelomar_Sheet::CalcEnvelope(int k)
{
    int n = 0;
    CSpecTrace* t = Trace(&n);
    if (!t || n <= 0 || size_t(n) > m_pdBackground.size())
        return;
    std::vector<CPelomar_Component*> raw;
    for (auto& c : m_Components)
        raw.push_back(c.get());
    ::CalcEnvelope(raw, k, t->GetYDataConst(), m_pdBackground.data(), n, Step(), m_MethodPage.m_dRatio,
                   CRegistry::m_CPelomar.m_bGaussLorentz, m_pdSum.data(), m_pdResidual.data());
}

int CPelomar_Sheet::AddComponentAt(int x)
{
    int n = 0;
    CSpecTrace* t = Trace(&n);
    const CSpecRgn* rgn = m_pView ? m_pView->GetCurrentRegion() : nullptr;
    if (!t || !rgn || n <= 0 || size_t(n) > m_pdBackground.size())
        return 0;
    const int i = std::clamp(t->xToIndex(double(x)), 0, n - 1);
    const SPeakEstimate e = EstimatePeak(t->GetYDataConst(), m_pdBackground.data(), n, i, rgn->GetStart(),
                                         rgn->GetFinish(), rgn->GetNumPoints());
    m_Components.push_back(
        std::make_unique<CPelomar_Component>(e.energy, double(e.index), e.height, e.value, e.halfWidth, n));
    CalcEnvelope(int(m_Components.size()) - 1);
    RepaintTraceArea();
    return 0;
}

void CPelomar_Sheet::OnViewClick(int x)
{
    if (CRegistry::m_CPelomar.m_bShowMarkers)
        AddComponentAt(x);
}

intptr_t CPelomar_Sheet::OnPaintOver(CSpecWnd* pWnd, QPainter* pDC)
{
    if (!pWnd || !pDC || pWnd->GetParentView() != static_cast<CView*>(m_pView))
        return 0;
    int n = 0;
    CSpecTrace* t = Trace(&n);
    if (!t || size_t(n) > m_pdBackground.size())
        return 0;
    const CRect clip = *t->GetRect();
    double* data = t->GetYData();
    QPen* pen = t->GetPen();
    const int mode = t->SetDispMode(CSpecTrace::Transparent);
    auto draw = [&](double* values, QPen* p) {
        t->SetYData(values);
        t->SetPen(p);
        t->DrawTrace(pDC, &clip, FALSE);
    };
    const CRegistry::CPelomar& r = CRegistry::m_CPelomar;
    if (r.m_bShowPeaks)
        for (auto& c : m_Components)
            draw(c->m_pdCurve.data(), &m_penComponents);
    if (r.m_bShowBackground)
        draw(m_pdBackground.data(), &m_penBackground);
    if (r.m_bShowSum)
        draw(m_pdSum.data(), &m_penSum);
    if (r.m_bShowResidual)
        draw(m_pdResidual.data(), &m_penResidual);
    t->SetYData(data);
    t->SetPen(pen);
    t->SetDispMode(mode);
    DrawMarkers(t, pDC);
    return 0;
}

void CPelomar_Sheet::DrawMarkers(CSpecTrace* pTrace, QPainter* pDC)
{
    if (!CRegistry::m_CPelomar.m_bShowMarkers || !pTrace || !pDC)
        return;
    pDC->save();
    pDC->setPen(m_penComponents);
    const CRect* rc = pTrace->GetRect();
    const int left = rc->left, top = rc->top, right = rc->right, bottom = rc->bottom;
    const double px = pDC->device() ? pDC->device()->logicalDpiX() : 96;
    const double py = pDC->device() ? pDC->device()->logicalDpiY() : 96;
    const double d = Step();
    // Nothing is drawn outside the plot area, whatever the coordinates.
    pDC->setClipRect(QRect(left, top, right - left + 1, bottom - top + 1), Qt::IntersectClip);
    auto line = [&](int x1, int y1, int x2, int y2) {
        // The end point is left out, as the window system's lines do.
        const int dx = x2 - x1, dy = y2 - y1;
        const int steps = std::max(std::abs(dx), std::abs(dy));
        if (steps == 0)
            return;
        pDC->drawLine(x1, y1, x1 + dx * (steps - 1) / steps, y1 + dy * (steps - 1) / steps);
    };
    for (const auto& c : m_Components) {
        const int xs = Clamp16(pTrace->XTox(c->m_dPosn));
        if (left <= xs && xs <= right)
            line(xs, top, xs, bottom + 1);
        const int ys = Clamp16(pTrace->YToy(c->m_dValue));
        const int tick = int(px / 16);
        if (top <= ys && ys < bottom)
            line(xs - tick, ys, xs + tick + 1, ys);
        const double w = d != 0 ? std::trunc(c->m_dHalfWidth / d) : 0.0;
        const int t = int(py / 24);
        const int yh = Clamp16(pTrace->YToy(c->m_dValue - c->m_dHeight / 2));
        const int xl = Clamp16(pTrace->XTox(c->m_dPosn - w));
        const int xr = Clamp16(pTrace->XTox(c->m_dPosn + w));
        line(xl, yh - t, xl, yh + t + 1);
        line(xl, yh, xr, yh);
        line(xr, yh - t, xr, yh + t);
    }
    pDC->restore();
}

void CPelomar_Sheet::OnCloseBtn()
{
    DestroyWindow();
}

void CPelomar_Sheet::closeEvent(QCloseEvent* e)
{
    e->ignore();
    OnCloseBtn();
}

void CPelomar_Sheet::DestroyWindow()
{
    if (m_bDestroying)
        return;
    m_bDestroying = true;
    m_rectWnd = geometry();
    if (SToolInstances::m_pPelomarSheet == this)
        SToolInstances::m_pPelomarSheet = nullptr;
    if (m_pView) {
        m_pView->EnableMultiTraceDisplay(true);
        m_pView->EnableMultiRegionDisplay(true);
        CSpecWnd* wnd = m_pView->GetSpecWnd();
        for (CLineCursor* c : {&m_StartCursor, &m_FinishCursor}) {
            c->Show(FALSE, FALSE);
            if (wnd)
                wnd->Detach(c);
        }
        RepaintTraceArea();
    }
    hide();
    deleteLater();
}
