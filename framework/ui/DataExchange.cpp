#include "framework/ui/DataExchange.h"

#include "framework/ui/Resources.h"
#include "platform/Cp1252.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

std::string Trim(const std::string& s)
{
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

QString GetCtrlText(QWidget* w)
{
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
        return s->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    return w->windowTitle();
}

void SetCtrlText(QWidget* w, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* sb = qobject_cast<QSpinBox*>(w))
        sb->setValue(text.toInt());
    else if (auto* ds = qobject_cast<QDoubleSpinBox*>(w))
        ds->setValue(QLocale::c().toDouble(text));
    else if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable())
            c->setEditText(text);
        else
            c->setCurrentIndex(c->findText(text));
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else
        w->setWindowTitle(text);
}

std::string CtrlString(QWidget* w)
{
    return GetCtrlText(w).toStdString();
}

[[noreturn]] void FailWith(CDataExchange* pDX, const std::string& text)
{
    AfxMessageBox(text, MB_OK | MB_ICONWARNING);
    pDX->Fail();
}

} // namespace

QWidget* CDataExchange::PrepareCtrl(const char* name)
{
    QWidget* w = m_pDlgWnd->findChild<QWidget*>(QString::fromLatin1(name));
    if (!w)
        throw std::logic_error(std::string("dialog has no control ") + name);
    m_pCurCtrl = w;
    return w;
}

void CDataExchange::Fail()
{
    if (m_pCurCtrl) {
        m_pCurCtrl->setFocus();
        if (auto* e = qobject_cast<QLineEdit*>(m_pCurCtrl))
            e->selectAll();
    }
    throw CUserException();
}

std::string DoubleToText(double value)
{
    return FormatPrintf("%.15g", value);
}

bool TextToDouble(const std::string& text, double& value)
{
    std::string t = Trim(text);
    if (t.empty())
        return false;
    const char* b = t.data();
    if (*b == '+')
        ++b;
    double v = 0;
    auto [p, ec] = std::from_chars(b, t.data() + t.size(), v);
    // Edit fields take finite numbers only; "inf" and "nan" are no input.
    if (ec != std::errc() || p != t.data() + t.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool TextToInt(const std::string& text, long long& value)
{
    std::string t = Trim(text);
    if (t.empty())
        return false;
    const char* b = t.data();
    if (*b == '+')
        ++b;
    long long v = 0;
    auto [p, ec] = std::from_chars(b, t.data() + t.size(), v);
    if (ec != std::errc() || p != t.data() + t.size())
        return false;
    value = v;
    return true;
}

namespace {

// The text is parsed wide, then held to the range of the member it lands in.
template <typename T>
void ExchangeInteger(CDataExchange* pDX, const char* ctrl, T& value, unsigned parseErrorId)
{
    QWidget* w = pDX->PrepareCtrl(ctrl);
    if (!pDX->m_bSaveAndValidate) {
        SetCtrlText(w, QString::number(value));
        return;
    }
    long long v = 0;
    if (!TextToInt(CtrlString(w), v) || std::cmp_less(v, std::numeric_limits<T>::min()) ||
        std::cmp_greater(v, std::numeric_limits<T>::max()))
        FailWith(pDX, LoadString(parseErrorId));
    value = T(v);
}

} // namespace

void DDX_Text(CDataExchange* pDX, const char* ctrl, int& value)
{
    ExchangeInteger(pDX, ctrl, value, AFX_IDP_PARSE_INT);
}

void DDX_Text(CDataExchange* pDX, const char* ctrl, unsigned& value)
{
    ExchangeInteger(pDX, ctrl, value, AFX_IDP_PARSE_UINT);
}

void DDX_Text(CDataExchange* pDX, const char* ctrl, double& value)
{
    QWidget* w = pDX->PrepareCtrl(ctrl);
    if (!pDX->m_bSaveAndValidate) {
        SetCtrlText(w, QString::fromStdString(DoubleToText(value)));
        return;
    }
    if (auto* ds = qobject_cast<QDoubleSpinBox*>(w)) {
        value = ds->value();
        return;
    }
    double v = 0;
    if (!TextToDouble(CtrlString(w), v))
        FailWith(pDX, LoadString(AFX_IDP_PARSE_REAL));
    value = v;
}

void DDX_Text(CDataExchange* pDX, const char* ctrl, std::string& value)
{
    QWidget* w = pDX->PrepareCtrl(ctrl);
    if (!pDX->m_bSaveAndValidate)
        SetCtrlText(w, QString::fromStdString(Cp1252ToUtf8(value)));
    else
        value = Utf8ToCp1252(GetCtrlText(w).toStdString());
}

void DDX_Check(CDataExchange* pDX, const char* ctrl, int& value)
{
    auto* box = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(ctrl));
    if (!box)
        throw std::logic_error(std::string("control is no button: ") + ctrl);
    auto* check = qobject_cast<QCheckBox*>(box);
    if (!pDX->m_bSaveAndValidate) {
        if (check)
            check->setCheckState(value == 2 ? Qt::PartiallyChecked : value ? Qt::Checked : Qt::Unchecked);
        else
            box->setChecked(value != 0);
        return;
    }
    if (check)
        value = check->checkState() == Qt::PartiallyChecked ? 2 : check->isChecked() ? 1 : 0;
    else
        value = box->isChecked() ? 1 : 0;
}

void DDX_Radio(CDataExchange* pDX, const char* firstCtrl, int& value)
{
    auto* first = qobject_cast<QRadioButton*>(pDX->PrepareCtrl(firstCtrl));
    if (!first)
        throw std::logic_error(std::string("control is no radio button: ") + firstCtrl);
    QList<QAbstractButton*> group;
    if (QButtonGroup* bg = first->group()) {
        group = bg->buttons();
    } else {
        bool started = false;
        for (QObject* o : first->parentWidget()->children()) {
            if (o == first)
                started = true;
            if (!started)
                continue;
            auto* r = qobject_cast<QRadioButton*>(o);
            if (!r)
                break;
            group.append(r);
        }
    }
    if (!pDX->m_bSaveAndValidate) {
        // Clearing needs the exclusive behaviour off for a moment.
        for (int i = 0; i < group.size(); ++i) {
            group[i]->setAutoExclusive(false);
            group[i]->setChecked(i == value);
            group[i]->setAutoExclusive(true);
        }
        return;
    }
    value = -1;
    for (int i = 0; i < group.size(); ++i) {
        if (group[i]->isChecked()) {
            value = i;
            break;
        }
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        FailWith(pDX,
                 FormatMessageId(AFX_IDP_PARSE_INT_RANGE, {std::to_string(minVal), std::to_string(maxVal)}));
}

void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minVal, unsigned maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        FailWith(pDX,
                 FormatMessageId(AFX_IDP_PARSE_UINT_RANGE, {std::to_string(minVal), std::to_string(maxVal)}));
}

void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal)
{
    if (pDX->m_bSaveAndValidate && !(value >= minVal && value <= maxVal))
        FailWith(pDX, FormatMessageId(AFX_IDP_PARSE_REAL_RANGE,
                                      {FormatPrintf("%g", minVal), FormatPrintf("%g", maxVal)}));
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars)
{
    if (pDX->m_bSaveAndValidate && value.size() > size_t(nChars))
        FailWith(pDX, FormatMessageId(AFX_IDP_PARSE_STRING_SIZE, {std::to_string(nChars)}));
}
