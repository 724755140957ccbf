#include "acquire/ui/AesPrfPage.h"

#include "acquire/ui/AcquireAES.h"
#include "acquire/ui/TableHelpers.h"
#include "framework/ui/Guard.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AcqTable;

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

    QGroupBox* totals = m_table.MakeTotals(this, "IDC_ACQAESPRF_LEVELS", "IDC_ACQAESPRF_TIME");

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
    CGridHolder* holder = m_table.MakeHolder(this, "IDC_ACQAESPRF_GRID");
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(holder, 1);

    SafeConnect(m_manual, &QCheckBox::clicked, this, [this](bool on) { S().m_Prf.m_bManual = on ? 1 : 0; });
    SafeConnect(m_rotate, &QCheckBox::clicked, this, [this](bool on) { S().m_Prf.m_bRotate = on ? 1 : 0; });

    m_table.source = [this] {
        CLevelTableGrid::Source src;
        if (IsProfile()) {
            src.list = &S().m_Prf.m_Levels;
            src.selRow = &S().m_Prf.m_iSelRow;
            src.zeroBecomesOne = true;
        }
        return src;
    };
    m_table.totals = [this](const CLevelList&, const CLevelTableGrid::Source&) {
        const CAesPrfModel::Totals t = S().m_Prf.GetTotals();
        return CLevelTableGrid::TotalsText{QString::number(t.levels), QString::number(t.time)};
    };
    m_table.SetUp();
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
    m_table.Update();
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

void CAcquireAES_PrfPage::OnLClicked(int col, long row, int pressed, RECT*, POINT*, int processed)
{
    m_table.OnLClicked(col, row, pressed, processed);
}

int CAcquireAES_PrfPage::OnEditStart(int, long, CWnd**)
{
    return m_table.OnEditStart();
}

int CAcquireAES_PrfPage::OnEditVerify(int col, long, CWnd* edit, UINT* key)
{
    // Whole numbers only, in every column.
    return m_table.OnEditVerify(col, edit, key);
}

int CAcquireAES_PrfPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    return m_table.OnEditFinish(col, row, text, cancelFlag);
}

int CAcquireAES_PrfPage::OnEditContinue(int oldcol, long, int* newcol, long* newrow)
{
    return m_table.OnEditContinue(oldcol, newcol, newrow);
}
