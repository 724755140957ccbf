#include "acquire/ui/AesPrfPage.h"

#include "acquire/ui/AcquireAES.h"
#include "acquire/ui/TableHelpers.h"
#include "framework/ui/Guard.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace AcqTable;

static Looks s_aesPrfLooks;

CAcquireAES_PrfPage::CAcquireAES_PrfPage(QWidget*) : CAesPage(QStringLiteral("Profiling"))
{
    setObjectName(QStringLiteral("IDD_ACQ_AESPRF"));
}

bool CAcquireAES_PrfPage::OnInitDialog()
{
    auto* control = new QGroupBox(QStringLiteral("Control"), this);
    auto* controlLayout = new QVBoxLayout(control);
    m_rotate = new QCheckBox(QStringLiteral("Rotate"), control);
    m_rotate->setObjectName(QStringLiteral("IDC_ACQAESPRF_ROTATE"));
    m_manual = new QCheckBox(QStringLiteral("Manual Etch"), control);
    m_manual->setObjectName(QStringLiteral("IDC_ACQAESPRF_MANUAL"));
    controlLayout->addWidget(m_rotate);
    controlLayout->addWidget(m_manual);

    auto* totals = new QGroupBox(QStringLiteral("Totals"), this);
    auto* totalsGrid = new QGridLayout(totals);
    m_levels = new QLabel(totals);
    m_levels->setObjectName(QStringLiteral("IDC_ACQAESPRF_LEVELS"));
    m_time = new QLabel(totals);
    m_time->setObjectName(QStringLiteral("IDC_ACQAESPRF_TIME"));
    totalsGrid->addWidget(new QLabel(QStringLiteral("Levels"), totals), 0, 0);
    totalsGrid->addWidget(m_levels, 0, 1);
    totalsGrid->addWidget(new QLabel(QStringLiteral("Time"), totals), 1, 0);
    totalsGrid->addWidget(m_time, 1, 1);
    totalsGrid->setColumnStretch(1, 1);

    // Reset and Clear are commands without a visible button.
    auto* reset = new QPushButton(QStringLiteral("Reset grid"), this);
    reset->setObjectName(QStringLiteral("id_1001"));
    auto* clear = new QPushButton(QStringLiteral("Clear grid"), this);
    clear->setObjectName(QStringLiteral("id_1002"));
    for (QPushButton* b : {reset, clear}) {
        b->setAutoDefault(false);
        b->hide();
    }
    SafeConnect(reset, &QPushButton::clicked, this, [this](bool) { OnReset(); });
    SafeConnect(clear, &QPushButton::clicked, this, [this](bool) { OnClear(); });

    auto* left = new QVBoxLayout;
    left->addWidget(control);
    left->addWidget(totals);
    left->addStretch(1);
    auto* holder = new CGridHolder(this, "IDC_ACQAESPRF_GRID", m_Grid);
    holder->onResize = [this] {
        if (m_Grid.GetColCount() == 3) {
            const int each = std::max(40, (m_Grid.width() - m_Grid.GetVScrollWidth() - 4) / 3);
            for (int c = 0; c < 3; ++c)
                m_Grid.SetColWidth(c, each);
            m_Grid.RedrawAll();
        }
    };
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(holder, 1);

    SafeConnect(m_manual, &QCheckBox::clicked, this, [this](bool on) { S().m_Prf.m_bManual = on ? 1 : 0; });
    SafeConnect(m_rotate, &QCheckBox::clicked, this, [this](bool on) { S().m_Prf.m_bRotate = on ? 1 : 0; });

    SetUpEditRowGrid(m_Grid, 3, nMinNumRows);
    s_aesPrfLooks.Make(m_Grid);
    for (int c = 0; c < 3; ++c)
        m_Grid.SetTextAt(c, -1, LoadString(1140u + unsigned(c)).c_str());
    Refresh();
    return true;
}

void CAcquireAES_PrfPage::DoDataExchange(CDataExchange*) {}

bool CAcquireAES_PrfPage::OnSetActive()
{
    if (!IsBuilt())
        return CAesPage::OnSetActive();
    Refresh();
    return true;
}

bool CAcquireAES_PrfPage::IsProfile() const
{
    return CAesPrfModel::IsProfile(GetExpType());
}

void CAcquireAES_PrfPage::Refresh()
{
    const CAesPrfModel& p = S().m_Prf;
    m_manual->setChecked(p.m_bManual != 0);
    m_rotate->setChecked(p.m_bRotate != 0);
    m_manual->setEnabled(IsProfile());
    m_rotate->setEnabled(IsProfile());
    UpdateGrid();
}

void CAcquireAES_PrfPage::UpdateGrid()
{
    if (!IsProfile()) {
        m_Grid.hide();
        m_levels->clear();
        m_time->clear();
        m_Grid.RedrawAll();
        return;
    }
    CAesPrfModel& p = S().m_Prf;
    if (p.m_Levels.empty())
        p.m_Levels.emplace_back();
    p.m_iSelRow = std::clamp(p.m_iSelRow, 1, int(p.m_Levels.size()));
    const long n = long(p.m_Levels.size());
    m_Grid.SetRowCount(std::max<long>(n + 2, nMinNumRows));
    const Looks& L = s_aesPrfLooks;
    auto value = [](const CLevelInfo& r, int c) {
        return G(c == 0 ? r.m_dFrom : c == 1 ? r.m_dTo : r.m_dStep);
    };
    for (long i = 1; i <= n; ++i)
        for (int c = 0; c < 3; ++c)
            Put(m_Grid, c, i, i == p.m_iSelRow ? L.sel : L.grey, value(p.m_Levels[size_t(i - 1)], c));
    for (long i = n + 1; i < m_Grid.GetRowCount(); ++i)
        for (int c = 0; c < 3; ++c)
            Put(m_Grid, c, i, L.empty, "");
    for (int c = 0; c < 3; ++c)
        Put(m_Grid, c, 0, L.edit, value(p.m_Levels[size_t(p.m_iSelRow - 1)], c));
    const CAesPrfModel::Totals t = p.GetTotals();
    m_levels->setText(QString::number(t.levels));
    m_time->setText(QString::number(t.time));
    m_Grid.show();
    m_Grid.RedrawAll();
}

void CAcquireAES_PrfPage::OnReset()
{
    S().m_Prf.OnReset();
    UpdateGrid();
}

void CAcquireAES_PrfPage::OnClear()
{
    S().m_Prf.OnClear();
    UpdateGrid();
}

bool CAcquireAES_PrfPage::SelectRow(long row)
{
    if (!IsProfile())
        return false;
    CAesPrfModel& p = S().m_Prf;
    if (!LevelTable::Select(p.m_Levels, p.m_iSelRow, int(row)))
        return false;
    UpdateGrid();
    return true;
}

void CAcquireAES_PrfPage::OnLClicked(int col, long row, int pressed, RECT*, POINT*, int processed)
{
    if (!pressed || col < 0 || row < 0 || processed || !IsProfile())
        return;
    if (row != 0 && !SelectRow(row))
        return;
    m_Grid.StartEditCell(col, 0, 0);
}

int CAcquireAES_PrfPage::OnEditStart(int, long, CWnd**)
{
    if (!IsProfile())
        return 0;
    m_LevelListCopy = S().m_Prf.m_Levels;
    return 1;
}

int CAcquireAES_PrfPage::OnEditVerify(int, long, CWnd* edit, UINT* key)
{
    if (*key == 27) {
        S().m_Prf.m_Levels = m_LevelListCopy;
        UpdateGrid();
        return 1;
    }
    if (!IsPrintable(*key))
        return 1;
    // Whole numbers only, in every column.
    return EditorLength(edit) < 4 && *key >= '0' && *key <= '9';
}

int CAcquireAES_PrfPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    if (!IsProfile())
        return 1;
    if (cancelFlag)
        m_Grid.SetTextAt(col, row, text.c_str());
    CAesPrfModel& p = S().m_Prf;
    LevelTable::Commit(p.m_Levels, p.m_iSelRow, col, text, true);
    UpdateGrid();
    return 1;
}

int CAcquireAES_PrfPage::OnEditContinue(int oldcol, long, int* newcol, long* newrow)
{
    if (!IsProfile())
        return 1;
    CAesPrfModel& p = S().m_Prf;
    auto next = [this, &p] {
        if (!SelectRow(p.m_iSelRow + 1))
            SelectRow(1);
    };
    auto prev = [this, &p] {
        if (p.m_iSelRow <= 1 || !SelectRow(p.m_iSelRow - 1))
            SelectRow(long(p.m_Levels.size()));
    };
    EditRowContinue(oldcol, m_Grid.GetRowCount() - 1, newcol, newrow, next, prev);
    return 1;
}
