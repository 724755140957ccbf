// The Stage, Profiling and Regions pages of the XPS sheet: the pages with a
// table. The stage and level tables edit one row at a time in a locked top
// row; the region table has one region per column.

#include "UGrid/UGDropListType.h"
#include "UGrid/UGEdit.h"
#include "acquire/core/LineChoice.h"
#include "acquire/core/RegionCheck.h"
#include "acquire/ui/AcqHost.h"
#include "acquire/ui/AcquireXPS.h"
#include "acquire/ui/GridHolder.h"
#include "acquire/ui/PeriodicTable.h"
#include "acquire/ui/RegionGrid.h"
#include "acquire/ui/TableHelpers.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/formats/PkLib.h"
#include "framework/ui/Guard.h"
#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "platform/Cp1252.h"
#include "platform/Strings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <cmath>
#include <cstdlib>

using namespace AcqTable;

// ---- Stage -----------------------------------------------------------------

static Looks s_stgLooks;

CAcquireXPS_StgPage::CAcquireXPS_StgPage() : CXpsPage(QStringLiteral(" Stage "))
{
    setObjectName(QStringLiteral("IDD_ACQ_XPSSTG"));
}

bool CAcquireXPS_StgPage::OnInitDialog()
{
    auto* groupBox = new QGroupBox(QStringLiteral("Groups"), this);
    auto* groupLayout = new QGridLayout(groupBox);
    m_list = new QListWidget(groupBox);
    m_list->setObjectName(QStringLiteral("IDC_ACQXPSSTG_GROUPLIST"));
    m_edit = new QLineEdit(groupBox);
    m_edit->setObjectName(QStringLiteral("IDC_ACQXPSSTG_GROUPEDIT"));
    m_add = new QPushButton(QStringLiteral("Add"), groupBox);
    m_add->setObjectName(QStringLiteral("IDC_ACQXPSSTG_ADD"));
    m_delete = new QPushButton(QStringLiteral("Delete"), groupBox);
    m_delete->setObjectName(QStringLiteral("IDC_ACQXPSSTG_DELETE"));
    for (QPushButton* b : {m_add, m_delete}) {
        b->setEnabled(false);
        b->setAutoDefault(false);
    }
    groupLayout->addWidget(m_list, 0, 0, 1, 2);
    groupLayout->addWidget(m_edit, 1, 0, 1, 2);
    groupLayout->addWidget(m_add, 2, 0);
    groupLayout->addWidget(m_delete, 2, 1);
    groupBox->setMaximumWidth(groupBox->fontMetrics().horizontalAdvance(QStringLiteral("M")) * 16);
    SafeConnect(m_edit, &QLineEdit::textChanged, this, [this](const QString&) { OnChangeGroupEdit(); });
    SafeConnect(m_list, &QListWidget::currentRowChanged, this, [this](int) { OnSelChangeGroupList(); });
    SafeConnect(m_add, &QPushButton::clicked, this, [this](bool) { OnAddButton(); });
    SafeConnect(m_delete, &QPushButton::clicked, this, [this](bool) { OnDeleteButton(); });

    auto* holder = new CGridHolder(this, "IDC_ACQXPSSTG_GRID", m_Grid);
    holder->onResize = [this] {
        if (m_Grid.GetColCount() == 4) {
            const int w = m_Grid.width() - m_Grid.GetVScrollWidth() - 2;
            const int each = std::max(m_Grid.fontMetrics().horizontalAdvance(QStringLiteral("00.000 ")),
                                      m_Grid.fontMetrics().horizontalAdvance(QStringLiteral("Comment"))) +
                             8;
            for (int c = 0; c < 3; ++c)
                m_Grid.SetColWidth(c, each);
            m_Grid.SetColWidth(3, std::max(each, w - 3 * each));
            m_Grid.RedrawAll();
        }
    };
    m_gridHolder = holder;
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(groupBox);
    layout->addWidget(holder, 1);

    SetUpGrid();
    OnSetActive();
    return true;
}

void CAcquireXPS_StgPage::SetUpGrid()
{
    SetUpEditRowGrid(m_Grid, 4, nMinNumRows);
    s_stgLooks.Make(m_Grid);
    static const unsigned headings[4] = {1129, 1130, 1132, 1131};
    for (int c = 0; c < 4; ++c)
        m_Grid.SetTextAt(c, -1, LoadString(headings[c]).c_str());
}

bool CAcquireXPS_StgPage::OnSetActive()
{
    if (!IsBuilt())
        return CXpsPage::OnSetActive();
    Refresh();
    return true;
}

void CAcquireXPS_StgPage::Refresh()
{
    const int exp = S().GetExpType(), move = S().GetMoveType();
    const bool groups =
        (exp != CAcquireXPS::Widescan && exp != CAcquireXPS::Image) || move == CAcquireXPS::Rotary;
    m_list->blockSignals(true);
    m_list->clear();
    for (const auto& g : S().m_Stg.GetGroups())
        m_list->addItem(Q(g->GetName()));
    m_list->setCurrentRow(-1);
    m_list->blockSignals(false);
    m_list->setEnabled(groups);
    m_edit->setEnabled(groups);
    m_delete->setEnabled(false);
    UpdateGrid();
}

bool CAcquireXPS_StgPage::GroupCellLocked() const
{
    return S().GetExpType() == CAcquireXPS::Widescan && S().GetMoveType() != CAcquireXPS::Rotary;
}

void CAcquireXPS_StgPage::UpdateGrid()
{
    const int exp = S().GetExpType(), move = S().GetMoveType();
    const Looks& L = s_stgLooks;
    const bool planar = move == CAcquireXPS::Planar;
    m_Grid.SetTextAt(0, -1, LoadString(planar ? 1133 : 1129).c_str());
    m_Grid.SetTextAt(1, -1, LoadString(planar ? 1134 : 1130).c_str());
    if (exp == CAcquireXPS::Image || move == CAcquireXPS::None || move < 0 || move > 5) {
        m_Grid.SetRowCount(nMinNumRows);
        for (long r = 0; r < nMinNumRows; ++r)
            for (int c = 0; c < 4; ++c)
                Put(m_Grid, c, r, L.grey, "");
        m_Grid.RedrawAll();
        return;
    }
    auto& list = S().m_Stg.m_GridData[move];
    const long n = long(list.size());
    int& s = S().m_Stg.m_iSelectedRow[move];
    s = std::clamp(s, 1, std::max(1, int(n)));
    m_Grid.SetRowCount(std::max<long>(n + 2, nMinNumRows));
    const bool locked = GroupCellLocked();
    const std::string def = LoadString(1139);
    auto text = [&](const CAcquireXPS_Stg::CGridRow& row, long i, int c) -> std::string {
        switch (c) {
        case 0:
            return G(row.m_dFirst);
        case 1:
            return G(row.m_dLast);
        case 2:
            if (locked)
                return i == n ? std::string() : def;
            return row.m_dFirst != NotValid && row.m_dLast != NotValid && !IsEmptyText(row.m_csGroup)
                       ? row.m_csGroup
                       : std::string();
        default:
            return IsEmptyText(row.m_csComment) ? std::string() : row.m_csComment;
        }
    };
    for (long i = 1; i <= n; ++i)
        for (int c = 0; c < 4; ++c)
            Put(m_Grid, c, i, i == s ? L.sel : L.grey, text(list[size_t(i - 1)], i, c));
    for (long i = n + 1; i < m_Grid.GetRowCount(); ++i)
        for (int c = 0; c < 4; ++c)
            Put(m_Grid, c, i, L.empty, "");
    const CAcquireXPS_Stg::CGridRow& sel = list[size_t(s - 1)];
    for (int c = 0; c < 4; ++c) {
        if (c == 2) {
            CUGCell cell = locked ? L.grey : L.list;
            const std::string items = S().m_Stg.GroupNames();
            cell.SetLabel(items.c_str());
            cell.SetText((IsEmptyText(sel.m_csGroup) ? std::string() : sel.m_csGroup).c_str());
            if (locked)
                cell.SetText(s == n ? "" : def.c_str());
            m_Grid.SetCell(c, 0, &cell);
        } else {
            Put(m_Grid, c, 0, L.edit, text(sel, s, c));
        }
    }
    m_Grid.RedrawAll();
}

bool CAcquireXPS_StgPage::SelectRow(long row)
{
    if (!S().m_Stg.SelectRow(S().GetMoveType(), int(row)))
        return false;
    UpdateGrid();
    return true;
}

void CAcquireXPS_StgPage::OnLClicked(int col, long row, int pressed, RECT*, POINT*, int processed)
{
    if (!pressed || col < 0 || row < 0 || processed)
        return;
    const int move = S().GetMoveType();
    if (move == CAcquireXPS::None || S().GetExpType() == CAcquireXPS::Image)
        return;
    if (row != 0 && !SelectRow(row))
        return;
    if (col != 2)
        m_Grid.StartEditCell(col, 0, 0);
}

int CAcquireXPS_StgPage::OnEditStart(int, long, CWnd**)
{
    const int move = S().GetMoveType();
    if (move <= CAcquireXPS::None || move > 5)
        return 0;
    m_GridCopy = S().m_Stg.m_GridData[move];
    return 1;
}

int CAcquireXPS_StgPage::OnEditVerify(int col, long, CWnd* edit, UINT* key)
{
    const int move = S().GetMoveType();
    if (*key == 27) {
        if (move > 0 && move < 6)
            S().m_Stg.m_GridData[move] = m_GridCopy;
        UpdateGrid();
        return 1;
    }
    if (col >= 2 || !IsPrintable(*key))
        return 1;
    if (EditorLength(edit) >= 8)
        return 0;
    return (*key >= '0' && *key <= '9') ||
           (*key == '.' && move == CAcquireXPS::Planar && KeyKeepsNumber(edit, *key));
}

int CAcquireXPS_StgPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    if (cancelFlag)
        m_Grid.SetTextAt(col, row, text.c_str());
    S().m_Stg.CommitEdit(S().GetMoveType(), col, Cp(QString::fromStdString(text)));
    UpdateGrid();
    return 1;
}

int CAcquireXPS_StgPage::OnEditContinue(int oldcol, long, int* newcol, long* newrow)
{
    const int move = S().GetMoveType();
    if (move <= 0 || move > 5)
        return 1;
    auto next = [this, move] {
        const int s = S().m_Stg.m_iSelectedRow[move];
        if (!SelectRow(s + 1))
            SelectRow(1);
    };
    auto prev = [this, move] {
        const int s = S().m_Stg.m_iSelectedRow[move];
        if (s <= 1 || !SelectRow(s - 1))
            SelectRow(long(S().m_Stg.m_GridData[move].size()));
    };
    const bool skip2 = GroupCellLocked();
    const long last = m_Grid.GetRowCount() - 1;
    int col = *newcol;
    if (*newrow == 0 && oldcol == 3 && col == 0) {
        next();
    } else if (*newrow == 0 && oldcol == 0 && col == 3) {
        prev();
    } else if (*newrow == 1) {
        col = oldcol == 3 ? 0 : oldcol + 1;
        if (oldcol == 3)
            next();
    } else if (*newrow == last) {
        col = oldcol == 0 ? 3 : oldcol - 1;
        if (oldcol == 0)
            prev();
    } else {
        return 1;
    }
    // The group column is chosen from its drop-down list, never typed.
    (void)skip2;
    if (col == 2)
        col = oldcol < 2 ? 3 : 1;
    *newcol = col;
    *newrow = 0;
    return 1;
}

int CAcquireXPS_StgPage::OnCellTypeNotify(long id, int, long, long msg, long)
{
    if (id != UGTYPE_DROPLIST || msg != CTN_SELECT)
        return 1;
    const int move = S().GetMoveType();
    if (move <= 0 || move > 5)
        return 1;
    auto* box = m_Grid.GetDropListType()->GetListBox();
    if (!box || !box->currentItem())
        return 0;
    S().m_Stg.CommitEdit(move, 2, Cp(box->currentItem()->text()));
    QMetaObject::invokeMethod(
        this, [this] { UpdateGrid(); }, Qt::QueuedConnection);
    return 1;
}

void CAcquireXPS_StgPage::OnChangeGroupEdit()
{
    const QString text = m_edit->text();
    bool ok = !text.isEmpty();
    for (QChar c : text)
        if (!c.isPrint())
            ok = false;
    if (ok && S().m_Stg.FindGroupIndex(Cp(text)) >= 0)
        ok = false;
    m_add->setEnabled(ok);
}

void CAcquireXPS_StgPage::OnSelChangeGroupList()
{
    const int k = m_list->currentRow();
    if (k < 0)
        return;
    m_edit->setText(m_list->item(k)->text());
    m_delete->setEnabled(k > 0);
    S().SetCurGroup(k);
}

void CAcquireXPS_StgPage::OnAddButton()
{
    const std::string name = Cp(m_edit->text());
    if (name.empty() || S().m_Stg.FindGroupIndex(name) >= 0)
        return;
    S().m_Stg.AddGroup(name);
    m_list->addItem(m_edit->text());
    m_add->setEnabled(false);
    UpdateGrid();
}

void CAcquireXPS_StgPage::OnDeleteButton()
{
    const int k = m_list->currentRow();
    if (k <= 0)
        return;
    S().m_Stg.DeleteGroup(size_t(k), S().m_Rgn.GetWidescanRgn());
    S().SetCurGroup(k - 1);
    m_list->blockSignals(true);
    delete m_list->takeItem(k);
    m_list->setCurrentRow(k - 1);
    m_list->blockSignals(false);
    m_edit->setText(m_list->item(k - 1)->text());
    m_delete->setEnabled(k - 1 > 0);
    OnChangeGroupEdit();
    UpdateGrid();
}

// ---- Profiling -------------------------------------------------------------

CAcquireXPS_PrfPage::CAcquireXPS_PrfPage() : CXpsPage(QStringLiteral(" Profiling "))
{
    setObjectName(QStringLiteral("IDD_ACQ_XPSPRF"));
}

bool CAcquireXPS_PrfPage::OnInitDialog()
{
    S().m_Prf.Init(S().m_Instr);
    auto* control = new QGroupBox(QStringLiteral("Control"), this);
    auto* controlLayout = new QVBoxLayout(control);
    m_manual = new QCheckBox(QStringLiteral("Manual"), control);
    m_manual->setObjectName(QStringLiteral("IDC_ACQXPSPRF_MAN"));
    controlLayout->addWidget(m_manual);

    auto* gun = new QGroupBox(QStringLiteral("Ion gun"), this);
    auto* gunGrid = new QGridLayout(gun);
    m_mied = new QRadioButton(QStringLiteral("MIED"), gun);
    m_mied->setObjectName(QStringLiteral("IDC_ACQXPSPRF_MIED"));
    m_hsig = new QRadioButton(QStringLiteral("HSIG"), gun);
    m_hsig->setObjectName(QStringLiteral("IDC_ACQXPSPRF_HSIG"));
    auto* guns = new QButtonGroup(gun);
    guns->addButton(m_mied, 0);
    guns->addButton(m_hsig, 1);
    m_preset = new QComboBox(gun);
    m_preset->setObjectName(QStringLiteral("IDC_ACQXPSPRF_PRESET"));
    for (int i = 0; i <= 7; ++i)
        m_preset->addItem(QString::number(i));
    m_duty = new QComboBox(gun);
    m_duty->setObjectName(QStringLiteral("IDC_ACQXPSPRF_DUTY"));
    for (int i = 1; i <= 10; ++i)
        m_duty->addItem(QString::number(i));
    gunGrid->addWidget(m_mied, 0, 0);
    gunGrid->addWidget(m_hsig, 1, 0);
    gunGrid->addWidget(new QLabel(QStringLiteral("Preset"), gun), 0, 1);
    gunGrid->addWidget(m_preset, 0, 2);
    gunGrid->addWidget(new QLabel(QStringLiteral("Duty cycle"), gun), 1, 1);
    gunGrid->addWidget(m_duty, 1, 2);

    auto* groupBox = new QGroupBox(QStringLiteral("Group"), this);
    auto* groupLayout = new QVBoxLayout(groupBox);
    m_group = new QComboBox(groupBox);
    m_group->setObjectName(QStringLiteral("IDC_ACQXPSPRF_GRP"));
    groupLayout->addWidget(m_group);

    QGroupBox* totals = m_table.MakeTotals(this, "IDC_ACQXPSPRF_LEVELS", "IDC_ACQXPSPRF_TIME");

    auto* scan = new QGroupBox(QStringLiteral("Scan"), this);
    auto* scanLayout = new QVBoxLayout(scan);
    m_fast = new QCheckBox(QStringLiteral("Fast"), scan);
    m_fast->setObjectName(QStringLiteral("IDC_ACQXPSPRF_FASTSCAN"));
    scanLayout->addWidget(m_fast);

    auto* left = new QVBoxLayout;
    left->addWidget(control);
    left->addWidget(gun);
    left->addWidget(groupBox);
    left->addWidget(totals);
    left->addWidget(scan);
    left->addStretch(1);
    CGridHolder* holder = m_table.MakeHolder(this, "IDC_ACQXPSPRF_GRID");
    m_gridHolder = holder;
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(holder, 1);

    SafeConnect(m_manual, &QCheckBox::clicked, this, [this](bool on) {
        S().m_Prf.m_bManual = on ? 1 : 0;
        SetIonGunControls();
    });
    SafeConnect(m_mied, &QRadioButton::clicked, this, [this](bool) {
        S().m_Prf.m_iGun = 0;
        SetIonGunControls();
    });
    SafeConnect(m_hsig, &QRadioButton::clicked, this, [this](bool) {
        S().m_Prf.m_iGun = 1;
        SetIonGunControls();
    });
    SafeConnect(m_fast, &QCheckBox::clicked, this, [this](bool on) { S().m_Prf.m_bFastScan = on ? 1 : 0; });
    SafeConnect(m_preset, QOverload<int>::of(&QComboBox::activated), this,
                [this](int i) { S().m_Prf.m_iPreset = i; });
    SafeConnect(m_duty, QOverload<int>::of(&QComboBox::activated), this,
                [this](int i) { S().m_Prf.m_iDuty = i; });
    SafeConnect(m_group, QOverload<int>::of(&QComboBox::activated), this, [this](int) { OnGroupCloseUp(); });

    m_table.source = [this] {
        CLevelTableGrid::Source src;
        const int m = S().ProfileIndex();
        if (m >= 0) {
            auto* profile = S().CurGroup()->GetProfile();
            src.list = profile->GetLevelList(m);
            src.selRow = &profile->SelectedRow(m);
            src.zeroBecomesOne = src.selectable = m == CAcquireProfile::DepthProfile;
        }
        return src;
    };
    m_table.totals = [](const CLevelList& list, const CLevelTableGrid::Source& src) {
        const bool depth = src.zeroBecomesOne;
        const auto t = LevelTable::Compute(list, depth);
        return CLevelTableGrid::TotalsText{QString::number(t.levels),
                                           depth ? QString::fromStdString(FormatG(t.time)) : QString()};
    };
    m_table.acceptsKey = [this](int col, UINT key) {
        const bool dot = key == '.', minus = key == '-';
        switch (S().ProfileIndex()) {
        case CAcquireProfile::AngleResolved:
            return (S().m_Instr.status & 8) && ((dot && col == 2) || (minus && col < 2));
        case CAcquireProfile::TotalReflection:
            return (dot && col == 2) || ((dot || minus) && col < 2);
        case CAcquireProfile::Rotary:
            return dot || minus;
        default:
            return false;
        }
    };
    m_table.SetUp();
    Refresh();
    return true;
}

void CAcquireXPS_PrfPage::DoDataExchange(CDataExchange*) {}

bool CAcquireXPS_PrfPage::OnSetActive()
{
    if (!IsBuilt())
        return CXpsPage::OnSetActive();
    Refresh();
    return true;
}

void CAcquireXPS_PrfPage::SetIonGunControls()
{
    const CXpsPrfModel& p = S().m_Prf;
    const SXpsInstrument& in = S().m_Instr;
    m_manual->setChecked(p.m_bManual != 0);
    m_mied->setChecked(p.m_iGun == 0);
    m_hsig->setChecked(p.m_iGun == 1);
    m_preset->setCurrentIndex(p.m_iPreset);
    m_duty->setCurrentIndex(p.m_iDuty);
    if (S().GetExpType() != CAcquireXPS::DepthProfile) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_mied, m_hsig, m_preset, m_duty, m_manual})
            w->setEnabled(false);
        return;
    }
    const bool miedExists = in.dauMIED || (in.ascuGuns & 1);
    const bool hsigExists = (in.ascuGuns & 2) != 0;
    if (p.m_bManual) {
        m_mied->setEnabled(true);
        m_hsig->setEnabled(true);
        m_manual->setEnabled(p.m_iGun == 1 ? hsigExists : miedExists);
    } else {
        m_manual->setEnabled(in.dauMIED || in.ascuGuns != 0);
        m_mied->setEnabled(miedExists);
        m_hsig->setEnabled(hsigExists);
    }
    m_preset->setEnabled(p.m_iGun == 1);
    m_duty->setEnabled(p.m_iGun == 1);
}

void CAcquireXPS_PrfPage::Refresh()
{
    const int exp = S().GetExpType();
    const int m = S().ProfileIndex();
    SetIonGunControls();
    m_fast->setEnabled(exp == CAcquireXPS::DepthProfile || exp == CAcquireXPS::AngleResolved ||
                       exp == CAcquireXPS::TotalReflection || S().GetMoveType() == CAcquireXPS::Rotary);
    m_fast->setChecked(S().m_Prf.m_bFastScan != 0);
    m_Grid.setVisible(m >= 0);
    m_group->clear();
    for (const auto& g : S().m_Stg.GetGroups())
        m_group->addItem(Q(g->GetName()));
    S().CurGroup();
    m_group->setCurrentIndex(S().m_iGroup);
    m_group->setEnabled(m >= 0 || exp == CAcquireXPS::Narrowscan);
    if (m >= 0) {
        const bool depth = m == CAcquireProfile::DepthProfile;
        const unsigned h[3] = {depth ? 1140u : 1144u, 1141u, depth ? 1142u : 1143u};
        for (int c = 0; c < 3; ++c)
            m_Grid.SetTextAt(c, -1, LoadString(h[c]).c_str());
    }
    UpdateGrid();
}

void CAcquireXPS_PrfPage::UpdateGrid()
{
    m_table.Update();
}

void CAcquireXPS_PrfPage::OnLClicked(int col, long row, int pressed, RECT*, POINT*, int processed)
{
    m_table.OnLClicked(col, row, pressed, processed);
}

int CAcquireXPS_PrfPage::OnEditStart(int, long, CWnd**)
{
    return m_table.OnEditStart();
}

int CAcquireXPS_PrfPage::OnEditVerify(int col, long, CWnd* edit, UINT* key)
{
    return m_table.OnEditVerify(col, edit, key);
}

int CAcquireXPS_PrfPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    return m_table.OnEditFinish(col, row, text, cancelFlag);
}

int CAcquireXPS_PrfPage::OnEditContinue(int oldcol, long, int* newcol, long* newrow)
{
    return m_table.OnEditContinue(oldcol, newcol, newrow);
}

void CAcquireXPS_PrfPage::OnGroupCloseUp()
{
    const int k = m_group->currentIndex();
    if (k < 0 || k == S().m_iGroup)
        return;
    S().SetCurGroup(k);
    UpdateGrid();
}

// ---- Regions ---------------------------------------------------------------

CAcquireXPS_RgnPage::CAcquireXPS_RgnPage() : CXpsPage(QStringLiteral(" Regions "))
{
    setObjectName(QStringLiteral("IDD_ACQ_XPSRGN"));
}

bool CAcquireXPS_RgnPage::OnInitDialog()
{
    auto* groupBox = new QGroupBox(QStringLiteral("Group:"), this);
    auto* groupLayout = new QVBoxLayout(groupBox);
    m_group = new QComboBox(groupBox);
    m_group->setObjectName(QStringLiteral("id_4088"));
    m_group->setMinimumContentsLength(10);
    groupLayout->addWidget(m_group);
    auto* scanBox = new QGroupBox(QStringLiteral("Scan"), this);
    auto* scanLayout = new QHBoxLayout(scanBox);
    auto* modeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto* modeLayout = new QHBoxLayout(modeBox);
    auto* scans = new QButtonGroup(scanBox);
    auto* modes = new QButtonGroup(modeBox);
    for (int i = 0; i < 2; ++i) {
        m_scan[i] = new QRadioButton(scanBox);
        m_scan[i]->setObjectName(QStringLiteral("id_%1").arg(4089 + i));
        scanLayout->addWidget(m_scan[i]);
        scans->addButton(m_scan[i], i);
        m_mode[i] = new QRadioButton(i == 0 ? QStringLiteral("CAE") : QStringLiteral("CRR"), modeBox);
        m_mode[i]->setObjectName(QStringLiteral("id_%1").arg(4091 + i));
        // A crowded row squeezes the other widgets, never a choice's text.
        m_scan[i]->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        m_mode[i]->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        modeLayout->addWidget(m_mode[i]);
        modes->addButton(m_mode[i], i);
        SafeConnect(m_scan[i], &QRadioButton::clicked, this, [this, i](bool) {
            if (S().GetExpType() == CAcquireXPS::Widescan)
                S().m_Rgn.m_iWidescanMode = i;
            else
                S().m_Rgn.m_iNarrowscanMode = i;
        });
        SafeConnect(m_mode[i], &QRadioButton::clicked, this, [this, i](bool) {
            if (S().m_Rgn.m_iAnalyserMode != i) {
                S().m_Rgn.m_iAnalyserMode = i;
                Refresh();
            }
        });
    }
    m_periodic = new QPushButton(QStringLiteral("&Periodic Table..."), this);
    m_periodic->setObjectName(QStringLiteral("id_4093"));
    m_periodic->setAutoDefault(false);
    SafeConnect(m_periodic, &QPushButton::clicked, this, [this](bool) { OnPeriodicTable(); });
    SafeConnect(m_group, QOverload<int>::of(&QComboBox::activated), this, [this](int k) {
        if (k >= 0 && k != S().m_iGroup) {
            S().SetCurGroup(k);
            Refresh();
        }
    });
    auto* top = new QHBoxLayout;
    top->addWidget(groupBox);
    top->addWidget(scanBox);
    top->addWidget(modeBox);
    top->addStretch(1);
    top->addWidget(m_periodic, 0, Qt::AlignBottom);

    CGridHolder* holder = RegionGrid::Place(this, "id_4095", m_Grid, top, nMinNumCols);
    m_gridHolder = holder;
    RegionGrid::SetUp(m_Grid, holder, nMinNumCols, 6);

    m_csElementList.clear();
    if (const CPkLib* lib = AcqHost().pkLib)
        lib->GetElementList(m_csElementList, "\n");
    if (!m_csElementList.empty() && m_csElementList.back() != '\n')
        m_csElementList += "\n";
    m_csElementList += S().m_Rgn.GetWidescanRgn()->GetName() + "\n";
    Refresh();
    return true;
}

bool CAcquireXPS_RgnPage::OnSetActive()
{
    if (!IsBuilt())
        return CXpsPage::OnSetActive();
    Refresh();
    return true;
}

double CAcquireXPS_RgnPage::Shown(double ke) const
{
    const int unit = AcqHost().xpsUnit ? AcqHost().xpsUnit() : CSource::KE;
    return CSource(&S().m_Src)
        .ConvertEnergy(ke, CSource::KE, unit == CSource::BE ? CSource::BE : CSource::KE);
}

double CAcquireXPS_RgnPage::Stored(double shown) const
{
    const int unit = AcqHost().xpsUnit ? AcqHost().xpsUnit() : CSource::KE;
    return TruncEnergy(
        CSource(&S().m_Src)
            .ConvertEnergy(shown, unit == CSource::BE ? CSource::BE : CSource::KE, CSource::KE));
}

void CAcquireXPS_RgnPage::Refresh()
{
    const int exp = S().GetExpType();
    const bool wide = exp == CAcquireXPS::Widescan;
    CXpsRgnModel& rgn = S().m_Rgn;
    m_scan[0]->setText(QString::fromStdString(LoadString(wide ? 1154 : 1155)));
    m_scan[1]->setText(QString::fromStdString(LoadString(wide ? 1153 : 1156)));
    m_scan[(wide ? rgn.m_iWidescanMode : rgn.m_iNarrowscanMode) ? 1 : 0]->setChecked(true);
    m_mode[rgn.m_iAnalyserMode ? 1 : 0]->setChecked(true);
    m_periodic->setEnabled(!wide);
    m_group->clear();
    for (const auto& g : S().m_Stg.GetGroups())
        m_group->addItem(Q(g->GetName()));
    S().CurGroup();
    m_group->setCurrentIndex(S().m_iGroup);
    m_group->setEnabled(!wide && exp != CAcquireXPS::Image);
    const bool peak = S().PeakMode();
    const unsigned labels[9] = {
        1120, 1121, peak ? 1145u : 1122u, peak ? 1146u : 1123u, peak ? 1147u : 1124u, 1125, 1126, 1127, 1128};
    for (int r = 0; r < 9; ++r)
        m_Grid.SetTextAt(-1, r, LoadString(labels[r]).c_str());
    m_pRgnList = S().CurRegions();
    ShowTable();
}

void CAcquireXPS_RgnPage::ShowTable()
{
    const int n = int(m_pRgnList->size());
    const int cols = std::max(nMinNumCols, n + 1);
    m_Grid.SetColCount(cols);
    for (int c = 0; c < cols; ++c)
        FillColumn(c);
    RegionGrid::SizeColumns(m_Grid, nMinNumCols);
    m_Grid.RedrawAll();
}

void CAcquireXPS_RgnPage::FillColumn(int col)
{
    const int exp = S().GetExpType();
    const bool wideExp = exp == CAcquireXPS::Widescan;
    const bool peak = S().PeakMode();
    const int n = int(m_pRgnList->size());
    CUGCell base;
    m_Grid.GetGridDefault(&base);
    CUGCell text = base;
    text.SetReadOnly(0);
    text.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    CUGCell list = base;
    list.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    list.SetCellType(UGTYPE_DROPLIST);
    list.SetCellTypeParam(0x200);
    const bool repeatLocked = wideExp || exp == CAcquireXPS::Image;
    const bool cae = S().m_Rgn.m_iAnalyserMode == 0;
    const std::string passItems = LoadString(cae ? 1090 : 1091);
    auto put = [&](long row, CUGCell cell, const std::string& s) {
        cell.SetText(s.c_str());
        m_Grid.SetCell(col, row, &cell);
    };
    if (col > n || (col == n && wideExp)) {
        for (long r = 0; r < 9; ++r)
            put(r, base, "");
        return;
    }
    CUGCell repeat = repeatLocked ? base : text;
    if (col == n) {
        CUGCell element = list;
        element.SetLabel(m_csElementList.c_str());
        put(Element, element, "");
        CUGCell region = list;
        region.SetLabel("\n");
        put(Region, region, "");
        for (long r : {long(Start), long(Finish), long(Step), long(Dwell), long(Scans)})
            put(r, text, "");
        put(Repeat, repeat, "");
        CUGCell pass = list;
        pass.SetLabel(passItems.c_str());
        put(Pass, pass, "");
        return;
    }
    const CRegion* r = (*m_pRgnList)[size_t(col)];
    const bool isWide = r == S().m_Rgn.GetWidescanRgn();
    if (wideExp) {
        put(Element, base, r->GetName());
        put(Region, base, "");
    } else if (isWide) {
        // An element chosen here makes a region of its own in this column.
        CUGCell element = list;
        element.SetLabel(m_csElementList.c_str());
        put(Element, element, r->GetName());
        put(Region, base, "");
    } else {
        CUGCell element = list;
        element.SetLabel(m_csElementList.c_str());
        put(Element, element, r->GetName());
        std::string peaks;
        const CPkLibElement* e = AcqHost().pkLib ? AcqHost().pkLib->GetElement(r->GetName()) : nullptr;
        if (e)
            for (int i = 0; i < e->GetNumPhotoPeaks() + e->GetNumAugerPeaks(); ++i)
                peaks += e->GetPeak(i)->m_csRegion + "\n";
        CUGCell region = list;
        region.SetLabel(peaks.empty() ? "\n" : peaks.c_str());
        put(Region, region, r->GetRegion());
    }
    auto energy = [this](double ke) { return FormatPrintf("%.3f", Shown(ke)); };
    if (peak && !isWide) {
        put(Start, text, energy(r->m_dPeak));
        put(Finish, text, r->m_dBk1 == 0 ? std::string() : energy(r->m_dBk1));
        put(Step, text, r->m_dBk2 == 0 ? std::string() : energy(r->m_dBk2));
    } else {
        put(Start, text, energy(r->m_dStart));
        put(Finish, text, energy(r->m_dFinish));
        put(Step, text, FormatPrintf("%.3f", r->m_dStep));
    }
    put(Dwell, text, FormatPrintf("%g", r->m_dDwell));
    put(Scans, text, FormatPrintf("%i", r->m_nScans));
    put(Repeat, repeat, FormatPrintf("%i", r->m_iRepeat));
    CUGCell pass = list;
    pass.SetLabel(passItems.c_str());
    put(Pass, pass, cae ? FormatPrintf("%g", r->m_dAnalyserEnergy) : r->m_csRetardRatio);
}

void CAcquireXPS_RgnPage::AddColumn()
{
    const int n = int(m_pRgnList->size());
    m_Grid.SetColCount(std::max(nMinNumCols, n + 1));
    FillColumn(n);
}

void CAcquireXPS_RgnPage::UpdateRegion(const CPkLibElement* element, int column, int peak)
{
    std::vector<CRegion*>& list = *m_pRgnList;
    CRegion* wide = S().m_Rgn.GetWidescanRgn();
    const int n = int(list.size());
    if (!element) {
        if (column < n && list[size_t(column)] != wide) {
            delete list[size_t(column)];
            list[size_t(column)] = wide;
        } else if (column >= n) {
            list.push_back(wide);
        }
        ShowTable();
        return;
    }
    const int total = element->GetNumPhotoPeaks() + element->GetNumAugerPeaks();
    if (total == 0)
        return;
    CRegion* r = nullptr;
    bool fresh = false;
    if (column < n && list[size_t(column)] != wide) {
        r = list[size_t(column)];
    } else {
        // A new region, also in a column that held the shared wide-scan
        // region: an element must never rename that region in every list.
        r = new CRegion;
        fresh = true;
        r->m_dStep = 0.1;
        r->m_dDwell = 100;
        r->m_nScans = 1;
        r->m_iRepeat = 1;
        r->m_dAnalyserEnergy = 10;
        r->m_csRetardRatio = "High";
        r->m_dBk1 = 1;
        r->m_dBk2 = 1;
    }
    // An element chosen alone gets a line the source can excite: the
    // default line of some elements lies beyond a Mg anode's photons.
    const double photon = S().m_Src.m_dEnergy;
    const int index = peak >= 0 && peak < total ? peak : ProposedXpsLine(*element, S().m_Src.m_iType, photon);
    const CPkLibPeak* p = element->GetPeak(index);
    r->m_csName = element->GetSymbol();
    r->m_csRegion = p->m_csRegion;
    r->m_iRegion = index;
    PlaceLineWindow(*r, LineKineticEnergy(*p, photon), true);
    if (fresh) {
        if (column < n)
            list[size_t(column)] = r;
        else
            list.push_back(r);
    }
    ShowTable();
}

void CAcquireXPS_RgnPage::AddRegion(const CPkLibElement* element, int peak)
{
    UpdateRegion(element, int(m_pRgnList->size()), peak);
}

void CAcquireXPS_RgnPage::OnRegionDeleted(int)
{
    ShowTable();
}

int CAcquireXPS_RgnPage::OnCellTypeNotify(long id, int col, long row, long msg, long)
{
    if (id != UGTYPE_DROPLIST || msg != CTN_SELECT)
        return 1;
    auto* box = m_Grid.GetDropListType()->GetListBox();
    const int chosen = box ? box->currentRow() : -1;
    const std::string item = box && box->currentItem() ? Cp(box->currentItem()->text()) : std::string();
    const CPkLib* lib = AcqHost().pkLib;
    const int n = int(m_pRgnList->size());
    switch (row) {
    case Element: {
        const CPkLibElement* e = lib ? lib->GetElement(item) : nullptr;
        if (!e && item != S().m_Rgn.GetWidescanRgn()->GetName())
            return 0;
        QMetaObject::invokeMethod(
            this, [this, e, col] { UpdateRegion(e, col, -1); }, Qt::QueuedConnection);
        return 1;
    }
    case Region: {
        if (col >= n || chosen < 0 || !lib)
            return 0;
        const CPkLibElement* e = lib->GetElement((*m_pRgnList)[size_t(col)]->GetName());
        if (!e)
            return 0;
        QMetaObject::invokeMethod(
            this, [this, e, col, chosen] { UpdateRegion(e, col, chosen); }, Qt::QueuedConnection);
        return 1;
    }
    case Pass: {
        if (col >= n || item.empty())
            return 0;
        CRegion* r = (*m_pRgnList)[size_t(col)];
        if (S().m_Rgn.m_iAnalyserMode == 1)
            r->m_csRetardRatio = item;
        else
            r->m_dAnalyserEnergy = std::atof(item.c_str());
        return 1;
    }
    default:
        return 1;
    }
}

int CAcquireXPS_RgnPage::OnEditVerify(int, long row, CWnd* edit, UINT* key)
{
    // Numbers only; decimals in energies and dwell (the step takes 0.5), but
    // scans and repeats are whole: "2.5" scans would be cut to 2.
    if (!IsPrintable(*key))
        return 1;
    return (*key >= '0' && *key <= '9') ||
           (*key == '.' && row != Scans && row != Repeat && KeyKeepsNumber(edit, *key));
}

int CAcquireXPS_RgnPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    if (cancelFlag)
        m_Grid.SetTextAt(col, row, text.c_str());
    if (col < 0 || col >= int(m_pRgnList->size()))
        return 1;
    // However the edit ends (Enter, Tab, a click elsewhere, Start), the
    // value typed is the region's.
    CRegion* r = (*m_pRgnList)[size_t(col)];
    const bool peak = S().PeakMode() && r != S().m_Rgn.GetWidescanRgn();
    const std::string t = Cp(QString::fromStdString(text).trimmed());
    const double v = std::atof(t.c_str());
    switch (row) {
    case Start:
        (peak ? r->m_dPeak : r->m_dStart) = Stored(v);
        break;
    case Finish:
        if (peak)
            r->m_dBk1 = t.empty() ? 0.0 : Stored(v);
        else
            r->m_dFinish = Stored(v);
        break;
    case Step:
        if (peak)
            r->m_dBk2 = t.empty() ? 0.0 : Stored(v);
        else
            r->m_dStep = TruncEnergy(v);
        break;
    case Dwell:
        r->m_dDwell = v;
        break;
    case Scans:
        r->m_nScans = ParseCount(t);
        break;
    case Repeat:
        r->m_iRepeat = ParseCount(t);
        break;
    default:
        return 1;
    }
    QMetaObject::invokeMethod(
        this,
        [this, col] {
            if (col < m_Grid.GetColCount()) {
                FillColumn(col);
                m_Grid.RedrawCol(col);
            }
        },
        Qt::QueuedConnection);
    return 1;
}

void CAcquireXPS_RgnPage::OnPeriodicTable()
{
    CAcquirePeriodicTable picker(
        this, m_pRgnList, AcqHost().pkLib, false,
        [this](const CPkLibElement* e, int peak) { AddRegion(e, peak); },
        [this](int i) { OnRegionDeleted(i); });
    QWidget* sheet = window();
    sheet->hide();
    picker.DoModal();
    sheet->show();
}
