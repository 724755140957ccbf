#pragma once
// The Configuration dialog (143): shows what the links found at start-up and
// edits the energy offset, the AES detection mode, the detector, the enabled
// motors and the sample holder. OK writes them to the machine configuration.
//
// The dialog works on its own copy of the values: a value refused by the
// validation, or a dialog cancelled after one, never reaches the
// configuration in force.

#include "framework/ui/Dialog.h"
#include "instrument/Config.h"

class QRadioButton;

class CConfigDlg : public CDialog
{
    Q_OBJECT
public:
    // Control ids of the layout; each control's objectName is "id_" and its id.
    enum : unsigned
    {
        IdXMotor = 4500,
        IdYMotor = 4501,
        IdPhiMotor = 4502,
        IdTiltMotor = 4503,
        IdLoadMotor = 4504,
        IdTechniques = 4506,
        IdAnalyser = 4507,
        IdStage = 4508,
        IdIonGuns = 4509,
        IdMonochromator = 4510,
        IdASCUPort = 4511,
        IdAPMSDPort = 4512,
        IdOffset = 4513,
        IdStandard = 4534,
        IdLarge = 4535,
        IdSingle = 4536,
        IdMultiple = 4537,
        IdDirect = 4710,
        IdDifferential = 4711,
    };
    static QString CtrlName(unsigned id);

    explicit CConfigDlg(CConfig& config, QWidget* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void BuildLayout();

    CConfig& m_config;
    CConfig::SDialogValues m_values;
    QRadioButton* m_btnSingle = nullptr;
    QRadioButton* m_btnMultiple = nullptr;
    QRadioButton* m_btnStandard = nullptr;
    QRadioButton* m_btnLarge = nullptr;
};
