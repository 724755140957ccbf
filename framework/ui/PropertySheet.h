#pragma once
// Property sheets: a dialog with one tab per page and OK, Cancel and Apply.
// A page is built when first shown; leaving it validates it (OnKillActive),
// OK validates the active page and then calls OnOK of every page built.

#include "framework/ui/Dialog.h"

#include <QWidget>
#include <string>
#include <vector>

class QTabWidget;
class QPushButton;
class CPropertySheet;

class CPropertyPage : public QWidget, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CPropertyPage(const QString& caption = QString());
    ~CPropertyPage() override;

    CPropertySheet* GetSheet() const { return m_pSheet; }
    bool IsBuilt() const { return m_bBuilt; }
    bool UpdateData(bool bSaveAndValidate = true);
    void SetModified(bool bChanged = true);

    virtual bool OnInitDialog(); // once, when the page is first shown
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual bool OnSetActive();
    virtual bool OnKillActive(); // validates; false keeps the page
    virtual void OnOK();
    virtual void OnCancel();
    virtual bool OnApply(); // OnOK, then true

private:
    friend class CPropertySheet;
    CPropertySheet* m_pSheet = nullptr;
    bool m_bBuilt = false;
};

class CPropertySheet : public CDialog
{
    Q_OBJECT
public:
    explicit CPropertySheet(const QString& caption, QWidget* parent = nullptr, int iSelectPage = 0);
    // Pages that outlive the sheet are handed back, not deleted.
    ~CPropertySheet() override;

    // The page is shown in the sheet but not owned by it.
    // Pages get their tabs when the sheet is first shown.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage* GetPage(int i) const { return m_pages.at(size_t(i)); }
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    bool SetActivePage(int i);
    QPushButton* GetApplyButton() const { return m_pApply; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    virtual void OnApplyNow();

private:
    friend class CPropertyPage;
    void RemovePage(CPropertyPage* page);
    void BuildLayout();
    void OnTabChanged(int index);
    // The next (step 1) or previous (-1) page that can be shown, round the end.
    void TurnPage(int step);
    QTabWidget* m_pTabs = nullptr;
    QPushButton* m_pApply = nullptr;
    std::vector<CPropertyPage*> m_pages;
    int m_iStartPage;
    int m_iCurrent = -1;
    bool m_bSwitching = false;
};
