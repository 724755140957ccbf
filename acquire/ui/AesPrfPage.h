#pragma once
// The AES profiling page: the etch levels of a depth profile in a level
// table, Manual Etch and Rotate, and the totals.
#include "acquire/core/AcquireGroup.h"
#include "acquire/ui/AesPage.h"
#include "acquire/ui/LevelTableGrid.h"

class QCheckBox;
class QPushButton;

class CAcquireAES_PrfPage : public CAesPage
{
    Q_OBJECT
public:
    static constexpr int nMinNumRows = 10;
    explicit CAcquireAES_PrfPage(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override;
    void OnReset();
    void OnClear();
    void UpdateGrid();

    void OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    int OnEditStart(int col, long row, CWnd** edit) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow) override;

private:
    bool IsProfile() const;
    CLevelTableGrid m_table{m_Grid, nMinNumRows};
    QCheckBox *m_manual = nullptr, *m_rotate = nullptr;
};
