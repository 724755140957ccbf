#include "acquire/ui/AesRgnPage.h"

#include "framework/ui/ClipFormat.h"
#include "res/resource.h"

#include "UGrid/UGDropListType.h"
#include "acquire/core/RegionClip.h"
#include "acquire/ui/AcqHost.h"
#include "acquire/ui/GridHolder.h"
#include "acquire/ui/PeriodicTable.h"
#include "acquire/ui/RegionGrid.h"
#include "acquire/ui/TableHelpers.h"
#include "data/Region.h"
#include "data/formats/PkLib.h"
#include "framework/ui/Guard.h"
#include "platform/Cp1252.h"
#include "platform/Strings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
using R = CAesRgnModel;

std::string Str(unsigned id, const char* fallback)
{
    std::string s;
    return TryLoadString(id, s) ? s : std::string(fallback);
}

std::vector<std::string> Items(const std::string& list)
{
    std::vector<std::string> items;
    size_t begin = 0;
    while (begin < list.size()) {
        const size_t end = list.find('\n', begin);
        items.push_back(list.substr(begin, end - begin));
        if (end == std::string::npos)
            break;
        begin = end + 1;
    }
    return items;
}

bool IsPrintable(UINT key)
{
    return key >= 32 && key != 127;
}
} // namespace

CAcquireAES_RgnPage::CAcquireAES_RgnPage(QWidget*) : CAesPage(QStringLiteral(" Regions "))
{
    setObjectName(QStringLiteral("IDD_ACQ_AESRGN"));
}

void CAcquireAES_RgnPage::OnExpTypeChange()
{
    S().m_Rgn.OnExpTypeChange(GetExpType());
    if (IsBuilt())
        Refresh();
}

void CAcquireAES_RgnPage::ErrorCheck() const
{
    S().m_Rgn.ErrorCheck(GetExpType());
}

void CAcquireAES_RgnPage::Later(std::function<void()> f)
{
    QMetaObject::invokeMethod(
        this,
        [this, f = std::move(f)] {
            if (m_pSetup)
                f();
        },
        Qt::QueuedConnection);
}

// ---- Layout ------------------------------------------------------------------

bool CAcquireAES_RgnPage::OnInitDialog()
{
    auto* scanBox = new QGroupBox(QStringLiteral("Scan"), this);
    auto* scanLayout = new QHBoxLayout(scanBox);
    auto* modeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto* modeLayout = new QHBoxLayout(modeBox);
    auto* scans = new QButtonGroup(scanBox);
    auto* modes = new QButtonGroup(modeBox);
    m_btnAcross = new QRadioButton(scanBox);
    m_btnDown = new QRadioButton(scanBox);
    m_btnCAE = new QRadioButton(QStringLiteral("CAE"), modeBox);
    m_btnCRR = new QRadioButton(QStringLiteral("CRR"), modeBox);
    int id = 4288;
    for (QRadioButton* b : {m_btnAcross, m_btnDown, m_btnCAE, m_btnCRR}) {
        b->setObjectName(QStringLiteral("id_%1").arg(id));
        const bool scan = id < 4290;
        (scan ? scanLayout : modeLayout)->addWidget(b);
        (scan ? scans : modes)->addButton(b, id);
        SafeConnect(b, &QRadioButton::clicked, this, [this, scan, id](bool) {
            if (scan)
                OnScanBtn(id);
            else
                OnModeBtn(id);
        });
        ++id;
    }
    m_btnPeriodic = new QPushButton(QStringLiteral("Periodic Table..."), this);
    m_btnPeriodic->setObjectName(QStringLiteral("id_4293"));
    m_btnPeriodic->setAutoDefault(false);
    SafeConnect(m_btnPeriodic, &QPushButton::clicked, this, [this](bool) { OnPeriodicTable(); });

    auto* top = new QHBoxLayout;
    top->addWidget(scanBox);
    top->addWidget(modeBox);
    top->addStretch(1);
    top->addWidget(m_btnPeriodic, 0, Qt::AlignBottom);

    CGridHolder* holder = RegionGrid::Place(this, "id_4292", m_Grid, top, nMinNumCols);
    m_gridHolder = holder;

    m_csNewLine = Str(1280, "\n");
    m_csElementList.clear();
    if (const CPkLib* lib = AcqHost().pkLib)
        lib->GetElementList(m_csElementList, m_csNewLine);

    RegionGrid::SetUp(m_Grid, holder, nMinNumCols, 4);
    for (auto [cmd, text] : {std::pair{ID_EDIT_CUT, "Cu&t"}, std::pair{ID_EDIT_COPY, "&Copy"},
                             std::pair{ID_EDIT_PASTE, "&Paste"}, std::pair{ID_EDIT_CLEAR, "&Delete"}})
        m_Grid.AddMenuItem(cmd, text);
    m_Grid.EnableMenu(1);
    Refresh();
    return true;
}

bool CAcquireAES_RgnPage::OnSetActive()
{
    if (!IsBuilt())
        return CAesPage::OnSetActive();
    Refresh();
    return true;
}

void CAcquireAES_RgnPage::Refresh()
{
    if (!IsBuilt())
        return;
    CAesRgnModel& rgn = S().m_Rgn;
    const int exp = GetExpType();
    rgn.OnExpTypeChange(exp);
    const bool wideExp = exp == CAcquireAES::Widescan, se = exp == CAcquireAES::SEImage;

    m_btnAcross->setText(QString::fromStdString(LoadString(wideExp ? 1154 : 1155)));
    m_btnDown->setText(QString::fromStdString(LoadString(wideExp ? 1153 : 1156)));
    const int scanMode = wideExp ? rgn.m_iWidescanMode : rgn.m_iNarrowscanMode;
    (scanMode ? m_btnDown : m_btnAcross)->setChecked(true);
    m_btnAcross->setEnabled(!se);
    m_btnDown->setEnabled(!se);
    m_btnPeriodic->setEnabled(!wideExp && !se);
    m_gridHolder->setVisible(!se);

    if (S().m_Instr.cma) {
        rgn.m_iAnalyserMode = 1;
        m_btnCAE->setEnabled(false);
        m_btnCRR->setEnabled(false);
    } else {
        m_btnCAE->setEnabled(!se);
        m_btnCRR->setEnabled(!se);
    }
    (rgn.m_iAnalyserMode ? m_btnCRR : m_btnCAE)->setChecked(true);

    const bool peak = R::PeakMode(exp);
    const unsigned labels[9] = {
        1120, 1121, peak ? 1145u : 1122u, peak ? 1146u : 1123u, peak ? 1147u : 1124u, 1125, 1126, 1127, 1128};
    for (int r = 0; r < 9; ++r)
        m_Grid.SetTextAt(-1, r, se ? "" : LoadString(labels[r]).c_str());
    if (!rgn.m_pRgnList)
        return;

    const int n = rgn.NumRegions();
    const int cols = std::max(nMinNumCols, n + 1);
    m_Grid.SetColCount(cols);
    for (int c = 0; c < n; ++c)
        SetColumn(c, rgn.RegionAt(c));
    int c = n;
    if (!wideExp)
        AddColumn(), ++c;
    for (; c < cols; ++c)
        BlankColumn(c);
    RegionGrid::SizeColumns(m_Grid, nMinNumCols);
    m_Grid.RedrawAll();
}

void CAcquireAES_RgnPage::BlankColumn(int col)
{
    CUGCell base;
    m_Grid.GetGridDefault(&base);
    for (long r = 0; r < 9; ++r)
        m_Grid.SetCell(col, r, &base);
}

// ---- Columns -----------------------------------------------------------------

namespace {
struct SCellLooks
{
    CUGCell label, text, list;
};

// A read-only label, an editable text and a read-only drop list, on the grid's default cell.
SCellLooks CellLooks(CAcquireGrid& grid)
{
    SCellLooks l;
    grid.GetGridDefault(&l.label);
    l.text = l.label;
    l.text.SetReadOnly(0);
    l.text.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    l.list = l.label;
    l.list.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    l.list.SetCellType(UGTYPE_DROPLIST);
    l.list.SetCellTypeParam(0x200);
    return l;
}
} // namespace

void CAcquireAES_RgnPage::SetColumn(int col, const CRegion* r)
{
    const int exp = GetExpType();
    const bool wideExp = exp == CAcquireAES::Widescan;
    const bool cma = S().m_Instr.cma;
    const bool crr = S().m_Rgn.m_iAnalyserMode == 1;
    const auto [label, text, list] = CellLooks(m_Grid);
    auto put = [&](long row, CUGCell cell, const std::string& s) {
        cell.SetText(s.c_str());
        m_Grid.SetCell(col, row, &cell);
    };
    const CPkLib* lib = AcqHost().pkLib;
    const CPkLibElement* e = lib ? lib->GetElement(r->GetName()) : nullptr;

    // The Element list gets its items when it opens.
    put(R::Element, wideExp ? label : list, r->GetName());
    if (wideExp || !e) {
        put(R::Region, label, e ? r->GetRegion() : std::string());
    } else {
        std::string peaks;
        for (const CPkLibPeak& p : e->GetAugerPeaks())
            peaks += p.m_csRegion + m_csNewLine;
        CUGCell region = list;
        region.SetLabel(peaks.empty() ? m_csNewLine.c_str() : peaks.c_str());
        put(R::Region, region, r->GetRegion());
    }
    auto energy = [](double v) { return FormatPrintf("%.3f", v); };
    if (R::PeakMode(exp)) {
        put(R::Start, text, energy(r->m_dPeak));
        put(R::Finish, text, energy(r->m_dBk1));
        put(R::Step, text, r->m_dBk2 == 0 ? std::string() : energy(r->m_dBk2));
    } else {
        put(R::Start, text, energy(r->m_dStart));
        put(R::Finish, text, energy(r->m_dFinish));
        put(R::Step, text, energy(r->m_dStep));
    }
    put(R::Dwell, text, FormatPrintf("%g", r->m_dDwell));
    put(R::Scans, text, FormatPrintf("%i", r->m_nScans));
    put(R::Repeat, R::RepeatUsed(exp) ? text : label, FormatPrintf("%i", r->m_iRepeat));
    if (cma) {
        put(R::Pass, label, r->GetRetardRatio());
    } else {
        CUGCell pass = list;
        pass.SetLabel(LoadString(crr ? 1091 : 1090).c_str());
        put(R::Pass, pass, crr ? r->GetRetardRatio() : FormatPrintf("%g", r->m_dAnalyserEnergy));
    }
}

void CAcquireAES_RgnPage::AddColumn()
{
    const int exp = GetExpType();
    const int n = S().m_Rgn.NumRegions();
    m_Grid.SetColCount(std::max(nMinNumCols, n + 1));
    const auto [label, text, list] = CellLooks(m_Grid);
    auto put = [&](long row, CUGCell cell) {
        cell.SetText("");
        m_Grid.SetCell(n, row, &cell);
    };
    put(R::Element, list);
    CUGCell region = list;
    region.SetLabel(m_csNewLine.c_str());
    put(R::Region, region);
    for (long r : {long(R::Start), long(R::Finish), long(R::Step), long(R::Dwell), long(R::Scans)})
        put(r, text);
    put(R::Repeat, R::RepeatUsed(exp) ? text : label);
    if (S().m_Instr.cma) {
        put(R::Pass, label);
    } else {
        CUGCell pass = list;
        pass.SetLabel(LoadString(S().m_Rgn.m_iAnalyserMode ? 1091 : 1090).c_str());
        put(R::Pass, pass);
    }
}

// ---- Regions -----------------------------------------------------------------

void CAcquireAES_RgnPage::UpdateRegion(const CPkLibElement* element, int col, int peak)
{
    CAesRgnModel& rgn = S().m_Rgn;
    const bool appended = rgn.UpdateRegion(element, col, peak);
    const int at = std::min(col, rgn.NumRegions() - 1);
    if (at < 0)
        return;
    SetColumn(at, rgn.RegionAt(at));
    if (appended) {
        AddColumn();
        m_Grid.RedrawAll();
    } else {
        m_Grid.RedrawCol(at);
    }
}

void CAcquireAES_RgnPage::AddRegion(const CPkLibElement* element, int peak)
{
    UpdateRegion(element, S().m_Rgn.NumRegions(), peak);
}

void CAcquireAES_RgnPage::OnRegionDeleted(int index)
{
    m_Grid.DeleteCol(index);
    m_Grid.SetColCount(std::max(nMinNumCols, S().m_Rgn.NumRegions() + 1));
    // Columns that came into view at the right are blank.
    Refresh();
}

void CAcquireAES_RgnPage::DeleteRegion(int col)
{
    if (!S().m_Rgn.CanCut(col))
        return;
    S().m_Rgn.DeleteRegion(col);
    OnRegionDeleted(col);
}

void CAcquireAES_RgnPage::CopyToClipBoard(int col)
{
    unsigned format = 0;
    const std::vector<uint8_t> bytes = S().m_Rgn.CopyRegion(col, format);
    if (!bytes.empty() && !ClipFormat::Put(format, bytes))
        QApplication::beep();
}

void CAcquireAES_RgnPage::PasteFromClipBoard(int col)
{
    unsigned format = RegionClip::CF_NRWRGN;
    if (!ClipFormat::Has(format))
        format = RegionClip::CF_WDERGN;
    if (!ClipFormat::Has(format))
        return;
    const std::vector<uint8_t> bytes = ClipFormat::Get(format, RegionClip::ReadCap);
    if (!S().m_Rgn.PasteRegion(col, format, bytes.data(), bytes.size()))
        QApplication::beep();
    Refresh();
}

// ---- Table notifications -----------------------------------------------------

int CAcquireAES_RgnPage::OnCellTypeNotify(long id, int col, long row, long msg, long param)
{
    if (id != UGTYPE_DROPLIST)
        return 1;
    CAesRgnModel& rgn = S().m_Rgn;
    if (msg == CTN_OPEN) {
        if (row == R::Element && param) {
            auto& items = *reinterpret_cast<std::vector<std::string>*>(param);
            // The library may have been loaded after the page was made.
            if (m_csElementList.empty())
                if (const CPkLib* lib = AcqHost().pkLib)
                    lib->GetElementList(m_csElementList, m_csNewLine);
            items = Items(m_csElementList);
            if (rgn.OffersWide(col))
                items.push_back(rgn.GetWidescanRgn()->GetName());
        }
        return 1;
    }
    if (msg != CTN_SELECT)
        return 1;
    auto* box = m_Grid.GetDropListType()->GetListBox();
    const int chosen = box ? box->currentRow() : -1;
    const std::string item = param ? *reinterpret_cast<std::string*>(param) : std::string();
    const CPkLib* lib = AcqHost().pkLib;
    switch (row) {
    case R::Element: {
        const CPkLibElement* e = lib ? lib->GetElement(item) : nullptr;
        if (!e && (item != rgn.GetWidescanRgn()->GetName() || !rgn.OffersWide(col)))
            return 0;
        Later([this, e, col] { UpdateRegion(e, col, -1); });
        return 1;
    }
    case R::Region: {
        if (!lib || chosen < 0 || !rgn.ChoosePeak(*lib, col, chosen, item))
            return 0;
        Later([this, col] {
            if (const CRegion* r = S().m_Rgn.RegionAt(col)) {
                SetColumn(col, r);
                m_Grid.RedrawCol(col);
            }
        });
        return 1;
    }
    case R::Pass:
        return chosen >= 0 && rgn.ChoosePass(col, item) ? 1 : 0;
    default:
        return 1;
    }
}

int CAcquireAES_RgnPage::OnEditVerify(int, long row, CWnd* edit, UINT* key)
{
    // Energies take a decimal point; dwell, scans and repeat whole numbers.
    if (!IsPrintable(*key))
        return 1;
    const bool digit = *key >= '0' && *key <= '9';
    return digit ||
           (row >= R::Start && row <= R::Step && *key == '.' && AcqTable::KeyKeepsNumber(edit, *key));
}

int CAcquireAES_RgnPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    // However the edit ends (Enter, Escape, a click elsewhere), the value typed is the region's.
    CAesRgnModel& rgn = S().m_Rgn;
    const bool stored = rgn.RegionAt(col) != nullptr;
    if (stored)
        rgn.EditCell(col, int(row), text);
    if (cancelFlag)
        m_Grid.SetTextAt(col, row, text.c_str());
    if (!stored)
        return 1;
    Later([this, col] {
        if (const CRegion* r = S().m_Rgn.RegionAt(col); r && col < m_Grid.GetColCount()) {
            SetColumn(col, r);
            m_Grid.RedrawCol(col);
        }
    });
    return 1;
}

int CAcquireAES_RgnPage::OnMenuStart(int col, long, int section)
{
    const CAesRgnModel& rgn = S().m_Rgn;
    const bool cells = section == UG_SECTION_GRID;
    const bool narrow = ClipFormat::Has(RegionClip::CF_NRWRGN);
    const bool wide = ClipFormat::Has(RegionClip::CF_WDERGN);
    for (QAction* a : m_Grid.GetPopupMenu()->actions()) {
        bool on = false;
        switch (a->data().toInt()) {
        case ID_EDIT_CUT:
        case ID_EDIT_CLEAR:
            on = rgn.CanCut(col);
            break;
        case ID_EDIT_COPY:
            on = rgn.CanCopy(col);
            break;
        case ID_EDIT_PASTE:
            on = rgn.CanPaste(col, narrow, wide);
            break;
        default:
            break;
        }
        a->setEnabled(cells && on);
    }
    return 1;
}

void CAcquireAES_RgnPage::OnMenuCommand(int col, long, int section, int item)
{
    if (section != UG_SECTION_GRID)
        return;
    switch (item) {
    case ID_EDIT_COPY:
        CopyToClipBoard(col);
        break;
    case ID_EDIT_CUT:
        if (S().m_Rgn.CanCut(col)) {
            CopyToClipBoard(col);
            DeleteRegion(col);
        }
        break;
    case ID_EDIT_CLEAR:
        DeleteRegion(col);
        break;
    case ID_EDIT_PASTE:
        PasteFromClipBoard(col);
        break;
    default:
        break;
    }
}

// ---- Buttons -----------------------------------------------------------------

void CAcquireAES_RgnPage::OnPeriodicTable()
{
    CAesRgnModel& rgn = S().m_Rgn;
    if (!rgn.m_pRgnList || !AcqHost().pkLib)
        return;
    CAcquirePeriodicTable picker(
        this, rgn.m_pRgnList, AcqHost().pkLib, true,
        [this](const CPkLibElement* e, int peak) { AddRegion(e, peak); },
        [this](int i) { OnRegionDeleted(i); });
    QWidget* sheet = window();
    const bool hide = sheet != this;
    if (hide)
        sheet->hide();
    picker.DoModal();
    if (hide)
        sheet->show();
}

void CAcquireAES_RgnPage::OnModeBtn(int id)
{
    const int mode = id - 4290;
    if (mode != S().m_Rgn.m_iAnalyserMode) {
        S().m_Rgn.m_iAnalyserMode = mode;
        Refresh();
    }
}

void CAcquireAES_RgnPage::OnScanBtn(int id)
{
    const int mode = id - 4288;
    if (GetExpType() == CAcquireAES::Widescan)
        S().m_Rgn.m_iWidescanMode = mode;
    else
        S().m_Rgn.m_iNarrowscanMode = mode;
}
