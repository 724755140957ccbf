#pragma once
// The AES experiment page: the kind of experiment, the data-file name and a
// comment. The two profile types are offered only when the sample can be
// etched (an ion gun or Manual Etch).
#include "acquire/ui/AesPage.h"

class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

class CAcquireAES_ExpPage : public CAesPage
{
    Q_OBJECT
public:
    explicit CAcquireAES_ExpPage(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override;
    void OnExpBtn(int exp);
    void OnBrowse();

private:
    QRadioButton* m_exp[6] = {};
    QLineEdit* m_file = nullptr;
    QPlainTextEdit* m_comment = nullptr;
};
