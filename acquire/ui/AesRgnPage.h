#pragma once
// The AES regions page: one table column per region of the list that the
// experiment type uses, the scan and analyser modes. The regions and modes
// are the set-up's (CAesRgnModel); the page shows and edits them, and
// copies and pastes regions through the clipboard.
#include "acquire/ui/AesPage.h"

#include <string>

class CPkLibElement;
class QPushButton;
class QRadioButton;

class CAcquireAES_RgnPage : public CAesPage
{
    Q_OBJECT
public:
    static constexpr int nMinNumCols = 6;

    explicit CAcquireAES_RgnPage(QWidget* parent = nullptr);
    // The experiment page changed the experiment type.
    void OnExpTypeChange();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    void Refresh() override;

    int OnCellTypeNotify(long id, int col, long row, long msg, long param) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int, long, int*, long*) override { return 1; }
    int OnMenuStart(int col, long row, int section) override;
    void OnMenuCommand(int col, long row, int section, int item) override;

    // The periodic table's requests.
    void AddRegion(const CPkLibElement* element, int peak);
    void OnRegionDeleted(int index);
    // The checks at Start; throws CAcqException.
    void ErrorCheck() const;

    void OnPeriodicTable();
    void OnModeBtn(int id);
    void OnScanBtn(int id);

private:
    void AddColumn();
    void CopyToClipBoard(int col);
    void DeleteRegion(int col);
    void PasteFromClipBoard(int col);
    void SetColumn(int col, const CRegion* region);
    void UpdateRegion(const CPkLibElement* element, int col, int peak);
    void BlankColumn(int col);
    // A cell edit or a choice lands after the grid has finished with the cell.
    void Later(std::function<void()> f);

    std::string m_csElementList;
    std::string m_csNewLine = "\n";
    QPushButton* m_btnPeriodic = nullptr;
    QRadioButton *m_btnCAE = nullptr, *m_btnCRR = nullptr, *m_btnAcross = nullptr, *m_btnDown = nullptr;
    QWidget* m_gridHolder = nullptr;
};
