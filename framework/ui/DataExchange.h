#pragma once
// Data exchange between dialog members and controls. Controls are found by
// their objectName (the design's control symbol). Reading a control that holds
// no valid value, or a value outside its range, shows the framework's message,
// puts the focus on the control and abandons the exchange (CUserException).
// Numbers are read and written without the locale.

#include <QWidget>
#include <string>

class CDataExchange
{
public:
    CDataExchange(QWidget* dlg, bool bSaveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(bSaveAndValidate)
    {
    }

    // The control named name; throws std::logic_error when the layout lacks it.
    QWidget* PrepareCtrl(const char* name);
    // Shows nothing more, focuses the last prepared control and throws CUserException.
    [[noreturn]] void Fail();

    QWidget* m_pDlgWnd;
    bool m_bSaveAndValidate;
    QWidget* m_pCurCtrl = nullptr;
};

// Edit fields (QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox with an edit,
// QLabel for output only).
void DDX_Text(CDataExchange* pDX, const char* ctrl, int& value);
void DDX_Text(CDataExchange* pDX, const char* ctrl, unsigned& value);
void DDX_Text(CDataExchange* pDX, const char* ctrl, double& value);
// Text in code page 1252, as records hold it.
void DDX_Text(CDataExchange* pDX, const char* ctrl, std::string& value);
// Check box: 0 unchecked, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, const char* ctrl, int& value);
// Radio group starting with ctrl: the radios of its QButtonGroup, else the
// radio buttons that follow it among its parent's children. -1: none checked.
void DDX_Radio(CDataExchange* pDX, const char* firstCtrl, int& value);

// Range checks; they act only while saving, on the last prepared control.
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minVal, unsigned maxVal);
void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal);
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars);

// Locale-free text of a double as the exchange writes it ("%.15g").
std::string DoubleToText(double value);
// Locale-free parse of a whole text (blanks around allowed); false when it is no number.
bool TextToDouble(const std::string& text, double& value);
bool TextToInt(const std::string& text, long long& value);
