#include "acquire/ui/AesExpPage.h"

#include "acquire/ui/AcqHost.h"
#include "acquire/ui/AcquireAES.h"
#include "acquire/ui/TableHelpers.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using AcqTable::Cp;
using AcqTable::Q;

CAcquireAES_ExpPage::CAcquireAES_ExpPage(QWidget*) : CAesPage(QStringLiteral(" Experiment "))
{
    setObjectName(QStringLiteral("IDD_ACQ_AESEXP"));
}

bool CAcquireAES_ExpPage::OnInitDialog()
{
    static const char* names[6] = {"IDC_ACQAESEXP_WDSCAN",     "IDC_ACQAESEXP_NWSCAN",
                                   "IDC_ACQAESEXP_PRF",        "IDC_ACQAESEXP_FASTPRF",
                                   "IDC_ACQAESEXP_AUGERIMAGE", "IDC_ACQAESEXP_SEIMAGE"};
    static const char* texts[6] = {"Wide scan",    "Narrow scan", "Profile",
                                   "Fast profile", "Auger Image", "SE Image"};

    auto* expBox = new QGroupBox(QStringLiteral("Experiment Type"), this);
    auto* expLayout = new QVBoxLayout(expBox);
    auto* group = new QButtonGroup(expBox);
    for (int i = 0; i < 6; ++i) {
        m_exp[i] = new QRadioButton(QString::fromLatin1(texts[i]), expBox);
        m_exp[i]->setObjectName(QString::fromLatin1(names[i]));
        expLayout->addWidget(m_exp[i]);
        group->addButton(m_exp[i], i);
        SafeConnect(m_exp[i], &QRadioButton::clicked, this, [this, i](bool) { OnExpBtn(i); });
    }
    expLayout->addStretch(1);

    auto* fileBox = new QGroupBox(QStringLiteral("Filename"), this);
    auto* fileLayout = new QHBoxLayout(fileBox);
    m_file = new QLineEdit(fileBox);
    m_file->setObjectName(QStringLiteral("IDC_ACQAESEXP_FILENAME"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), fileBox);
    browse->setObjectName(QStringLiteral("IDC_ACQAESEXP_BROWSE"));
    browse->setAutoDefault(false);
    fileLayout->addWidget(m_file, 1);
    fileLayout->addWidget(browse);
    SafeConnect(browse, &QPushButton::clicked, this, [this](bool) { OnBrowse(); });
    SafeConnect(m_file, &QLineEdit::textEdited, this,
                [this](const QString& text) { S().m_Exp.m_csFileName = text.toStdString(); });

    auto* commentBox = new QGroupBox(QStringLiteral("Comment"), this);
    auto* commentLayout = new QVBoxLayout(commentBox);
    m_comment = new QPlainTextEdit(commentBox);
    m_comment->setObjectName(QStringLiteral("IDC_ACQAESEXP_COMMENT"));
    m_comment->setTabChangesFocus(true);
    commentLayout->addWidget(m_comment);
    SafeConnect(m_comment, &QPlainTextEdit::textChanged, this,
                [this] { S().m_Exp.m_csComment = Cp(m_comment->toPlainText()); });

    auto* right = new QVBoxLayout;
    right->addWidget(fileBox);
    right->addWidget(commentBox, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(expBox);
    layout->addLayout(right, 1);

    Refresh();
    return true;
}

void CAcquireAES_ExpPage::Refresh()
{
    const CAesExpModel& e = S().m_Exp;
    for (int i = 0; i < 6; ++i)
        m_exp[i]->setChecked(e.m_iExperiment == i);
    // A profile type chosen earlier stays chosen when it is no longer offered.
    const bool offered = S().ProfileOffered();
    m_exp[CAcquireAES::Profile]->setEnabled(offered);
    m_exp[CAcquireAES::FastProfile]->setEnabled(offered);
    if (m_file->text() != ToQString(e.m_csFileName))
        m_file->setText(ToQString(e.m_csFileName));
    if (Cp(m_comment->toPlainText()) != e.m_csComment)
        m_comment->setPlainText(Q(e.m_csComment));
}

bool CAcquireAES_ExpPage::OnSetActive()
{
    if (!IsBuilt())
        return CAesPage::OnSetActive();
    Refresh();
    return true;
}

void CAcquireAES_ExpPage::DoDataExchange(CDataExchange* pDX)
{
    CAesExpModel& e = S().m_Exp;
    // The file name is a path as the system spells it (UTF-8), not record text;
    // one from an older set-up file may still be cp1252, and is shown as such.
    if (pDX->m_bSaveAndValidate)
        e.m_csFileName = m_file->text().toStdString();
    else
        m_file->setText(ToQString(e.m_csFileName));
    if (pDX->m_bSaveAndValidate)
        e.m_csComment = Cp(m_comment->toPlainText());
}

void CAcquireAES_ExpPage::OnExpBtn(int exp)
{
    S().m_Exp.m_iExperiment = exp;
    if (m_pAcqAES) {
        m_pAcqAES->RgnPage().OnExpTypeChange();
        // Points or areas, or nothing, on the set-up image.
        m_pAcqAES->ScnPage().Refresh();
    } else
        S().m_Rgn.OnExpTypeChange(exp);
}

void CAcquireAES_ExpPage::OnBrowse()
{
    std::string path;
    if (AcqHost().fileName && AcqHost().fileName(path, false, nullptr)) {
        S().m_Exp.m_csFileName = path;
        m_file->setText(QString::fromStdString(path));
    }
}
