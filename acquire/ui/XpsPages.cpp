// The Experiment, Source and Imaging pages of the XPS sheet.

#include "acquire/ui/AcqHost.h"
#include "acquire/ui/AcquireXPS.h"
#include "data/Source.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"
#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "platform/Cp1252.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <thread>

namespace {
QString Q(const std::string& cp1252)
{
    return QString::fromStdString(Cp1252ToUtf8(cp1252));
}

std::string Cp(const QString& text)
{
    return Utf8ToCp1252(text.toStdString());
}

QRadioButton* Radio(QWidget* parent, QLayout* layout, const char* name, const char* text)
{
    auto* r = new QRadioButton(QString::fromLatin1(text), parent);
    r->setObjectName(QString::fromLatin1(name));
    layout->addWidget(r);
    return r;
}

QLineEdit* Edit(QWidget* parent, const char* name, int chars)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 16);
    return e;
}

// A number edit that takes digits only, or a decimal number.
void Digits(QLineEdit* e, bool decimals)
{
    e->setValidator(new QRegularExpressionValidator(
        QRegularExpression(decimals ? QStringLiteral("[0-9]*\\.?[0-9]*") : QStringLiteral("[0-9]*")), e));
}

QString Num(double v, const char* format = "%g")
{
    return QString::fromStdString(FormatPrintf(format, v));
}

// The photon energy as the source page shows it: an anode's with one decimal,
// a lamp's (He I 21.22 eV) with the decimals it has, since Start reads the
// edit back into the set-up. Seven digits fill the edit's eight characters.
QString PhotonEnergy(double v)
{
    const QString one = Num(v, "%.1f");
    return one.toDouble() == v ? one : Num(v, "%.7g");
}
} // namespace

// ---- Experiment ------------------------------------------------------------

CAcquireXPS_ExpPage::CAcquireXPS_ExpPage() : CXpsPage(QStringLiteral(" Experiment "))
{
    setObjectName(QStringLiteral("IDD_ACQ_XPSEXP"));
}

bool CAcquireXPS_ExpPage::OnInitDialog()
{
    static const char* expNames[6] = {"IDC_ACQXPSEXP_WDSCAN",       "IDC_ACQXPSEXP_NWSCAN",
                                      "IDC_ACQXPSEXP_DEPTHPROFILE", "IDC_ACQXPSEXP_ANGRES",
                                      "IDC_ACQXPSEXP_TOTREF",       "IDC_ACQXPSEXP_IMAGE"};
    static const char* expTexts[6] = {"Wide scan",      "Narrow scan",      "Depth Profile",
                                      "Angle Resolved", "Total Reflection", "Image"};
    static const char* moveNames[6] = {"IDC_ACQXPSEXP_NONE",   "IDC_ACQXPSEXP_PLANAR",
                                       "IDC_ACQXPSEXP_NORMAL", "IDC_ACQXPSEXP_LINEAR",
                                       "IDC_ACQXPSEXP_MEMORY", "IDC_ACQXPSEXP_ROTARY"};
    static const char* moveTexts[6] = {"None", "Planar", "Normal", "Linear", "Memory", "Rotary"};
    static const char* posnNames[6] = {nullptr,
                                       nullptr,
                                       "IDC_ACQXPSEXP_NORMPOSNS",
                                       "IDC_ACQXPSEXP_LINPOSNS",
                                       "IDC_ACQXPSEXP_MEMPOSNS",
                                       "IDC_ACQXPSEXP_ROTPOSNS"};

    auto* expBox = new QGroupBox(QStringLiteral("Experiment Type"), this);
    auto* expLayout = new QVBoxLayout(expBox);
    auto* expGroup = new QButtonGroup(expBox);
    for (int i = 0; i < 6; ++i) {
        m_exp[i] = Radio(expBox, expLayout, expNames[i], expTexts[i]);
        expGroup->addButton(m_exp[i], i);
        SafeConnect(m_exp[i], &QRadioButton::clicked, this, [this, i](bool) { OnExperimentBtn(i); });
    }
    expLayout->addStretch(1);

    auto* moveBox = new QGroupBox(QStringLiteral("Movement"), this);
    auto* moveGrid = new QGridLayout(moveBox);
    auto* moveGroup = new QButtonGroup(moveBox);
    moveGrid->addWidget(new QLabel(QStringLiteral("Positions"), moveBox), 0, 1);
    for (int i = 0; i < 6; ++i) {
        m_move[i] = new QRadioButton(QString::fromLatin1(moveTexts[i]), moveBox);
        m_move[i]->setObjectName(QString::fromLatin1(moveNames[i]));
        moveGroup->addButton(m_move[i], i);
        moveGrid->addWidget(m_move[i], i + 1, 0);
        SafeConnect(m_move[i], &QRadioButton::clicked, this, [this, i](bool) { OnMovementBtn(i); });
        if (posnNames[i]) {
            m_posns[i] = Edit(moveBox, posnNames[i], 5);
            Digits(m_posns[i], false);
            moveGrid->addWidget(m_posns[i], i + 1, 1);
            SafeConnect(m_posns[i], &QLineEdit::editingFinished, this, [this, i] { OnPosnKillFocus(i); });
        }
    }
    moveGrid->setRowStretch(7, 1);

    auto* fileBox = new QGroupBox(QStringLiteral("Filename"), this);
    auto* fileLayout = new QHBoxLayout(fileBox);
    m_file = new QLineEdit(fileBox);
    m_file->setObjectName(QStringLiteral("IDC_ACQXPSEXP_FILENAME"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), fileBox);
    browse->setObjectName(QStringLiteral("IDC_ACQXPSEXP_BROWSE"));
    browse->setAutoDefault(false);
    fileLayout->addWidget(m_file, 1);
    fileLayout->addWidget(browse);
    SafeConnect(browse, &QPushButton::clicked, this, [this](bool) { OnBrowse(); });

    auto* commentBox = new QGroupBox(QStringLiteral("Comment"), this);
    auto* commentLayout = new QVBoxLayout(commentBox);
    m_comment = new QPlainTextEdit(commentBox);
    m_comment->setObjectName(QStringLiteral("IDC_ACQXPSEXP_COMMENT"));
    m_comment->setTabChangesFocus(true);
    commentLayout->addWidget(m_comment);

    auto* top = new QHBoxLayout;
    top->setAlignment(Qt::AlignTop);
    top->addWidget(expBox, 1);
    top->addWidget(moveBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fileBox);
    layout->addWidget(commentBox, 1);

    Refresh();
    return true;
}

void CAcquireXPS_ExpPage::Refresh()
{
    const CXpsExpModel& e = S().m_Exp;
    SetMovementBtns();
    SetExperimentBtns();
    EnablePosnControls();
    for (int i = 2; i < 6; ++i)
        m_posns[i]->setText(QString::number(e.m_nPosns[i]));
    m_file->setText(ToQString(e.m_csFileName));
    if (Cp(m_comment->toPlainText()) != e.m_csComment)
        m_comment->setPlainText(Q(e.m_csComment));
}

bool CAcquireXPS_ExpPage::OnSetActive()
{
    if (!IsBuilt())
        return CXpsPage::OnSetActive();
    Refresh();
    return true;
}

void CAcquireXPS_ExpPage::DoDataExchange(CDataExchange* pDX)
{
    CXpsExpModel& e = S().m_Exp;
    // The file name is a path as the system spells it (UTF-8), not record text;
    // one from an older set-up file may still be cp1252, and is shown as such.
    if (pDX->m_bSaveAndValidate)
        e.m_csFileName = m_file->text().toStdString();
    else
        m_file->setText(ToQString(e.m_csFileName));
    if (pDX->m_bSaveAndValidate)
        e.m_csComment = Cp(m_comment->toPlainText());
    const int move = e.m_iMovement;
    if (move >= 2 && move < 6) {
        DDX_Text(pDX, m_posns[move]->objectName().toLatin1().constData(), e.m_nPosns[move]);
        DDV_MinMaxInt(pDX, e.m_nPosns[move], 1, CXpsExpModel::MaxPosns(move, S().m_Instr));
    }
}

void CAcquireXPS_ExpPage::SetExperimentBtns()
{
    const SXpsInstrument& instr = S().m_Instr;
    for (int i = 0; i < 6; ++i)
        m_exp[i]->setChecked(S().m_Exp.m_iExperiment == i);
    m_exp[CAcquireXPS::Image]->setEnabled(instr.stageType == 3);
    m_exp[CAcquireXPS::TotalReflection]->setEnabled((instr.status & 0x8) != 0);
}

void CAcquireXPS_ExpPage::SetMovementBtns()
{
    const CXpsExpModel& e = S().m_Exp;
    for (int i = 0; i < 6; ++i) {
        m_move[i]->setEnabled(e.IsAllowed(e.m_iExperiment, i));
        m_move[i]->setChecked(e.m_iMovement == i);
    }
}

void CAcquireXPS_ExpPage::EnablePosnControls()
{
    for (int i = 2; i < 6; ++i)
        m_posns[i]->setEnabled(S().m_Exp.m_iMovement == i);
}

void CAcquireXPS_ExpPage::OnExperimentBtn(int exp)
{
    S().m_Exp.SetExperiment(exp);
    SetMovementBtns();
    EnablePosnControls();
}

void CAcquireXPS_ExpPage::OnMovementBtn(int move)
{
    S().m_Exp.SetMovement(move);
    EnablePosnControls();
}

void CAcquireXPS_ExpPage::OnPosnKillFocus(int move)
{
    CXpsExpModel& e = S().m_Exp;
    if (move != e.m_iMovement)
        return;
    bool ok = false;
    const qulonglong v = m_posns[move]->text().trimmed().toULongLong(&ok);
    if (ok)
        e.m_nPosns[move] =
            int(std::clamp<qulonglong>(v, 1, qulonglong(CXpsExpModel::MaxPosns(move, S().m_Instr))));
    m_posns[move]->setText(QString::number(e.m_nPosns[move]));
}

void CAcquireXPS_ExpPage::OnBrowse()
{
    std::string path;
    if (AcqHost().fileName && AcqHost().fileName(path, false, nullptr)) {
        S().m_Exp.m_csFileName = path;
        m_file->setText(QString::fromStdString(path));
    }
}

// ---- Source ----------------------------------------------------------------

CAcquireXPS_SrcPage::CAcquireXPS_SrcPage() : CXpsPage(QStringLiteral("Source"))
{
    setObjectName(QStringLiteral("IDD_ACQ_XPSSRC"));
}

bool CAcquireXPS_SrcPage::OnInitDialog()
{
    auto* anodeBox = new QGroupBox(QStringLiteral("Source"), this);
    auto* anodeLayout = new QVBoxLayout(anodeBox);
    static const char* names[3] = {"IDC_ACQXPSSRC_MGKA", "IDC_ACQXPSSRC_ALKA", "IDC_ACQXPSSRC_OTHER"};
    static const char* texts[3] = {"MgKa", "AlKa", "Other"};
    auto* group = new QButtonGroup(anodeBox);
    for (int i = 0; i < 3; ++i) {
        m_anode[i] = Radio(anodeBox, anodeLayout, names[i], texts[i]);
        group->addButton(m_anode[i], i);
        SafeConnect(m_anode[i], &QRadioButton::clicked, this, [this, i](bool) { OnAnode(i); });
    }
    anodeLayout->addStretch(1);

    auto* valueBox = new QGroupBox(QStringLiteral("Settings"), this);
    auto* form = new QGridLayout(valueBox);
    m_volts = Edit(valueBox, "IDC_ACQXPSSRC_XRAYV", 8);
    m_current = Edit(valueBox, "IDC_ACQXPSSRC_XRAYI", 8);
    m_energy = Edit(valueBox, "IDC_ACQXPSSRC_XRAYE", 8);
    for (QLineEdit* e : {m_volts, m_current, m_energy})
        Digits(e, true);
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"Voltage", m_volts}, {"Current", m_current}, {"Energy", m_energy}};
    static const char* units[] = {"kV", "mA", "eV"};
    for (int r = 0; r < 3; ++r) {
        form->addWidget(new QLabel(QString::fromLatin1(rows[r].first), valueBox), r, 0);
        form->addWidget(rows[r].second, r, 1);
        form->addWidget(new QLabel(QString::fromLatin1(units[r]), valueBox), r, 2);
    }
    m_auto = new QCheckBox(QStringLiteral("Automatic"), valueBox);
    m_auto->setObjectName(QStringLiteral("IDC_ACQXPSSRC_XRAYAUTO"));
    form->addWidget(m_auto, 3, 1, 1, 2);
    form->setColumnStretch(3, 1);

    auto* buttons = new QVBoxLayout;
    m_on = new QPushButton(QStringLiteral("On"), this);
    m_on->setObjectName(QStringLiteral("IDC_ACQXPSSRC_XRAYON"));
    m_update = new QPushButton(QStringLiteral("Update"), this);
    m_update->setObjectName(QStringLiteral("IDC_ACQXPSSRC_XRAYUPDATE"));
    m_off = new QPushButton(QStringLiteral("Off"), this);
    m_off->setObjectName(QStringLiteral("IDC_ACQXPSSRC_XRAYOFF"));
    // "Update" stands where "On" does: one of them shows at a time.
    auto* onSlot = new QHBoxLayout;
    onSlot->addWidget(m_on);
    onSlot->addWidget(m_update);
    buttons->addLayout(onSlot);
    buttons->addWidget(m_off);
    buttons->addStretch(1);
    for (QPushButton* b : {m_on, m_update, m_off})
        b->setAutoDefault(false);
    SafeConnect(m_on, &QPushButton::clicked, this, [this](bool) { OnXraysOnBtn(); });
    SafeConnect(m_off, &QPushButton::clicked, this, [this](bool) { OnXraysOffBtn(); });
    SafeConnect(m_update, &QPushButton::clicked, this, [this](bool) { OnXrayUpdateBtn(); });

    auto* row = new QHBoxLayout;
    row->addWidget(anodeBox, 1);
    row->addWidget(valueBox, 2);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addStretch(1);

    m_update->hide();
    m_off->setEnabled(false);
    Refresh();
    return true;
}

void CAcquireXPS_SrcPage::Refresh()
{
    const CXpsSrcModel& s = S().m_Src;
    for (int i = 0; i < 3; ++i)
        m_anode[i]->setChecked(s.m_iType == i);
    m_auto->setChecked(s.m_bAuto != 0);
    m_volts->setText(Num(s.m_dVoltage));
    m_current->setText(Num(s.m_dCurrent));
    m_energy->setText(PhotonEnergy(s.m_dEnergy));
    if (!m_bXraysOn && !m_bWorking)
        SetEditControls();
}

bool CAcquireXPS_SrcPage::OnSetActive()
{
    const bool ok = IsBuilt() || CXpsPage::OnSetActive();
    // The engine may be working for another sheet: the link is its.
    SetEngineBusy(m_pAcqXPS->IsRunBusy());
    return ok;
}

void CAcquireXPS_SrcPage::DoDataExchange(CDataExchange* pDX)
{
    CXpsSrcModel& s = S().m_Src;
    DDX_Check(pDX, "IDC_ACQXPSSRC_XRAYAUTO", s.m_bAuto);
    DDX_Text(pDX, "IDC_ACQXPSSRC_XRAYE", s.m_dEnergy);
    DDV_MinMaxDouble(pDX, s.m_dEnergy, 0, 10000);
    if (s.m_iType != 2) {
        DDX_Text(pDX, "IDC_ACQXPSSRC_XRAYI", s.m_dCurrent);
        DDV_MinMaxDouble(pDX, s.m_dCurrent, CXpsSrcModel::MinCurrent, CXpsSrcModel::MaxCurrent);
        DDX_Text(pDX, "IDC_ACQXPSSRC_XRAYV", s.m_dVoltage);
        DDV_MinMaxDouble(pDX, s.m_dVoltage, CXpsSrcModel::MinVoltage, CXpsSrcModel::MaxVoltage);
    }
    if (pDX->m_bSaveAndValidate) {
        // The tube takes steps of 2.5 mA and 0.5 kV: the edits show the
        // snapped values, the next exchange reads them.
        m_current->setText(Num(std::round(s.m_dCurrent / 2.5) * 2.5));
        m_volts->setText(Num(std::round(s.m_dVoltage / 0.5) * 0.5));
    }
}

void CAcquireXPS_SrcPage::SetEditControls()
{
    CXpsSrcModel& s = S().m_Src;
    const bool other = s.m_iType == 2;
    if (!other)
        s.m_dEnergy = s.m_iType == 1 ? CSource::m_AlKaEnergy : CSource::m_MgKaEnergy;
    m_energy->setText(PhotonEnergy(s.m_dEnergy));
    m_energy->setReadOnly(!other);
    m_volts->setReadOnly(other);
    m_current->setReadOnly(other);
    m_auto->setEnabled(!other);
    m_on->setEnabled(!m_bEngineBusy);
}

void CAcquireXPS_SrcPage::OnAnode(int type)
{
    CXpsSrcModel& s = S().m_Src;
    if (s.m_iType == type)
        return;
    s.m_iType = type;
    if (type == 2)
        s.m_dEnergy = 0;
    SetEditControls();
}

std::string CAcquireXPS_SrcPage::Command(const char* op) const
{
    const CXpsSrcModel& s = S().m_Src;
    return FormatPrintf(s.m_iType == 1 ? "XRAY KD=AL,HT=%.1f,EM=%.1f,OP=%s"
                                       : "XRAY KD=MG,HT=%.1f,EM=%.1f,OP=%s",
                        s.m_dVoltage, s.m_dCurrent, op);
}

void CAcquireXPS_SrcPage::StartWorker(unsigned message, const char* op, int timeoutMs)
{
    // The command is made here, from the values just taken, so the worker
    // reads nothing of the page.
    const std::string command = Command(op);
    CDAU* dau = AcqHost().dau;
    QPointer<CAcquireXPS_SrcPage> self(this);
    m_bWorking = true;
    std::thread([dau, command, message, timeoutMs, self] {
        int result = dau ? dau->Transact(command.c_str(), timeoutMs) : 2293;
        SendAppMessage(self.data(), message, uintptr_t(result));
    }).detach();
}

void CAcquireXPS_SrcPage::OnXraysOnBtn()
{
    if (m_bEngineBusy || m_pAcqXPS->IsRunBusy() || m_bWorking || !UpdateData(true))
        return;
    for (auto* r : m_anode)
        r->setEnabled(false);
    if (S().m_Src.m_iType == 2) {
        m_on->setEnabled(false);
        m_off->setEnabled(true);
        m_energy->setReadOnly(true);
        return;
    }
    m_volts->setEnabled(false);
    m_current->setEnabled(false);
    m_on->hide();
    m_update->show();
    m_update->setEnabled(false);
    m_auto->setFocus();
    StartWorker(WMAPP_XRAYS_ON, "ON", XrayTimeout);
}

void CAcquireXPS_SrcPage::OnXraysOffBtn()
{
    if (m_bEngineBusy || m_pAcqXPS->IsRunBusy() || m_bWorking)
        return;
    if (S().m_Src.m_iType == 2) {
        for (auto* r : m_anode)
            r->setEnabled(true);
        m_on->setEnabled(true);
        m_off->setEnabled(false);
        m_energy->setReadOnly(false);
        return;
    }
    m_volts->setEnabled(false);
    m_current->setEnabled(false);
    m_update->setEnabled(false);
    m_off->setEnabled(false);
    StartWorker(WMAPP_XRAYS_OFF, "OFF", 1000);
}

void CAcquireXPS_SrcPage::OnXrayUpdateBtn()
{
    if (m_bEngineBusy || m_pAcqXPS->IsRunBusy() || m_bWorking || !UpdateData(true))
        return;
    m_volts->setEnabled(false);
    m_current->setEnabled(false);
    m_update->setEnabled(false);
    m_off->setEnabled(false);
    StartWorker(WMAPP_XRAYS_UPDATE, "MD", XrayTimeout);
}

void CAcquireXPS_SrcPage::ShowOnState(bool on)
{
    for (auto* r : m_anode)
        r->setEnabled(!on && !m_bEngineBusy);
    m_volts->setEnabled(true);
    m_current->setEnabled(true);
    m_on->setVisible(!on);
    m_on->setEnabled(!m_bEngineBusy);
    m_update->setVisible(on);
    m_update->setEnabled(on && !m_bEngineBusy);
    m_off->setEnabled(on && !m_bEngineBusy);
}

intptr_t CAcquireXPS_SrcPage::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t)
{
    m_bWorking = false;
    int result = int(wParam);
    switch (message) {
    case WMAPP_XRAYS_ON:
        if (result == 2273 || result == 2280) {
            if (AcqHost().dau && AcqHost().dau->StartMonitor() != 0)
                result = 2299;
            m_bXraysOn = true;
            ShowOnState(true);
        } else {
            ShowOnState(false);
            m_auto->setFocus();
        }
        if (result != 2273)
            AfxMessageBox(unsigned(result));
        break;
    case WMAPP_XRAYS_OFF:
        if (result == 2274 || result == 2281) {
            if (AcqHost().dau)
                AcqHost().dau->StopMonitor();
            m_bXraysOn = false;
            ShowOnState(false);
        } else {
            ShowOnState(true);
        }
        if (result != 2274)
            AfxMessageBox(unsigned(result));
        break;
    case WMAPP_XRAYS_UPDATE:
        if (result == 2279) {
            m_bXraysOn = false;
            if (AcqHost().dau)
                AcqHost().dau->StopMonitor();
            ShowOnState(false);
        } else {
            ShowOnState(m_bXraysOn);
        }
        if (result != 0)
            AfxMessageBox(unsigned(result));
        break;
    default:
        break;
    }
    return 0;
}

void CAcquireXPS_SrcPage::SetEngineBusy(bool busy)
{
    m_bEngineBusy = busy;
    if (!IsBuilt() || m_bWorking)
        return;
    if (S().m_Src.m_iType == 2) {
        m_on->setEnabled(!busy && !m_off->isEnabled());
        return;
    }
    ShowOnState(m_bXraysOn);
}

void CAcquireXPS_SrcPage::TakeLoaded(const CXpsSrcModel& loaded, bool fromDocument, const std::string& title)
{
    CXpsSrcModel& s = S().m_Src;
    if (m_bXraysOn && loaded.m_iType != s.m_iType) {
        AfxMessageBox(2131u);
        return;
    }
    // The tube would be set to the loaded values unchecked: what the Update
    // button refuses is not sent from a file either, and the source keeps
    // what it runs at.
    if (m_bXraysOn && !loaded.TubeInRange()) {
        AfxMessageBox(CAcqError{2068, {title}}.Text(), MB_OK | MB_ICONWARNING);
        return;
    }
    const bool changed = loaded.m_dVoltage != s.m_dVoltage || loaded.m_dCurrent != s.m_dCurrent;
    s = loaded;
    if (IsBuilt())
        Refresh();
    if (m_bXraysOn && !m_bWorking && !m_bEngineBusy && (!fromDocument || changed)) {
        m_volts->setEnabled(false);
        m_current->setEnabled(false);
        m_update->setEnabled(false);
        m_off->setEnabled(false);
        StartWorker(WMAPP_XRAYS_UPDATE, "MD", XrayTimeout);
    }
}

// ---- Imaging ---------------------------------------------------------------

CAcquireXPS_ImgPage::CAcquireXPS_ImgPage() : CXpsPage(QStringLiteral(" Imaging "))
{
    setObjectName(QStringLiteral("IDD_ACQ_XPSIMG"));
}

bool CAcquireXPS_ImgPage::OnInitDialog()
{
    auto* areaBox = new QGroupBox(QStringLiteral("Selected Area"), this);
    auto* areaGrid = new QGridLayout(areaBox);
    static const char* names[4] = {"IDC_ACQXPSIMG_X1", "IDC_ACQXPSIMG_X2", "IDC_ACQXPSIMG_Y1",
                                   "IDC_ACQXPSIMG_Y2"};
    static const char* labels[4] = {"X1", "X2", "Y1", "Y2"};
    for (int i = 0; i < 4; ++i) {
        m_area[i] = Edit(areaBox, names[i], 9);
        m_area[i]->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("-?[0-9]*\\.?[0-9]*")), m_area[i]));
        areaGrid->addWidget(new QLabel(QString::fromLatin1(labels[i]), areaBox), i / 2, (i % 2) * 2);
        areaGrid->addWidget(m_area[i], i / 2, (i % 2) * 2 + 1);
    }
    m_updateBtn = new QPushButton(QStringLiteral("Update"), areaBox);
    m_updateBtn->setObjectName(QStringLiteral("IDC_ACQXPSIMG_UPDATE"));
    m_updateBtn->setAutoDefault(false);
    areaGrid->addWidget(m_updateBtn, 2, 3);
    areaGrid->setColumnStretch(4, 1);
    SafeConnect(m_updateBtn, &QPushButton::clicked, this, [this](bool) { OnUpdateBtn(); });

    auto* modeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto* modeLayout = new QVBoxLayout(modeBox);
    auto* modeGroup = new QButtonGroup(modeBox);
    m_modeBtn[0] = Radio(modeBox, modeLayout, "IDC_ACQXPSIMG_IMAGE", "Image");
    m_modeBtn[1] = Radio(modeBox, modeLayout, "IDC_ACQXPSIMG_LINESCAN", "Linescan");
    modeLayout->addStretch(1);
    auto* scanBox = new QGroupBox(QStringLiteral("Scan"), this);
    auto* scanGrid = new QGridLayout(scanBox);
    auto* scanGroup = new QButtonGroup(scanBox);
    m_scanBtn[0] = new QRadioButton(QStringLiteral("Size"), scanBox);
    m_scanBtn[0]->setObjectName(QStringLiteral("IDC_ACQXPSIMG_SIZEBTN"));
    m_scanBtn[1] = new QRadioButton(QStringLiteral("Step"), scanBox);
    m_scanBtn[1]->setObjectName(QStringLiteral("IDC_ACQXPSIMG_STEPBTN"));
    m_cbxSize = new QComboBox(scanBox);
    m_cbxSize->setObjectName(QStringLiteral("IDC_ACQXPSIMG_SIZEBOX"));
    m_edtStep = Edit(scanBox, "IDC_ACQXPSIMG_STEPEDT", 8);
    Digits(m_edtStep, true);
    scanGrid->addWidget(m_scanBtn[0], 0, 0);
    scanGrid->addWidget(m_cbxSize, 0, 1);
    scanGrid->addWidget(m_scanBtn[1], 1, 0);
    scanGrid->addWidget(m_edtStep, 1, 1);
    scanGrid->setColumnStretch(2, 1);
    for (int i = 0; i < 2; ++i) {
        modeGroup->addButton(m_modeBtn[i], i);
        scanGroup->addButton(m_scanBtn[i], i);
        SafeConnect(m_modeBtn[i], &QRadioButton::clicked, this, [this, i](bool) { OnModeBtn(i); });
        SafeConnect(m_scanBtn[i], &QRadioButton::clicked, this, [this, i](bool) { OnScanBtn(i); });
    }
    SafeConnect(m_cbxSize, QOverload<int>::of(&QComboBox::activated), this,
                [this](int i) { S().m_Img.m_iSize = i; });

    auto* lower = new QHBoxLayout;
    lower->addWidget(modeBox, 1);
    lower->addWidget(scanBox, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(areaBox);
    layout->addLayout(lower);
    layout->addStretch(1);
    Refresh();
    return true;
}

void CAcquireXPS_ImgPage::FillSizes()
{
    const CXpsImgModel& m = S().m_Img;
    m_cbxSize->clear();
    for (int n : m.m_caSizes)
        m_cbxSize->addItem(m.m_iMode == 1 ? QString::number(n) : QStringLiteral("%1 x %1").arg(n));
    m_cbxSize->setCurrentIndex(m.m_iSize);
}

void CAcquireXPS_ImgPage::Refresh()
{
    const CXpsImgModel& m = S().m_Img;
    const double area[4] = {m.m_dX1, m.m_dX2, m.m_dY1, m.m_dY2};
    for (int i = 0; i < 4; ++i)
        m_area[i]->setText(Num(area[i]));
    m_modeBtn[m.m_iMode == 1 ? 1 : 0]->setChecked(true);
    m_scanBtn[m.m_iScan == 1 ? 1 : 0]->setChecked(true);
    FillSizes();
    m_edtStep->setText(Num(m.m_dStep));
    m_cbxSize->setEnabled(m.m_iScan == 0);
    m_edtStep->setReadOnly(m.m_iScan != 0 ? false : true);
}

bool CAcquireXPS_ImgPage::OnSetActive()
{
    if (!IsBuilt()) {
        const bool ok = CXpsPage::OnSetActive();
        SetEngineBusy(m_pAcqXPS->IsRunBusy());
        return ok;
    }
    Refresh();
    SetEngineBusy(m_pAcqXPS->IsRunBusy());
    return true;
}

void CAcquireXPS_ImgPage::DoDataExchange(CDataExchange* pDX)
{
    CXpsImgModel& m = S().m_Img;
    DDX_Text(pDX, "IDC_ACQXPSIMG_X1", m.m_dX1);
    DDX_Text(pDX, "IDC_ACQXPSIMG_X2", m.m_dX2);
    DDX_Text(pDX, "IDC_ACQXPSIMG_Y1", m.m_dY1);
    DDX_Text(pDX, "IDC_ACQXPSIMG_Y2", m.m_dY2);
    DDX_Text(pDX, "IDC_ACQXPSIMG_STEPEDT", m.m_dStep);
    DDV_MinMaxDouble(pDX, m.m_dStep, 0, 100);
    if (pDX->m_bSaveAndValidate && m_cbxSize->currentIndex() >= 0)
        m.m_iSize = m_cbxSize->currentIndex();
}

void CAcquireXPS_ImgPage::OnModeBtn(int mode)
{
    CXpsImgModel& m = S().m_Img;
    if (m.m_iMode == mode)
        return;
    m.m_iMode = mode;
    FillSizes();
}

void CAcquireXPS_ImgPage::OnScanBtn(int scan)
{
    CXpsImgModel& m = S().m_Img;
    if (m.m_iScan == scan)
        return;
    m.m_iScan = scan;
    m_cbxSize->setEnabled(scan == 0);
    m_edtStep->setReadOnly(scan == 0);
}

void CAcquireXPS_ImgPage::OnUpdateBtn()
{
    if (m_pAcqXPS->IsRunBusy() || !UpdateData(true))
        return;
    CASCU* ascu = AcqHost().ascu;
    const int result = ascu ? ascu->Command("MD MP", 500, 50) : 2305;
    if (result != 0) {
        AfxMessageBox(unsigned(result));
        return;
    }
    double area[4] = {};
    ascu->GetMapArea(area);
    CXpsImgModel& m = S().m_Img;
    m.m_dX1 = area[0];
    m.m_dY1 = area[1];
    m.m_dX2 = area[2];
    m.m_dY2 = area[3];
    Refresh();
}

void CAcquireXPS_ImgPage::SetEngineBusy(bool busy)
{
    if (IsBuilt())
        m_updateBtn->setEnabled(!busy);
}
