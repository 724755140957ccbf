#include "app/TraceDlg.h"

#include "app/SpecViewBase.h"
#include "app/ViewLayout.h"
#include "framework/ui/Guard.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>

namespace {
// An up-down control with its buddy edit: the arrows (and arrow keys) step
// the value, the edit shows it but cannot be typed into.
class CSpinEdit : public QSpinBox
{
public:
    CSpinEdit(QWidget* parent, int editId, int spinId) : QSpinBox(parent)
    {
        setObjectName(QStringLiteral("id_%1").arg(spinId));
        lineEdit()->setObjectName(QStringLiteral("id_%1").arg(editId));
        lineEdit()->setReadOnly(true);
        setKeyboardTracking(false);
        setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 30);
    }
};
} // namespace

CTraceDlg::CTraceDlg(QWidget* pParent, QWidget* button)
    : QDialog(pParent, Qt::Popup | Qt::FramelessWindowHint), m_pButton(button)
{
    // A drop-down: no caption, a raised border, gone when the user clicks elsewhere.
    setObjectName(QStringLiteral("id_%1").arg(int(IDD)));
    setModal(true);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    outer->addWidget(panel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 4, 6, 4);
    m_pStartSpin = new CSpinEdit(panel, IDC_START, IDC_START_SPIN);
    m_pStepSpin = new CSpinEdit(panel, IDC_STEP, IDC_STEP_SPIN);
    m_pNumberSpin = new CSpinEdit(panel, IDC_NUMBER, IDC_NUMBER_SPIN);
    m_pNext = new QPushButton(QStringLiteral("Next"), panel);
    m_pNext->setObjectName(QStringLiteral("id_%1").arg(int(IDC_NEXT)));
    m_pReset = new QPushButton(QStringLiteral("Reset"), panel);
    m_pReset->setObjectName(QStringLiteral("id_%1").arg(int(IDC_RESET)));
    m_pNext->setAutoDefault(false);
    m_pReset->setAutoDefault(false);
    for (auto [label, spin] : {std::pair{"Start", m_pStartSpin}, std::pair{"Step", m_pStepSpin},
                               std::pair{"Number", m_pNumberSpin}}) {
        row->addWidget(new QLabel(QString::fromLatin1(label), panel));
        row->addWidget(spin);
    }
    row->addWidget(m_pNext);
    row->addWidget(m_pReset);

    struct
    {
        QSpinBox* spin;
        int id;
    } const spins[] = {
        {m_pStartSpin, IDC_START_SPIN}, {m_pStepSpin, IDC_STEP_SPIN}, {m_pNumberSpin, IDC_NUMBER_SPIN}};
    for (const auto& s : spins) {
        const int id = s.id;
        connect(s.spin, &QSpinBox::valueChanged, this,
                [this, id](int v) { SafeInvoke([&] { OnSpin(id, v); }); });
    }
    connect(m_pNext, &QPushButton::clicked, this, [this] { SafeInvoke([&] { OnNext(); }); });
    connect(m_pReset, &QPushButton::clicked, this, [this] { SafeInvoke([&] { OnReset(); }); });
}

CTraceDlg::~CTraceDlg() = default;

int CTraceDlg::DoModal(CSpecViewBase* pView)
{
    m_pView = pView;
    OnInitDialog();
    return exec();
}

bool CTraceDlg::OnInitDialog()
{
    adjustSize();
    if (m_pButton) {
        const QPoint tl = m_pButton->mapToGlobal(QPoint(0, 0));
        const SLayoutRect b{tl.x(), tl.y(), tl.x() + m_pButton->width(), tl.y() + m_pButton->height()};
        QScreen* screen = m_pButton->screen() ? m_pButton->screen() : QGuiApplication::primaryScreen();
        const int desktopLeft = screen ? screen->virtualGeometry().left() : 0;
        const SLayoutRect r = PlaceDropDown(b, width(), height(), desktopLeft);
        move(r.left, r.top);
    }
    Refresh();
    return true;
}

void CTraceDlg::Refresh()
{
    if (!m_pView)
        return;
    m_iFirst = m_pView->GetDispTrace();
    m_iStep = m_pView->GetDispTraceStep();
    m_nDisp = m_pView->GetNumDispTraces();
    m_nLevels = m_pView->GetNumLevels();
    const SLevelRanges r =
        CalcLevelRanges(m_iFirst, m_iStep, m_nDisp, m_nLevels, m_pView->IsMultiTraceDisplay());
    const QSignalBlocker b1(m_pStartSpin), b2(m_pStepSpin), b3(m_pNumberSpin);
    m_pStartSpin->setRange(0, r.maxFirst);
    m_pStartSpin->setValue(m_iFirst);
    m_pStartSpin->setEnabled(r.bFirst);
    m_pStepSpin->setRange(1, r.maxStep);
    m_pStepSpin->setValue(m_iStep);
    m_pStepSpin->setEnabled(r.bStep);
    m_pNumberSpin->setRange(1, r.maxNumber);
    m_pNumberSpin->setValue(m_nDisp);
    m_pNumberSpin->setEnabled(r.bNumber);
    m_pNext->setEnabled(r.bNext);
}

void CTraceDlg::OnSpin(int id, int value)
{
    if (!m_pView)
        return;
    int first = m_iFirst, step = m_iStep, number = m_nDisp;
    int& changed = id == IDC_START_SPIN ? first : id == IDC_STEP_SPIN ? step : number;
    if (changed == value)
        return;
    changed = value;
    m_pView->SetDispTraces(first, step, number);
    Refresh();
}

void CTraceDlg::OnReset()
{
    if (!m_pView)
        return;
    m_pView->SetDispTrace(CSpecViewBase::AllTraces);
    Refresh();
}

void CTraceDlg::OnNext()
{
    if (!m_pView)
        return;
    int next = m_iFirst + (m_nDisp - 1) * m_iStep;
    // With one level on show the last level shown is the first one, and Next
    // stayed where it was: it steps on to the following level instead, and
    // past the last level there is nowhere to go.
    if (m_nDisp <= 1) {
        if (m_iFirst + 1 >= m_nLevels)
            return;
        next = m_iFirst + 1;
    }
    m_pView->SetDispTrace(next);
    Refresh();
}
