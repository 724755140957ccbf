#include "analysis/ui/Differentiate.h"

#include "analysis/core/Process.h"
#include "analysis/core/SavGol.h"
#include "analysis/ui/WidthSpin.h"
#include "res/resource.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QRect CDifferentiate::m_rectWnd;

namespace {
int g_iMethod = 0;
int g_nWidth = 5;
int g_nOrder = 1;
} // namespace

CDifferentiate::CDifferentiate()
    : CProcDlg(IDD_DIFFERENTIATE, &m_rectWnd), m_iMethod(g_iMethod), m_pSavGol(std::make_unique<CSavGol>(0)),
      m_pdBuf(8192), m_nOrder(g_nOrder), m_nWidth(g_nWidth)
{
    setObjectName(QStringLiteral("IDD_DIFFERENTIATE"));
    setWindowTitle(QStringLiteral("Differentiate"));
    m_cmbOrder = new QComboBox(this);
    m_cmbOrder->setObjectName(QStringLiteral("IDC_DIFFERENTIATE_ORDER"));
    m_cmbOrder->addItems({QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third"),
                          QStringLiteral("Fourth")});
    auto* method = new QGroupBox(QStringLiteral("Method"), this);
    auto* simple = new QRadioButton(QStringLiteral("Simple"), method);
    simple->setObjectName(QStringLiteral("IDC_DIFFERENTIATE_SIMPLE"));
    auto* savgol = new QRadioButton(QStringLiteral("Savitzky-Golay"), method);
    savgol->setObjectName(QStringLiteral("IDC_DIFFERENTIATE_SAVGOL"));
    auto* mv = new QVBoxLayout(method);
    mv->addWidget(simple);
    mv->addWidget(savgol);
    m_spnWidth = new CWidthSpin(this, "IDC_DIFFERENTIATE_WIDTH_SPN", "IDC_DIFFERENTIATE_WIDTH_EDT");
    m_lblReason = new QLabel(this);
    m_lblReason->setObjectName(QStringLiteral("ReasonLabel"));
    m_btnApply = AddButton("IDC_DIFFERENTIATE_APPLY", QStringLiteral("Apply"));
    m_btnReset = AddButton("IDC_DIFFERENTIATE_RESET", QStringLiteral("Reset"));
    QPushButton* ok = AddButton("IDOK", QStringLiteral("OK"));
    QPushButton* cancel = AddButton("IDCANCEL", QStringLiteral("Cancel"));

    auto* grid = new QGridLayout(this);
    auto* order = new QHBoxLayout;
    order->addWidget(new QLabel(QStringLiteral("Order:"), this));
    order->addWidget(m_cmbOrder);
    grid->addLayout(order, 0, 0);
    grid->addWidget(method, 1, 0, 2, 1);
    auto* width = new QHBoxLayout;
    width->addWidget(new QLabel(QStringLiteral("Width:"), this));
    width->addWidget(m_spnWidth);
    width->addWidget(new QLabel(QStringLiteral("points"), this));
    grid->addLayout(width, 1, 1);
    grid->addWidget(m_lblReason, 2, 1);
    grid->addLayout(ButtonRow({m_btnApply, m_btnReset, ok, cancel}), 3, 0, 1, 2);

    connect(simple, &QRadioButton::clicked, this, [this] { SetMethod(0); });
    connect(savgol, &QRadioButton::clicked, this, [this] { SetMethod(1); });
    connect(m_cmbOrder, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0)
            return;
        m_nOrder = i + 1;
        SetRange();
    });
    connect(m_spnWidth->Edit(), &QLineEdit::textChanged, this, [this] { OnChangeWidth(); });
    connect(m_btnApply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] { OnReset(); });
    connect(ok, &QPushButton::clicked, this, &CDifferentiate::accept);
    connect(cancel, &QPushButton::clicked, this, &CDifferentiate::reject);
}

CDifferentiate::~CDifferentiate()
{
    g_iMethod = m_iMethod;
    g_nWidth = m_nWidth;
    g_nOrder = m_nOrder;
}

void CDifferentiate::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, "IDC_DIFFERENTIATE_SIMPLE", m_iMethod);
    DDX_Text(pDX, "IDC_DIFFERENTIATE_WIDTH_EDT", m_nWidth);
}

bool CDifferentiate::OnInitDialog()
{
    if (!CProcDlg::OnInitDialog())
        return false;
    m_spnWidth->SetWidth(m_nWidth);
    m_btnReset->setEnabled(false);
    m_nOrder = std::clamp(m_nOrder, 1, 4);
    m_cmbOrder->setCurrentIndex(m_nOrder - 1);
    SetRange();
    return true;
}

void CDifferentiate::SetMethod(int iMethod)
{
    if (iMethod == m_iMethod)
        return;
    m_iMethod = iMethod;
    SetRange();
}

void CDifferentiate::SetRange()
{
    const bool sg = m_iMethod == 1;
    m_nMinWidth = sg ? (m_nOrder <= 2 ? 5 : 7) : m_nOrder + 1;
    m_nMaxWidth = 35;
    m_spnWidth->SetRange(m_nMinWidth, m_nMaxWidth, sg);
    findChild<QRadioButton*>(sg ? QStringLiteral("IDC_DIFFERENTIATE_SAVGOL")
                                : QStringLiteral("IDC_DIFFERENTIATE_SIMPLE"))
        ->setChecked(true);
    const int w = m_spnWidth->GetWidth();
    if (sg && w > 0 && w % 2 == 0)
        m_spnWidth->SetWidth(w - 1);
    OnChangeWidth();
}

void CDifferentiate::OnChangeWidth()
{
    ShowWidthState(m_btnApply, m_lblReason, m_spnWidth->GetWidth(), m_nMinWidth, m_nMaxWidth, m_iMethod == 1);
}

void CDifferentiate::OnApply()
{
    if (!UpdateData(true))
        return;
    // A width typed outside the method's range, or even for Savitzky-Golay, is not applied.
    if (m_nWidth < m_nMinWidth || m_nWidth > m_nMaxWidth ||
        (m_iMethod == 1 && !m_pSavGol->CanApply(m_nWidth, m_nWidth, m_nOrder)))
        return;
    // Nothing was processed when every curve is shorter than the width.
    const bool bFiltered = FilterCurves(m_pdBuf, m_nWidth, [this](double* y, const double* in, int n) {
        if (m_iMethod == 1) {
            m_pSavGol->Apply(y, in, n, m_nWidth, m_nOrder);
        } else {
            // The differences work in place, the buffer serving as their scratch.
            Differentiate(y, m_pdBuf.data(), n, m_nWidth, m_nOrder);
        }
    });
    if (bFiltered)
        Applied(m_btnReset);
}

void CDifferentiate::OnReset()
{
    ResetClicked(m_btnReset);
}
