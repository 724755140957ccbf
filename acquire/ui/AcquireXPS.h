#pragma once
// The XPS acquisition sheet and its six pages. The values live in a
// toolkit-free set-up (acquire/core/XpsSetup.h), which implements what the
// records read when Start builds the new document; the pages show and edit
// it. A settings file is read into a fresh set-up that replaces the sheet's
// only once the whole file was read.

#include "acquire/core/XpsSetup.h"
#include "acquire/ui/AcquireSheetBase.h"
#include "acquire/ui/LevelTableGrid.h"
#include "data/Update.h"
#include "framework/ui/AppMessage.h"

#include <QPointer>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;
class CAcquireXPSSheet;
class CPkLibElement;

#if __has_include("instrument/Acquire.h")
#include "instrument/Acquire.h"
#else
enum : unsigned
{
    WMAPP_ACQ_START = 0x8001,
    WMAPP_ACQ_END = 0x8002,
};
#endif

enum : unsigned
{
    WMAPP_XRAYS_ON = 0x8010,
    WMAPP_XRAYS_OFF = 0x8011,
    WMAPP_XRAYS_UPDATE = 0x8012,
};

// A page of the XPS sheet: reaches the set-up through its sheet.
class CXpsPage : public CAcquire_Page
{
    Q_OBJECT
public:
    using CAcquire_Page::CAcquire_Page;
    virtual void SetParentSheet(CAcquireXPSSheet* pSheet);
    CXpsSetup& S() const;
    // The page shows the set-up again (after a load, a unit or group change).
    virtual void Refresh() {}

protected:
    CAcquireXPSSheet* m_pAcqXPS = nullptr;
};

class CAcquireXPS_ExpPage : public CXpsPage
{
    Q_OBJECT
public:
    CAcquireXPS_ExpPage();
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override;
    void OnExperimentBtn(int exp);
    void OnMovementBtn(int move);
    void OnPosnKillFocus(int move);
    void OnBrowse();

private:
    void SetExperimentBtns();
    void SetMovementBtns();
    void EnablePosnControls();
    QRadioButton* m_exp[6] = {};
    QRadioButton* m_move[6] = {};
    QLineEdit* m_posns[6] = {}; // Normal, Linear, Memory, Rotary
    QLineEdit* m_file = nullptr;
    QPlainTextEdit* m_comment = nullptr;
};

class CAcquireXPS_SrcPage : public CXpsPage, public IAppMessageHandler
{
    Q_OBJECT
public:
    static constexpr int XrayTimeout = 60000;
    CAcquireXPS_SrcPage();
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override;
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    void OnAnode(int type);
    void OnXraysOnBtn();
    void OnXraysOffBtn();
    void OnXrayUpdateBtn();
    // The engine started or ended: source requests only while it is inactive.
    void SetEngineBusy(bool busy);
    // A loaded source replaces the page's, unless it needs a change of anode while the X-rays are on.
    void TakeLoaded(const CXpsSrcModel& loaded, bool fromDocument, const std::string& title);
    bool IsXraysOn() const { return m_bXraysOn; }
    bool IsWorking() const { return m_bWorking; }

private:
    std::string Command(const char* op) const;
    void StartWorker(unsigned message, const char* op, int timeoutMs);
    void SetEditControls();
    void ShowOnState(bool on);
    QRadioButton* m_anode[3] = {};
    QLineEdit *m_volts = nullptr, *m_current = nullptr, *m_energy = nullptr;
    QCheckBox* m_auto = nullptr;
    QPushButton *m_on = nullptr, *m_off = nullptr, *m_update = nullptr;
    bool m_bXraysOn = false;
    bool m_bWorking = false;
    bool m_bEngineBusy = false;
};

class CAcquireXPS_StgPage : public CXpsPage
{
    Q_OBJECT
public:
    static constexpr int nMinNumRows = 11;
    CAcquireXPS_StgPage();
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void Refresh() override;

    void OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    int OnEditStart(int col, long row, CWnd** edit) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow) override;
    int OnCellTypeNotify(long id, int col, long row, long msg, long param) override;

    void OnChangeGroupEdit();
    void OnSelChangeGroupList();
    void OnAddButton();
    void OnDeleteButton();
    void UpdateGrid();

private:
    void SetUpGrid();
    bool SelectRow(long row);
    bool GroupCellLocked() const;
    std::vector<CAcquireXPS_Stg::CGridRow> m_GridCopy;
    QListWidget* m_list = nullptr;
    QLineEdit* m_edit = nullptr;
    QPushButton *m_add = nullptr, *m_delete = nullptr;
    QWidget* m_gridHolder = nullptr;
};

class CAcquireXPS_PrfPage : public CXpsPage
{
    Q_OBJECT
public:
    static constexpr int nMinNumRows = 11;
    CAcquireXPS_PrfPage();
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override;

    void OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed) override;
    int OnEditStart(int col, long row, CWnd** edit) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow) override;

    void SetIonGunControls();
    void OnGroupCloseUp();
    void UpdateGrid();

private:
    CLevelTableGrid m_table{m_Grid, nMinNumRows};
    QCheckBox *m_manual = nullptr, *m_fast = nullptr;
    QRadioButton *m_mied = nullptr, *m_hsig = nullptr;
    QComboBox *m_preset = nullptr, *m_duty = nullptr, *m_group = nullptr;
    QWidget* m_gridHolder = nullptr;
};

class CAcquireXPS_RgnPage : public CXpsPage
{
    Q_OBJECT
public:
    static constexpr int nMinNumCols = 6;
    enum Rows
    {
        Element,
        Region,
        Start,
        Finish,
        Step,
        Dwell,
        Pass,
        Scans,
        Repeat,
    };
    CAcquireXPS_RgnPage();
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void Refresh() override;

    int OnCellTypeNotify(long id, int col, long row, long msg, long param) override;
    int OnEditVerify(int col, long row, CWnd* edit, UINT* key) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;

    // The periodic table's requests.
    void AddRegion(const CPkLibElement* element, int peak);
    void OnRegionDeleted(int index);
    void UpdateRegion(const CPkLibElement* element, int column, int peak);
    void OnPeriodicTable();
    std::vector<CRegion*>* RgnList() { return m_pRgnList; }

private:
    void FillColumn(int col);
    void AddColumn();
    void ShowTable();
    double Shown(double ke) const;
    double Stored(double shown) const;
    std::vector<CRegion*>* m_pRgnList = nullptr;
    std::string m_csElementList;
    QComboBox* m_group = nullptr;
    QRadioButton *m_scan[2] = {}, *m_mode[2] = {};
    QPushButton* m_periodic = nullptr;
    QWidget* m_gridHolder = nullptr;
};

class CAcquireXPS_ImgPage : public CXpsPage
{
    Q_OBJECT
public:
    CAcquireXPS_ImgPage();
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnSetActive() override;
    void Refresh() override;
    void OnUpdateBtn();
    void OnModeBtn(int mode);
    void OnScanBtn(int scan);
    void SetEngineBusy(bool busy);

private:
    void FillSizes();
    QLineEdit* m_area[4] = {};
    QPushButton* m_updateBtn = nullptr;
    QRadioButton *m_modeBtn[2] = {}, *m_scanBtn[2] = {};
    QComboBox* m_cbxSize = nullptr;
    QLineEdit* m_edtStep = nullptr;
};

class CAcquireXPSSheet : public CAcquire_Sheet, public IAppMessageHandler
{
    Q_OBJECT
public:
    explicit CAcquireXPSSheet(QWidget* parent = nullptr);
    ~CAcquireXPSSheet() override;

    CXpsSetup& Setup() { return *m_pSetup; }
    CAcquireXPS_ExpPage& ExpPage() { return m_ExpPage; }
    CAcquireXPS_SrcPage& SrcPage() { return m_SrcPage; }
    CAcquireXPS_StgPage& StgPage() { return m_StgPage; }
    CAcquireXPS_PrfPage& PrfPage() { return m_PrfPage; }
    CAcquireXPS_RgnPage& RgnPage() { return m_RgnPage; }
    CAcquireXPS_ImgPage& ImgPage() { return m_ImgPage; }

    int DoModal() override { return -1; } // modeless only
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    // The energy unit changed: the regions page shows the new unit.
    void OnUnitChange();
    // A run of this sheet is being prepared or goes, or the engine works for another.
    bool IsRunBusy() const;

    // Commands, public for the main frame's tests.
    void OnStart() override;
    // Settings file or data file, given its path (Open after the dialog).
    void OpenFile(const std::string& path) override;
    // A whole set-up takes the place of the sheet's; the X-ray source keeps
    // its state; group 0 becomes current and the pages show the new values.
    void TakeSetup(std::unique_ptr<CXpsSetup> setup, bool fromDocument = false,
                   const std::string& title = {});
    void SaveFile(const std::string& path) override;

protected:
    bool OnInitDialog() override;
    // The checks of Start; throws CAcqException.
    void Check() const;

private:
    void SetEngineBusy(bool busy);
    void RefreshPages();
    bool StartDocument();

    std::unique_ptr<CXpsSetup> m_pSetup;
    CAcquireXPS_ExpPage m_ExpPage;
    CAcquireXPS_SrcPage m_SrcPage;
    CAcquireXPS_StgPage m_StgPage;
    CAcquireXPS_PrfPage m_PrfPage;
    CAcquireXPS_RgnPage m_RgnPage;
    CAcquireXPS_ImgPage m_ImgPage;
    bool m_bStarting = false; // between Start and the engine's end message
    bool m_bStarted = false;  // the engine's start message came for this run
    // Gives the buttons back when the engine ends a run whose preparation
    // failed: it then posts neither the start nor the end message.
    QTimer* m_pWatch = nullptr;
};

// The instrument as the XPS pages need it, read from the host's links.
SXpsInstrument CurrentXpsInstrument();
