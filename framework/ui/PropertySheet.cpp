#include "framework/ui/PropertySheet.h"

#include "framework/ui/Guard.h"
#include "platform/MessageSink.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

CPropertyPage::CPropertyPage(const QString& caption)
{
    setWindowTitle(caption);
}

CPropertyPage::~CPropertyPage()
{
    // Leave the sheet before the widget goes, so the tab change this causes
    // never reaches a page being destroyed.
    if (m_pSheet)
        m_pSheet->RemovePage(this);
}

bool CPropertyPage::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    return SafeInvoke([&] { DoDataExchange(&dx); });
}

void CPropertyPage::SetModified(bool bChanged)
{
    if (m_pSheet && m_pSheet->GetApplyButton())
        m_pSheet->GetApplyButton()->setEnabled(bChanged);
}

bool CPropertyPage::OnInitDialog()
{
    return UpdateData(false);
}

void CPropertyPage::DoDataExchange(CDataExchange*) {}

bool CPropertyPage::OnSetActive()
{
    if (!m_bBuilt) {
        m_bBuilt = true;
        return OnInitDialog();
    }
    return true;
}

bool CPropertyPage::OnKillActive()
{
    return UpdateData(true);
}

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

bool CPropertyPage::OnApply()
{
    OnOK();
    return true;
}

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parent, int iSelectPage)
    : CDialog(parent), m_iStartPage(iSelectPage)
{
    setWindowTitle(caption);
}

void CPropertySheet::BuildLayout()
{
    // Built when first shown: a sheet made only for its defaults costs nothing more.
    if (m_pTabs)
        return;
    m_pTabs = new QTabWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_pApply = buttons->button(QDialogButtonBox::Apply);
    m_pApply->setEnabled(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    SafeConnect(m_pApply, &QPushButton::clicked, this, [this](bool) { OnApplyNow(); });
    m_bSwitching = true;
    for (CPropertyPage* page : m_pages)
        m_pTabs->addTab(page, page->windowTitle());
    m_bSwitching = false;
    SafeConnect(m_pTabs, &QTabWidget::currentChanged, this, [this](int i) { OnTabChanged(i); });
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages wherever the focus is: the
    // page control sees them only when no control on the page (a drop-down
    // list, a grid) has taken them first.
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    auto* back = new QShortcut(this);
    back->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    SafeConnect(next, &QShortcut::activated, this, [this] { TurnPage(1); });
    SafeConnect(back, &QShortcut::activated, this, [this] { TurnPage(-1); });
}

void CPropertySheet::TurnPage(int step)
{
    const int n = m_pTabs->count();
    for (int k = 1; k < n; ++k) {
        const int i = ((m_pTabs->currentIndex() + step * k) % n + n) % n;
        if (m_pTabs->isTabEnabled(i) && m_pTabs->isTabVisible(i)) {
            m_pTabs->setCurrentIndex(i);
            return;
        }
    }
}

CPropertySheet::~CPropertySheet()
{
    m_bSwitching = true;
    for (CPropertyPage* p : m_pages) {
        p->m_pSheet = nullptr;
        p->setParent(nullptr);
    }
    m_pages.clear();
}

void CPropertySheet::RemovePage(CPropertyPage* page)
{
    auto it = std::find(m_pages.begin(), m_pages.end(), page);
    if (it == m_pages.end())
        return;
    int index = int(it - m_pages.begin());
    m_bSwitching = true;
    if (m_pTabs)
        m_pTabs->removeTab(index);
    m_pages.erase(it);
    page->m_pSheet = nullptr;
    if (m_iCurrent == index)
        m_iCurrent = -1;
    else if (m_iCurrent > index)
        --m_iCurrent;
    m_bSwitching = false;
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    page->m_pSheet = this;
    m_pages.push_back(page);
    if (!m_pTabs) {
        page->hide();
        return;
    }
    m_bSwitching = true;
    m_pTabs->addTab(page, page->windowTitle());
    m_bSwitching = false;
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    int i = GetActiveIndex();
    return i < 0 ? nullptr : m_pages[size_t(i)];
}

int CPropertySheet::GetActiveIndex() const
{
    return m_iCurrent;
}

bool CPropertySheet::SetActivePage(int i)
{
    if (i < 0 || i >= GetPageCount())
        return false;
    if (!m_pTabs) {
        m_iStartPage = i;
        return true;
    }
    m_pTabs->setCurrentIndex(i);
    return m_iCurrent == i;
}

bool CPropertySheet::OnInitDialog()
{
    BuildLayout();
    m_iCurrent = -1;
    int start = m_iStartPage >= 0 && m_iStartPage < GetPageCount() ? m_iStartPage : 0;
    if (m_pages.empty())
        return true;
    m_bSwitching = true;
    m_pTabs->setCurrentIndex(start);
    m_bSwitching = false;
    m_iCurrent = start;
    return m_pages[size_t(start)]->OnSetActive();
}

void CPropertySheet::OnTabChanged(int index)
{
    if (m_bSwitching || index == m_iCurrent || index < 0)
        return;
    // Leaving a page validates it; a refused value keeps the page in front.
    if (m_iCurrent >= 0 && !m_pages[size_t(m_iCurrent)]->OnKillActive()) {
        m_bSwitching = true;
        m_pTabs->setCurrentIndex(m_iCurrent);
        m_bSwitching = false;
        return;
    }
    m_iCurrent = index;
    m_pages[size_t(index)]->OnSetActive();
}

void CPropertySheet::OnOK()
{
    if (CPropertyPage* p = GetActivePage(); p && !p->OnKillActive())
        return;
    for (CPropertyPage* p : m_pages)
        if (p->IsBuilt())
            p->OnOK();
    EndDialog(IDOK);
}

void CPropertySheet::OnCancel()
{
    for (CPropertyPage* p : m_pages)
        if (p->IsBuilt())
            p->OnCancel();
    EndDialog(IDCANCEL);
}

void CPropertySheet::OnApplyNow()
{
    if (CPropertyPage* p = GetActivePage(); p && !p->OnKillActive())
        return;
    for (CPropertyPage* p : m_pages)
        if (p->IsBuilt() && !p->OnApply())
            return;
    if (m_pApply)
        m_pApply->setEnabled(false);
}
