#include "analysis/ui/Smooth.h"

#include "analysis/core/Process.h"
#include "analysis/core/SavGol.h"
#include "analysis/ui/WidthSpin.h"
#include "res/resource.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QRect CSmooth::m_rectWnd;

namespace {
int g_iMethod = 0;
int g_nWidth = 5;
} // namespace

CSmooth::CSmooth()
    : CProcDlg(IDD_SMOOTH, &m_rectWnd), m_iMethod(g_iMethod), m_pSavGol(std::make_unique<CSavGol>(1)),
      m_pdBuf(8192), m_nWidth(g_nWidth)
{
    setObjectName(QStringLiteral("IDD_SMOOTH"));
    setWindowTitle(QStringLiteral("Smooth"));
    auto* method = new QGroupBox(QStringLiteral("Method"), this);
    auto* simple = new QRadioButton(QStringLiteral("Simple"), method);
    simple->setObjectName(QStringLiteral("IDC_SMOOTH_SIMPLE"));
    auto* savgol = new QRadioButton(QStringLiteral("Savitzky-Golay"), method);
    savgol->setObjectName(QStringLiteral("IDC_SMOOTH_SAVGOL"));
    auto* mv = new QVBoxLayout(method);
    mv->addWidget(simple);
    mv->addWidget(savgol);
    m_spnWidth = new CWidthSpin(this, "IDC_SMOOTH_WIDTH_SPN", "IDC_SMOOTH_WIDTH_EDT");
    m_lblReason = new QLabel(this);
    m_lblReason->setObjectName(QStringLiteral("ReasonLabel"));
    m_btnApply = AddButton("IDC_SMOOTH_APPLY", QStringLiteral("Apply"));
    m_btnReset = AddButton("IDC_SMOOTH_RESET", QStringLiteral("Reset"));
    QPushButton* ok = AddButton("IDOK", QStringLiteral("OK"));
    QPushButton* cancel = AddButton("IDCANCEL", QStringLiteral("Cancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(method, 0, 0, 2, 1);
    auto* width = new QHBoxLayout;
    width->addWidget(new QLabel(QStringLiteral("Width:"), this));
    width->addWidget(m_spnWidth);
    width->addWidget(new QLabel(QStringLiteral("points"), this));
    grid->addLayout(width, 0, 1);
    grid->addWidget(m_lblReason, 1, 1);
    grid->addLayout(ButtonRow({m_btnApply, m_btnReset, ok, cancel}), 2, 0, 1, 2);

    connect(simple, &QRadioButton::clicked, this, [this] { SetSimple(); });
    connect(savgol, &QRadioButton::clicked, this, [this] { SetSavGol(); });
    connect(m_spnWidth->Edit(), &QLineEdit::textChanged, this, [this] { OnChangeWidth(); });
    connect(m_btnApply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] { OnReset(); });
    connect(ok, &QPushButton::clicked, this, &CSmooth::accept);
    connect(cancel, &QPushButton::clicked, this, &CSmooth::reject);
}

CSmooth::~CSmooth()
{
    g_iMethod = m_iMethod;
    g_nWidth = m_nWidth;
}

void CSmooth::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, "IDC_SMOOTH_SIMPLE", m_iMethod);
    DDX_Text(pDX, "IDC_SMOOTH_WIDTH_EDT", m_nWidth);
}

bool CSmooth::OnInitDialog()
{
    if (!CProcDlg::OnInitDialog())
        return false;
    m_spnWidth->SetWidth(m_nWidth);
    m_btnReset->setEnabled(false);
    const int method = m_iMethod;
    m_iMethod = -1;
    if (method == 1)
        SetSavGol();
    else
        SetSimple();
    return true;
}

void CSmooth::SetSimple()
{
    if (m_iMethod == 0)
        return;
    m_iMethod = 0;
    m_nMinWidth = 2;
    m_nMaxWidth = 35;
    m_spnWidth->SetRange(m_nMinWidth, m_nMaxWidth, false);
    findChild<QRadioButton*>(QStringLiteral("IDC_SMOOTH_SIMPLE"))->setChecked(true);
    OnChangeWidth();
}

void CSmooth::SetSavGol()
{
    if (m_iMethod == 1)
        return;
    m_iMethod = 1;
    m_nMinWidth = CSavGol::MinWidth;
    m_nMaxWidth = CSavGol::MaxWidth;
    m_spnWidth->SetRange(m_nMinWidth, m_nMaxWidth, true);
    findChild<QRadioButton*>(QStringLiteral("IDC_SMOOTH_SAVGOL"))->setChecked(true);
    const int w = m_spnWidth->GetWidth();
    if (w > 0 && w % 2 == 0)
        m_spnWidth->SetWidth(w - 1);
    OnChangeWidth();
}

void CSmooth::OnChangeWidth()
{
    ShowWidthState(m_btnApply, m_lblReason, m_spnWidth->GetWidth(), m_nMinWidth, m_nMaxWidth, m_iMethod == 1);
}

void CSmooth::OnApply()
{
    if (!UpdateData(true))
        return;
    // A width typed outside the method's range, or even for Savitzky-Golay, is not applied.
    if (m_nWidth < m_nMinWidth || m_nWidth > m_nMaxWidth || (m_iMethod == 1 && m_nWidth % 2 == 0))
        return;
    // Nothing was processed when every curve is shorter than the width.
    const bool bFiltered = FilterCurves(m_pdBuf, m_nWidth, [this](double* y, const double* in, int n) {
        if (m_iMethod == 1)
            m_pSavGol->Apply(y, in, n, m_nWidth, 1);
        else
            Smooth(y, in, n, m_iMethod, m_nWidth);
    });
    if (bFiltered)
        Applied(m_btnReset);
}

void CSmooth::OnReset()
{
    ResetClicked(m_btnReset);
}
