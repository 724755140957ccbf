#include "analysis/ui/Integrate.h"

#include "analysis/core/Process.h"
#include "platform/MessageSink.h"
#include "res/resource.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QRect CIntegrate::m_rectWnd;

namespace {
int g_iOffset = 1;
unsigned g_nWidth = 16;
} // namespace

CIntegrate::CIntegrate() : CProcDlg(IDD_INTEGRATE, &m_rectWnd), m_iOffset(g_iOffset), m_nWidth(g_nWidth)
{
    setObjectName(QStringLiteral("IDD_INTEGRATE"));
    setWindowTitle(QStringLiteral("Integrate"));
    auto* offset = new QGroupBox(QStringLiteral("Offset correction"), this);
    auto* ov = new QVBoxLayout(offset);
    const std::pair<const char*, const char*> radios[] = {
        {"IDC_INTEGRATE_NONE", "None"}, {"IDC_INTEGRATE_MEAN", "Mean"}, {"IDC_INTEGRATE_ENDS", "Ends"}};
    int id = IDC_INTEGRATE_NONE;
    for (const auto& [name, text] : radios) {
        auto* r = new QRadioButton(QString::fromLatin1(text), offset);
        r->setObjectName(QString::fromLatin1(name));
        ov->addWidget(r);
        connect(r, &QRadioButton::clicked, this, [this, id] { OnOffset(id); });
        ++id;
    }
    m_edtWidth = new QLineEdit(this);
    m_edtWidth->setObjectName(QStringLiteral("IDC_INTEGRATE_WIDTH"));
    m_edtWidth->setMaxLength(2);
    m_edtWidth->setValidator(new QIntValidator(0, 99, m_edtWidth));
    m_btnApply = AddButton("IDC_INTEGRATE_APPLY", QStringLiteral("Apply"));
    m_btnReset = AddButton("IDC_INTEGRATE_RESET", QStringLiteral("Reset"));
    QPushButton* ok = AddButton("IDOK", QStringLiteral("OK"));
    QPushButton* cancel = AddButton("IDCANCEL", QStringLiteral("Cancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(offset, 0, 0);
    auto* width = new QHBoxLayout;
    width->addWidget(new QLabel(QStringLiteral("Width:"), this));
    width->addWidget(m_edtWidth);
    grid->addLayout(width, 0, 1);
    grid->addLayout(ButtonRow({m_btnApply, m_btnReset, ok, cancel}), 1, 0, 1, 2);

    connect(m_edtWidth, &QLineEdit::textChanged, this, [this] { OnChangeWidth(); });
    connect(m_btnApply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] { OnReset(); });
    connect(ok, &QPushButton::clicked, this, &CIntegrate::accept);
    connect(cancel, &QPushButton::clicked, this, &CIntegrate::reject);
}

CIntegrate::~CIntegrate()
{
    g_iOffset = m_iOffset;
    g_nWidth = m_nWidth;
}

void CIntegrate::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, "IDC_INTEGRATE_NONE", m_iOffset);
    DDX_Text(pDX, "IDC_INTEGRATE_WIDTH", m_nWidth);
    DDV_MinMaxUInt(pDX, m_nWidth, 1, 99);
}

bool CIntegrate::OnInitDialog()
{
    if (!CProcDlg::OnInitDialog())
        return false;
    m_btnReset->setEnabled(false);
    OnOffset(IDC_INTEGRATE_NONE + std::clamp(m_iOffset, 0, 2));
    return true;
}

void CIntegrate::OnOffset(int id)
{
    m_edtWidth->setEnabled(id == IDC_INTEGRATE_ENDS);
    OnChangeWidth();
    m_iOffset = id - IDC_INTEGRATE_NONE;
}

void CIntegrate::OnChangeWidth()
{
    bool ok = false;
    const int w = m_edtWidth->text().toInt(&ok);
    m_btnApply->setEnabled(ok && w >= 1 && w <= 99);
}

void CIntegrate::OnApply()
{
    if (!UpdateData(true))
        return;
    SWaitCursor wait;
    const double* orig = GetUndo();
    bool bTooShort = false;
    bool bIntegrated = false;
    ForEachCurve([&](CSpecWnd*, int, int, double* y, int n) {
        if (int(m_nWidth) < n) {
            Integrate(y, orig, n);
            Offset(y, n, m_iOffset, int(m_nWidth));
            bIntegrated = true;
        } else {
            bTooShort = true;
        }
        orig += n;
    });
    if (bIntegrated)
        Applied(m_btnReset);
    if (bTooShort)
        AfxMessageBox(IDS_PROC_TOO_SHORT);
}

void CIntegrate::OnReset()
{
    ResetClicked(m_btnReset);
}
