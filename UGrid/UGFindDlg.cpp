#include "UGrid/UGFindDlg.h"

#include "UGrid/UGDC.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CUGFindDlg::CUGFindDlg(CUGCtrlCore* ctrl, bool replace, QWidget* parent) : QDialog(parent), m_ctrl(ctrl)
{
    setObjectName(replace ? QStringLiteral("UGReplaceDlg") : QStringLiteral("UGFindDlg"));
    setWindowTitle(replace ? tr("Replace") : tr("Find"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* fields = new QGridLayout;
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("findText"));
    auto* findLabel = new QLabel(tr("Fi&nd what:"), this);
    findLabel->setBuddy(m_find);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_find, 0, 1);
    if (replace) {
        m_replace = new QLineEdit(this);
        m_replace->setObjectName(QStringLiteral("replaceText"));
        auto* replaceLabel = new QLabel(tr("Re&place with:"), this);
        replaceLabel->setBuddy(m_replace);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(m_replace, 1, 1);
    }
    // The common dialog's whole-word box matches whole cells here.
    m_whole = new QCheckBox(tr("Match &whole word only"), this);
    m_whole->setObjectName(QStringLiteral("wholeCell"));
    m_case = new QCheckBox(tr("Match &case"), this);
    m_case->setObjectName(QStringLiteral("matchCase"));
    for (QCheckBox* box : findChildren<QCheckBox*>())
        if (box->text().contains(QStringLiteral("&whole word"))) {
            box->setText(tr("Match &entire cell text"));
            break;
        }

    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(m_whole);
    checks->addWidget(m_case);
    options->addLayout(checks);
    m_down = new QRadioButton(tr("&Down"), this);
    m_down->setObjectName(QStringLiteral("down"));
    m_down->setChecked(true);
    if (!replace) {
        auto* direction = new QGroupBox(tr("Direction"), this);
        auto* dirRow = new QHBoxLayout(direction);
        auto* up = new QRadioButton(tr("&Up"), direction);
        up->setObjectName(QStringLiteral("up"));
        dirRow->addWidget(up);
        m_down->setParent(direction);
        dirRow->addWidget(m_down);
        options->addWidget(direction);
    } else {
        m_down->hide();
    }
    left->addLayout(options);

    auto* buttons = new QVBoxLayout;
    auto* findNext = new QPushButton(tr("&Find Next"), this);
    findNext->setObjectName(QStringLiteral("findNext"));
    findNext->setDefault(true);
    buttons->addWidget(findNext);
    connect(findNext, &QPushButton::clicked, this, [this] { Send(CUGCtrlCore::FindRequest::FindNext); });
    if (replace) {
        auto* one = new QPushButton(tr("&Replace"), this);
        one->setObjectName(QStringLiteral("replace"));
        auto* all = new QPushButton(tr("Replace &All"), this);
        all->setObjectName(QStringLiteral("replaceAll"));
        buttons->addWidget(one);
        buttons->addWidget(all);
        connect(one, &QPushButton::clicked, this, [this] { Send(CUGCtrlCore::FindRequest::Replace); });
        connect(all, &QPushButton::clicked, this, [this] { Send(CUGCtrlCore::FindRequest::ReplaceAll); });
    }
    // With nothing to search for, every cell with any text would match.
    auto enableSearch = [this, findNext] {
        const bool any = !m_find->text().isEmpty();
        findNext->setEnabled(any);
        for (const char* name : {"replace", "replaceAll"})
            if (auto* button = findChild<QPushButton*>(QLatin1String(name)))
                button->setEnabled(any);
    };
    connect(m_find, &QLineEdit::textChanged, this, enableSearch);
    enableSearch();
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);
}

void CUGFindDlg::Send(CUGCtrlCore::FindRequest::Kind kind)
{
    CUGCtrlCore::FindRequest request;
    request.kind = kind;
    request.find = UGToCp1252(m_find->text());
    if (m_replace)
        request.replace = UGToCp1252(m_replace->text());
    request.matchCase = m_case->isChecked();
    request.wholeCell = m_whole->isChecked();
    request.down = m_down->isChecked();
    m_ctrl->OnFindReplace(request);
}

void CUGFindDlg::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        Send(CUGCtrlCore::FindRequest::Closing);
    }
    QDialog::closeEvent(event);
}
