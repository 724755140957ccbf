#include "instrument/ui/ConfigDlg.h"

#include "framework/ui/Resources.h"
#include "platform/MessageSink.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Check boxes in the order of the configuration's motor flags (Y, X, tilt,
// loader, rotate), as SDialogTexts::m_bMotorEnabled lists them.
constexpr unsigned kMotorIds[5] = {CConfigDlg::IdYMotor, CConfigDlg::IdXMotor, CConfigDlg::IdTiltMotor,
                                   CConfigDlg::IdLoadMotor, CConfigDlg::IdPhiMotor};

std::string Name(unsigned id)
{
    return CConfigDlg::CtrlName(id).toStdString();
}

// Radios of one group are the first children of their box, in order, so that
// the data exchange finds the group from its first radio.
QGroupBox* RadioBox(QWidget* parent, const QString& title, unsigned id0, const QString& text0, unsigned id1,
                    const QString& text1, QRadioButton** r0, QRadioButton** r1)
{
    auto* box = new QGroupBox(title, parent);
    *r0 = new QRadioButton(text0, box);
    (*r0)->setObjectName(CConfigDlg::CtrlName(id0));
    *r1 = new QRadioButton(text1, box);
    (*r1)->setObjectName(CConfigDlg::CtrlName(id1));
    auto* l = new QVBoxLayout;
    l->addWidget(*r0);
    l->addWidget(*r1);
    box->setLayout(l);
    return box;
}

} // namespace

QString CConfigDlg::CtrlName(unsigned id)
{
    return QStringLiteral("id_%1").arg(id);
}

CConfigDlg::CConfigDlg(CConfig& config, QWidget* parent) : CDialog(parent), m_config(config)
{
    setObjectName(QStringLiteral("IDD_CONFIG"));
    setWindowTitle(QStringLiteral("Configuration"));
    BuildLayout();
}

void CConfigDlg::BuildLayout()
{
    // What the links found: read-only texts.
    auto* found = new QGroupBox(QStringLiteral("Instrument"), this);
    auto* form = new QFormLayout(found);
    const struct
    {
        unsigned id;
        const char* caption;
    } texts[] = {
        {IdTechniques, "Techniques:"}, {IdAnalyser, "Analyzer:"},           {IdStage, "Stage:"},
        {IdIonGuns, "Ion Gun(s):"},    {IdMonochromator, "Monochromator:"}, {IdASCUPort, "ASCU Port:"},
        {IdAPMSDPort, "AP-MSD Port:"}};
    for (const auto& t : texts) {
        auto* value = new QLabel(found);
        value->setObjectName(CtrlName(t.id));
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("COM1 (not present)")) +
                               8);
        form->addRow(QString::fromLatin1(t.caption), value);
    }

    auto* offsetLabel = new QLabel(QStringLiteral("Offset (eV):"), this);
    auto* offset = new QLineEdit(this);
    offset->setObjectName(CtrlName(IdOffset));
    offsetLabel->setBuddy(offset);

    QRadioButton *direct = nullptr, *differential = nullptr;
    QGroupBox* aes = RadioBox(this, QStringLiteral("AES Mode"), IdDirect, QStringLiteral("Direct"),
                              IdDifferential, QStringLiteral("Differential"), &direct, &differential);
    QGroupBox* detector = RadioBox(this, QStringLiteral("Detector"), IdSingle, QStringLiteral("Single"),
                                   IdMultiple, QStringLiteral("Multiple"), &m_btnSingle, &m_btnMultiple);
    QGroupBox* holder = RadioBox(this, QStringLiteral("Holder"), IdStandard, QStringLiteral("Standard"),
                                 IdLarge, QStringLiteral("Large"), &m_btnStandard, &m_btnLarge);

    auto* motors = new QGroupBox(QStringLiteral("Motors"), this);
    auto* ml = new QVBoxLayout(motors);
    const struct
    {
        unsigned id;
        const char* text;
    } boxes[] = {{IdXMotor, "X Motor"},
                 {IdYMotor, "Y Motor"},
                 {IdTiltMotor, "Tilt Motor"},
                 {IdLoadMotor, "Load Motor"},
                 {IdPhiMotor, "Rotate Motor"}};
    for (const auto& b : boxes) {
        auto* check = new QCheckBox(QString::fromLatin1(b.text), motors);
        check->setObjectName(CtrlName(b.id));
        ml->addWidget(check);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("IDOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("IDCANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* offsetRow = new QHBoxLayout;
    offsetRow->addWidget(offsetLabel);
    offsetRow->addWidget(offset);
    auto* right = new QGridLayout;
    right->addLayout(offsetRow, 0, 0, 1, 2);
    right->addWidget(aes, 1, 0);
    right->addWidget(detector, 1, 1);
    right->addWidget(holder, 2, 0);
    right->addWidget(motors, 2, 1, 2, 1);
    right->setRowStretch(3, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(found);
    top->addLayout(right);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(buttons);
    offset->setFocus();
}

void CConfigDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, Name(IdOffset).c_str(), m_values.m_dOffset);
    DDV_MinMaxDouble(pDX, m_values.m_dOffset, 0, 100);
    DDX_Check(pDX, Name(IdYMotor).c_str(), m_values.m_bYMotor);
    DDX_Check(pDX, Name(IdXMotor).c_str(), m_values.m_bXMotor);
    DDX_Check(pDX, Name(IdTiltMotor).c_str(), m_values.m_bTiltMotor);
    DDX_Check(pDX, Name(IdLoadMotor).c_str(), m_values.m_bLoadMotor);
    DDX_Check(pDX, Name(IdPhiMotor).c_str(), m_values.m_bPhiMotor);
    DDX_Radio(pDX, Name(IdDirect).c_str(), m_values.m_iAESMode);
}

bool CConfigDlg::OnInitDialog()
{
    m_values = m_config.GetDialogValues();
    if (!CDialog::OnInitDialog())
        return false;
    const CConfig::SDialogTexts t = m_config.DialogTexts();
    const struct
    {
        unsigned id;
        const std::string& text;
    } texts[] = {{IdTechniques, t.m_csTechniques},
                 {IdAnalyser, t.m_csAnalyser},
                 {IdStage, t.m_csStage},
                 {IdIonGuns, t.m_csIonGuns},
                 {IdMonochromator, t.m_csMonochromator},
                 {IdASCUPort, t.m_csASCUPort},
                 {IdAPMSDPort, t.m_csAPMSDPort}};
    for (const auto& x : texts)
        findChild<QLabel*>(CtrlName(x.id))->setText(ToQString(x.text));

    // Only a hemispherical analyser has a choice of detector.
    m_btnSingle->setEnabled(t.m_bDetectorEnabled);
    m_btnMultiple->setEnabled(t.m_bDetectorEnabled);
    if (t.m_bDetectorEnabled)
        (m_values.m_bMultiple ? m_btnMultiple : m_btnSingle)->setChecked(true);

    for (int i = 0; i < 5; ++i)
        findChild<QCheckBox*>(CtrlName(kMotorIds[i]))->setEnabled(t.m_bMotorEnabled[i]);

    m_btnStandard->setEnabled(t.m_bHolderEnabled);
    m_btnLarge->setEnabled(t.m_bHolderEnabled);
    (m_values.m_Holder == CConfig::Large ? m_btnLarge : m_btnStandard)->setChecked(true);

    findChild<QRadioButton*>(CtrlName(IdDirect))->setEnabled(t.m_bAESModeEnabled);
    findChild<QRadioButton*>(CtrlName(IdDifferential))->setEnabled(t.m_bAESModeEnabled);
    return true;
}

void CConfigDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    CConfig::SDialogValues v = m_values;
    v.m_bMultiple = m_btnMultiple->isChecked();
    v.m_Holder = m_btnStandard->isChecked() ? CConfig::Standard
                 : m_btnLarge->isChecked()  ? CConfig::Large
                                            : CConfig::NoHolder;
    // The values in memory change even when a write fails; the user is told.
    if (int id = m_config.Save(v))
        AfxMessageBox(static_cast<unsigned>(id), MB_OK | MB_ICONWARNING);
    EndDialog(IDOK);
}
