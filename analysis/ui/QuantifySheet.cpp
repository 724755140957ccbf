#include "analysis/ui/QuantifySheet.h"

#include "UGrid/UGEdit.h"
#include "analysis/core/QuantifyCalc.h"
#include "analysis/ui/SheetLayout.h"
#include "app/Legend.h"
#include "app/SpecViewBase.h"
#include "app/Veltrane.h"
#include "app/VeltraneView.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Experiment.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/FileDialog.h"
#include "framework/ui/Guard.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/Resources.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

namespace {

constexpr unsigned IDS_AESLIB_FAILED = 2384;
constexpr unsigned IDS_NO_REGIONS = 5184;
constexpr unsigned IDS_LOAD_SELECTED_LIB = 5185;
constexpr unsigned IDS_ENERGY_CHANGED = 5186;
constexpr unsigned IDS_FILE_DIALOG_ERROR = 2064;
const char* const kQuantSection = "Quant";
constexpr int kRemembered = 4;
// The frame's pane ids while the profile stands in: the spectrum view steps
// aside to the second.
constexpr unsigned kSavedPaneID = CView::FirstPaneID + 1;

QString Text(unsigned id)
{
    return ToQString(LoadString(id));
}

QString Id(unsigned id)
{
    return QStringLiteral("id_%1").arg(id);
}

// "%f" in the C locale.
std::string Fixed(double v)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("nan");
}

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// The leading decimal number of a text, 0 when there is none.
double LeadingNumber(const std::string& s)
{
    double v = 0.0;
    const char* p = s.data();
    const char* e = p + s.size();
    while (p < e && (*p == ' ' || *p == '\t'))
        ++p;
    const auto r = std::from_chars(p, e, v, std::chars_format::fixed | std::chars_format::scientific);
    return r.ec == std::errc() && std::isfinite(v) ? v : 0.0;
}

std::string ProgramFolder()
{
    return CUtility::GetModulePath();
}

// Carried from one sheet to the next for the run.
struct SCarried
{
    double energy = 5.0;
    int file = -1;
    std::string path;
    int quantify = 1, calc = 0, dispMode = 0;
};
SCarried s_last;

} // namespace

// ---------------------------------------------------------------- Regions table

int CQuantify_RgnsGrid::s_pressedCol = -1;
long CQuantify_RgnsGrid::s_pressedRow = -1;

void CQuantify_RgnsGrid::OnSetup()
{
    m_Font = CFont(QApplication::font());
    EnableTextOverflow(FALSE);
    CUGCell cell;
    GetHeadingDefault(&cell);
    cell.SetFont(&m_Font);
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    SetHeadingDefault(&cell);
    GetGridDefault(&cell);
    cell.SetFont(&m_Font);
    cell.SetCellType(UGTYPE_NORMAL);
    cell.SetBorder(UG_BDR_RAISED);
    cell.SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    cell.SetReadOnly(TRUE);
    SetGridDefault(&cell);

    m_cellSelect = cell;
    m_cellSelect.SetCellType(UGTYPE_CHECKBOX);
    m_cellSelect.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    m_cellSelect.SetReadOnly(FALSE);
    std::string elements;
    if (m_pQuantify && m_pQuantify->IsAES()) {
        m_pQuantify->GetAESLib().GetElementList(elements, "\n");
    } else if (CVeltrane* app = CVeltrane::GetApp()) {
        app->m_PkLib.GetElementList(elements, "\n");
    }
    m_cellElement = cell;
    m_cellElement.SetCellType(UGTYPE_DROPLIST);
    m_cellElement.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    m_cellElement.SetLabel(elements.c_str());
    m_cellTransition = cell;
    m_cellTransition.SetCellType(UGTYPE_DROPLIST);
    m_cellTransition.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    m_cellRSF = cell;
    m_cellRSF.SetReadOnly(FALSE);
    m_cellRSF.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
    m_cellValue = cell;

    SetSideHdgWidth(0);
    SetHScrollHeight(0);
    SetColCount(5);
    const QFontMetrics fm(m_Font.Font());
    const int rowHeight = fm.height() + 4;
    SetUniformRowHeight(TRUE);
    SetDefRowHeight(rowHeight);
    SetTopHdgHeight(rowHeight);
    const unsigned headings[] = {1167, 1120, 1205, 1206, 1168};
    const int widths[] = {110, 64, 80, 80, 90};
    for (int c = 0; c < 5; ++c) {
        SetTextAt(c, -1, LoadString(headings[c]).c_str());
        SetColWidth(c, widths[c]);
    }
    Refresh();
}

CQuantifyRgn* CQuantify_RgnsGrid::Record(long row) const
{
    CQuantify::RgnList* list = m_pQuantify ? m_pQuantify->GetCurrentList() : nullptr;
    return list && row >= 0 && size_t(row) < list->size() ? &(*list)[size_t(row)] : nullptr;
}

void CQuantify_RgnsGrid::Refresh()
{
    CQuantify::RgnList* list = m_pQuantify ? m_pQuantify->GetCurrentList() : nullptr;
    const long n = list ? long(list->size()) : 0;
    // Two blank rows after the records, and never fewer than 8 rows.
    const long rows = n + 2 > 8 ? n + 2 : 8;
    SetRowCount(rows, FALSE);
    const int level = m_pQuantify && m_pQuantify->GetView() ? m_pQuantify->GetView()->GetCurrentLevel() : 0;
    CUGCell def;
    GetGridDefault(&def);
    for (long r = 0; r < rows; ++r) {
        const CQuantifyRgn* rec = r < n ? &(*list)[size_t(r)] : nullptr;
        if (!rec) {
            for (int c = 0; c < 5; ++c)
                SetCell(c, r, &def);
            continue;
        }
        CUGCell cell = m_cellSelect;
        cell.SetLabel(rec->m_csLabel.c_str());
        cell.SetText(rec->m_csLabel.c_str());
        cell.SetBool(rec->m_bSelected ? 1 : 0);
        SetCell(0, r, &cell);
        cell = m_cellElement;
        cell.SetText(rec->m_csElement.c_str());
        SetCell(1, r, &cell);
        std::string items;
        if (m_pQuantify->IsAES()) {
            m_pQuantify->GetAESLib().GetTransitionList(rec->m_csElement, items, "\n");
        } else if (CVeltrane* app = CVeltrane::GetApp()) {
            if (const CPkLibElement* el = app->m_PkLib.GetElement(rec->m_csElement))
                for (const CPkLibPeak& pk : el->GetPhotoPeaks())
                    items += pk.m_csRegion + "\n";
        }
        // The region's own transition stays offered when the library lacks it.
        const CSpecRgn* rgn = m_pQuantify->RegionOf(int(r));
        const std::string own = Trim(rgn ? rgn->GetRegion() : rec->m_csTransition) + "\n";
        if (!(items.compare(0, own.size(), own) == 0 || items.find("\n" + own) != std::string::npos))
            items = own + items;
        cell = m_cellTransition;
        cell.SetLabel(items.c_str());
        cell.SetText(rec->m_csTransition.c_str());
        SetCell(2, r, &cell);
        cell = m_cellRSF;
        cell.SetText(Fixed(rec->m_dRSF).c_str());
        SetCell(3, r, &cell);
        cell = m_cellValue;
        const bool has = rec->m_bSelected && level >= 0 && size_t(level) < rec->m_pdResults.size();
        cell.SetText(has ? Fixed(rec->m_pdResults[size_t(level)]).c_str() : "");
        SetCell(4, r, &cell);
    }
    RedrawAll();
}

void CQuantify_RgnsGrid::OnKeyDown(UINT* key, int processed)
{
    if (!key || *key != VK_RETURN || processed || IsEditing())
        return;
    const int col = GetCurrentCol();
    const long row = GetCurrentRow();
    *key = 0;
    OnLClicked(col, row, 1, nullptr, nullptr, 0);
    OnLClicked(col, row, 0, nullptr, nullptr, 0);
}

void CQuantify_RgnsGrid::OnLClicked(int col, long row, int updn, RECT*, POINT*, int processed)
{
    if (processed)
        return;
    if (updn) {
        s_pressedCol = col;
        s_pressedRow = row;
        return;
    }
    if (col != s_pressedCol || row != s_pressedRow || !Record(row))
        return;
    if (col == 3) {
        StartEditCell(col, row, 0);
    } else if (col == 0) {
        CUGCell cell;
        GetCell(0, row, &cell);
        cell.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
        cell.SetCellType(UGTYPE_NORMAL);
        cell.SetText(Record(row)->m_csLabel.c_str());
        SetCell(0, row, &cell);
        StartEditCell(col, row, 0);
    }
}

int CQuantify_RgnsGrid::OnCellTypeNotify(long, int col, long row, long msg, long param)
{
    CQuantifyRgn* rec = Record(row);
    if (!rec)
        return 0;
    if (msg == CTN_CHECK && col == 0) {
        rec->m_bSelected = rec->m_bSelected ? 0 : 1;
        if (!m_pQuantify->Recalculate(true)) {
            rec->m_bSelected = rec->m_bSelected ? 0 : 1;
            QApplication::beep();
        }
        return 1;
    }
    if (msg == CTN_SELECT && (col == 1 || col == 2)) {
        // The drop-down list passes the chosen item as a string object.
        const auto* item = reinterpret_cast<const std::string*>(param);
        (col == 1 ? rec->m_csElement : rec->m_csTransition) = item ? *item : std::string();
        m_pQuantify->SetRSF(*rec);
        m_pQuantify->Recalculate(false);
        return 0;
    }
    return 0;
}

int CQuantify_RgnsGrid::OnEditVerify(int col, long, CWnd* edit, UINT* vcKey)
{
    if (col != 3 || !vcKey)
        return 1;
    const UINT c = *vcKey;
    if (c < 0x20 || c == 0x7F)
        return 1;
    if (c == '.') {
        // One point to a factor: "1.2.5" would be read as 1.2 without a word.
        auto* e = qobject_cast<CUGEdit*>(edit);
        if (!e)
            return 1;
        const QTextCursor at = e->textCursor();
        const QString text = e->Text();
        return !(text.left(at.selectionStart()) + text.mid(at.selectionEnd())).contains(QLatin1Char('.'));
    }
    return c >= '0' && c <= '9';
}

int CQuantify_RgnsGrid::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    CQuantifyRgn* rec = Record(row);
    if (!rec)
        return 1;
    if (cancelFlag) {
        if (col == 0) {
            CUGCell cell = m_cellSelect;
            cell.SetLabel(rec->m_csLabel.c_str());
            cell.SetBool(rec->m_bSelected);
            SetCell(0, row, &cell);
            text = rec->m_csLabel;
        }
        return 1;
    }
    text = Trim(text);
    if (col == 0) {
        // A pasted label of several lines would break the export's table
        // apart: its line ends and tabs become spaces.
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
        rec->m_csLabel = text;
        CUGCell cell = m_cellSelect;
        cell.SetLabel(text.c_str());
        cell.SetBool(rec->m_bSelected);
        SetCell(0, row, &cell);
        // The profile's legend names the region by its label too.
        if (CQuantifyPrfView* prf = m_pQuantify->GetProfileView())
            prf->Refresh(false);
    } else if (col == 3) {
        // Pasted text passes no key filter: what typing could not enter (a
        // minus sign, an exponent) is dropped here too, so that no negative
        // factor turns a region's share negative.
        std::string typed;
        for (char c : text)
            if ((c >= '0' && c <= '9') || c == '.')
                typed += c;
        rec->m_dRSF = LeadingNumber(typed);
        text = Fixed(rec->m_dRSF);
        m_pQuantify->Recalculate(false);
    }
    return 1;
}

COLORREF CQuantify_RgnsGrid::OnGetDefBackColor(int)
{
    return UGGetSysColor(UG_COLOR_BTNFACE);
}

CQuantify_Rgns::CQuantify_Rgns() : CPropertyPage(QStringLiteral("Regions"))
{
    setObjectName(QStringLiteral("IDD_QUANTIFY_REGIONS"));
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(Id(IDC_QUANT_RGNSGRID));
    placeholder->setMinimumSize(430, 190);
    auto* l = new QVBoxLayout(this);
    l->addWidget(placeholder, 1);
}

bool CQuantify_Rgns::OnInitDialog()
{
    m_Grid.AttachToDlgItem(this, Id(IDC_QUANT_RGNSGRID));
    m_Grid.setMinimumSize(430, 190);
    m_Grid.Refresh();
    return CPropertyPage::OnInitDialog();
}

bool CQuantify_Rgns::OnSetActive()
{
    if (!CPropertyPage::OnSetActive())
        return false;
    if (IsBuilt())
        m_Grid.Refresh();
    return true;
}

// ---------------------------------------------------------------- Auger page

CQuantify_AES::CQuantify_AES() : CPropertyPage(QStringLiteral("Auger"))
{
    setObjectName(QStringLiteral("IDD_QUANTIFY_AES"));
    auto* files = new QGroupBox(QStringLiteral("Parameters File"), this);
    m_pFiles = new QComboBox(files);
    m_pFiles->setObjectName(Id(IDC_QUANTAES_FILES));
    m_pFiles->setMinimumWidth(220);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), files);
    browse->setObjectName(Id(IDC_QUANTAES_BROWSE));
    browse->setAutoDefault(false);
    auto* fl = new QHBoxLayout(files);
    fl->addWidget(m_pFiles, 1);
    fl->addWidget(browse);
    auto* beam = new QGroupBox(QStringLiteral("Beam Energy"), this);
    m_pEnergy = new QLineEdit(beam);
    m_pEnergy->setObjectName(Id(IDC_QUANTAES_ENERGY));
    auto* bl = new QHBoxLayout(beam);
    bl->addWidget(m_pEnergy);
    bl->addWidget(new QLabel(QStringLiteral("kV"), beam));
    bl->addStretch();
    auto* l = new QVBoxLayout(this);
    l->addWidget(files);
    l->addWidget(beam);
    l->addStretch();
    SafeConnect(browse, &QPushButton::clicked, this, [this](bool) { OnBrowse(); });
    SafeConnect(m_pFiles, QOverload<int>::of(&QComboBox::activated), this,
                [this](int) { OnSelChangeFiles(); });
    SafeConnect(m_pEnergy, &QLineEdit::returnPressed, this, [this] { OnEnter(); });
}

bool CQuantify_AES::OnInitDialog()
{
    m_pQuantify = CQuantifySheet::GetInstance();
    m_Recent.clear();
    for (int i = 1; i <= kRemembered; ++i) {
        const std::string p = GetProfileString(kQuantSection, "File" + std::to_string(i));
        if (!p.empty())
            m_Recent.push_back(p);
    }
    if (m_iFile == -1)
        Remember(m_csFile);
    m_csaFiles.clear();
    for (int i = 0; i < NumShipped; ++i)
        m_csaFiles.push_back(ProgramFolder() + "/" + Quant::AugerLibraryName(i));
    FillFileList();
    return CPropertyPage::OnInitDialog();
}

void CQuantify_AES::Remember(const std::string& path)
{
    if (path.empty())
        return;
    m_Recent.erase(std::remove(m_Recent.begin(), m_Recent.end(), path), m_Recent.end());
    m_Recent.insert(m_Recent.begin(), path);
    if (m_Recent.size() > size_t(kRemembered))
        m_Recent.resize(size_t(kRemembered));
}

void CQuantify_AES::SaveRememberedFiles() const
{
    for (int i = 1; i <= kRemembered; ++i)
        WriteProfileString(kQuantSection, "File" + std::to_string(i),
                           size_t(i - 1) < m_Recent.size() ? m_Recent[size_t(i - 1)] : "");
}

void CQuantify_AES::FillFileList()
{
    // Shipped files first, then the remembered ones that are none of them;
    // a remembered file keeps its own combo position, so picking it needs no
    // search.
    m_pFiles->clear();
    for (int i = 0; i < NumShipped; ++i)
        m_pFiles->addItem(ToQString(Quant::AugerLibraryName(i)));
    // Each shown relative to the document's folder: the name alone for a
    // library kept beside the document.
    const CVeltraneDoc* doc = m_pQuantify ? m_pQuantify->GetDocument() : nullptr;
    const std::string docFolder = doc ? CUtility::GetFilePath(doc->GetPathName()) : std::string();
    for (const std::string& p : m_Recent)
        m_pFiles->addItem(ToQString(Quant::LibraryDisplayName(p, docFolder)), ToQString(p));
    if (m_iFile >= 0 && m_iFile < NumShipped) {
        m_pFiles->setCurrentIndex(m_iFile);
        m_iCurSel = m_iFile;
        return;
    }
    for (size_t i = 0; i < m_Recent.size(); ++i)
        if (m_Recent[i] == m_csFile) {
            m_iCurSel = NumShipped + int(i);
            m_pFiles->setCurrentIndex(m_iCurSel);
            return;
        }
    m_pFiles->setCurrentIndex(-1);
}

void CQuantify_AES::SelectLibrary(int comboIndex)
{
    m_pFiles->setCurrentIndex(comboIndex);
    OnSelChangeFiles();
}

void CQuantify_AES::OnSelChangeFiles()
{
    const int sel = m_pFiles->currentIndex();
    if (sel < 0 || sel == m_iCurSel || !m_pQuantify)
        return;
    const std::string file = sel < NumShipped ? m_csaFiles[size_t(sel)] : m_Recent[size_t(sel - NumShipped)];
    if (!m_pQuantify->LoadAESLib(file)) {
        AfxMessageBox(IDS_AESLIB_FAILED, MB_OK);
        m_pFiles->setCurrentIndex(m_iCurSel);
        return;
    }
    if (sel < NumShipped) {
        m_iFile = sel;
    } else {
        m_iFile = -1;
        m_csFile = file;
    }
    m_iCurSel = sel;
    // The regions take the factors of the library now chosen.
    m_pQuantify->RecalcRSF();
}

void CQuantify_AES::OnBrowse()
{
    SFileDialogRequest req;
    req.bOpen = true;
    req.filters = {Text(1062), QStringLiteral("All Files (*.*)")};
    SFileDialogResult res;
    int error = 0;
    if (!GetFileDialogProvider().Run(this, req, res, &error)) {
        if (error)
            AfxMessageBox(IDS_FILE_DIALOG_ERROR, MB_OK);
        return;
    }
    if (!res.paths.isEmpty())
        BrowseTo(PathFromQString(res.paths.front()));
}

void CQuantify_AES::BrowseTo(const std::string& path)
{
    if (!m_pQuantify || !m_pQuantify->LoadAESLib(path)) {
        AfxMessageBox(IDS_AESLIB_FAILED, MB_OK);
        return;
    }
    const auto it = std::find(m_csaFiles.begin(), m_csaFiles.end(), path);
    if (it != m_csaFiles.end()) {
        m_iFile = int(it - m_csaFiles.begin());
    } else {
        m_iFile = -1;
        m_csFile = path;
        Remember(path);
        // Kept at once: a session ended by a logout never closes the sheet.
        SaveRememberedFiles();
    }
    FillFileList();
    m_pQuantify->RecalcRSF();
}

void CQuantify_AES::DoDataExchange(CDataExchange* pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, Id(IDC_QUANTAES_ENERGY).toStdString().c_str(), m_dEnergy);
    DDV_MinMaxDouble(pDX, m_dEnergy, 1.0, 1000000.0);
}

void CQuantify_AES::OnEnter()
{
    if (m_pQuantify && UpdateData(true))
        m_pQuantify->RecalcRSF();
}

bool CQuantify_AES::OnKillActive()
{
    if (!UpdateData(true))
        return false;
    if (m_pQuantify)
        m_pQuantify->Recalculate(false);
    return true;
}

// ---------------------------------------------------------------- Display page

CQuantify_Disp::CQuantify_Disp() : CPropertyPage(QStringLiteral("Display"))
{
    setObjectName(QStringLiteral("IDD_QUANTIFY_DISPLAY"));
    auto* calc = new QGroupBox(QStringLiteral("Calculation"), this);
    auto* cl = new QVBoxLayout(calc);
    auto* calcGroup = new QButtonGroup(this);
    const char* calcNames[] = {"Peak Height", "Peak-Peak", "Peak Area"};
    for (int i = 0; i < 3; ++i) {
        m_pCalc[i] = new QRadioButton(QString::fromLatin1(calcNames[i]), calc);
        m_pCalc[i]->setObjectName(Id(IDC_QUANTDISP_PKHEIGHT + unsigned(i)));
        calcGroup->addButton(m_pCalc[i]);
        cl->addWidget(m_pCalc[i]);
        SafeConnect(m_pCalc[i], &QRadioButton::clicked, this,
                    [this, i](bool) { OnCalc(IDC_QUANTDISP_PKHEIGHT + unsigned(i)); });
    }
    m_pQuant = new QCheckBox(QStringLiteral("Quantify"), calc);
    m_pQuant->setObjectName(Id(IDC_QUANTDISP_QUANT));
    cl->addWidget(m_pQuant);
    SafeConnect(m_pQuant, &QCheckBox::clicked, this, [this](bool) { OnQuantify(); });
    auto* mode = new QGroupBox(QStringLiteral("Display Mode"), this);
    auto* ml = new QVBoxLayout(mode);
    auto* modeGroup = new QButtonGroup(this);
    const char* modeNames[] = {"Absolute", "Normalised"};
    for (int i = 0; i < 2; ++i) {
        m_pMode[i] = new QRadioButton(QString::fromLatin1(modeNames[i]), mode);
        m_pMode[i]->setObjectName(Id(IDC_QUANTDISP_ABS + unsigned(i)));
        modeGroup->addButton(m_pMode[i]);
        ml->addWidget(m_pMode[i]);
        SafeConnect(m_pMode[i], &QRadioButton::clicked, this,
                    [this, i](bool) { OnDispMode(IDC_QUANTDISP_ABS + unsigned(i)); });
    }
    auto* l = new QHBoxLayout(this);
    l->addWidget(calc);
    l->addWidget(mode);
    l->addStretch();
}

bool CQuantify_Disp::OnInitDialog()
{
    m_pQuantify = CQuantifySheet::GetInstance();
    return CPropertyPage::OnInitDialog();
}

void CQuantify_Disp::DoDataExchange(CDataExchange* pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Radio(pDX, Id(IDC_QUANTDISP_PKHEIGHT).toStdString().c_str(), m_iCalc);
    DDX_Radio(pDX, Id(IDC_QUANTDISP_ABS).toStdString().c_str(), m_iDispMode);
    DDX_Check(pDX, Id(IDC_QUANTDISP_QUANT).toStdString().c_str(), m_bQuantify);
    for (QRadioButton* b : m_pMode)
        b->setEnabled(m_bProfile);
}

void CQuantify_Disp::OnOK()
{
    QApplication::beep();
}

void CQuantify_Disp::OnCalc(unsigned id)
{
    const int calc = int(id) - int(IDC_QUANTDISP_PKHEIGHT);
    if (calc == m_iCalc || !m_pQuantify)
        return;
    CSpecWnd* wnd = m_pQuantify->GetView() ? m_pQuantify->GetView()->GetSpecWnd() : nullptr;
    const bool hidden = !m_pQuantify->IsProfileShown();
    if (hidden && m_iCalc == Quant::PeakArea)
        m_pQuantify->OnSpecWndChange(nullptr, wnd);
    m_iCalc = calc;
    if (hidden && m_iCalc == Quant::PeakArea)
        m_pQuantify->OnSpecWndChange(wnd, nullptr);
    m_pQuantify->Recalculate(false);
}

void CQuantify_Disp::OnDispMode(unsigned id)
{
    const int mode = int(id) - int(IDC_QUANTDISP_ABS);
    if (mode == m_iDispMode || !m_pQuantify)
        return;
    m_iDispMode = mode;
    m_pQuantify->Recalculate(false);
}

void CQuantify_Disp::OnQuantify()
{
    m_bQuantify = m_bQuantify ? 0 : 1;
    if (m_pQuantify)
        m_pQuantify->Recalculate(false);
}

// ---------------------------------------------------------------- profile pane

CQuantifyPrfView::CQuantifyPrfView(CQuantifySheet* pQuantify, int nLevels)
    : m_pQuantify(pQuantify), m_nLevels(std::max(nLevels, 1))
{
    setObjectName(QStringLiteral("CQuantifyPrfView"));
    m_pdX.resize(size_t(m_nLevels));
    for (int i = 0; i < m_nLevels; ++i)
        m_pdX[size_t(i)] = double(i);
}

void CQuantifyPrfView::OnInitialUpdate()
{
    const CQuantify::RgnList* list = m_pQuantify->GetCurrentList();
    m_nTraces = 0;
    if (list)
        for (const CQuantifyRgn& r : *list)
            m_nTraces += r.m_bSelected ? 1 : 0;
    ResetSpecWnds(1);
    m_nDispWnds = 1;
    m_nDispTraces = m_nTraces;
    m_dXMin = m_pdX.front();
    m_dXMax = m_pdX.back();
    auto w = std::make_unique<CSpecWnd>(1);
    w->SetDispMode(CSpecWnd::Overlay, false);
    w->SetNumTraces(m_nTraces, 0);
    w->SetCaption(LoadString(1159), 0);
    m_Pens.clear();
    for (int t = 0; t < m_nTraces; ++t) {
        auto* Y = new double[size_t(m_nLevels)]();
        w->SetDataAutoDelete(TRUE, t, 0);
        w->SetYData(Y, 0.0, 1.0, m_nLevels, t, 0);
        w->SetXData(m_pdX.data(), m_dXMin, m_dXMax, m_nLevels, t, 0);
        const COLORREF c = GetColour(t);
        auto* pen = new QPen(QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)));
        pen->setWidth(0);
        w->SetPen(pen, t, 0);
        m_Pens.push_back(pen);
        w->SetSymbol(GetSymbol(t), t, 0);
        if (CSpecTrace* tr = w->GetSpecTrace(t, 0))
            tr->SetDispMode(CSpecTrace::Transparent);
    }
    w->Create(this, RECT{}, FirstSpecWndID);
    m_caSpecWnd[0] = std::move(w);
    // Without it the curves could be told apart only by their colours.
    m_pLegend = m_nTraces > 0 ? new CLegend(GetSpecWnd(0)) : nullptr;
    SetLimits();
    SetViewSize(true);
    SetWindowPositions();
    if (CSpecWnd* pw = GetSpecWnd(0)) {
        if (m_nTraces > 0) {
            pw->SetDispPlane(0, FALSE);
            pw->Show(true, &m_dYMax, &m_dYMin, m_dXMin, m_dXMax);
        } else {
            pw->Show(FALSE);
        }
    }
    m_bInitialised = true;
    UpdateLegend();
    update();
}

void CQuantifyPrfView::UpdateLegend()
{
    const CQuantify::RgnList* list = m_pQuantify->GetCurrentList();
    CSpecWnd* w = GetSpecWnd(0);
    if (!m_pLegend || !list || !w)
        return;
    m_pLegend->SetNumEntries(m_nTraces);
    int t = 0;
    for (const CQuantifyRgn& r : *list) {
        if (!r.m_bSelected || t >= m_nTraces)
            continue;
        m_pLegend->SetPen(t < int(m_Pens.size()) ? m_Pens[size_t(t)] : nullptr, t);
        m_pLegend->SetSymbol(GetSymbol(t), t);
        // The legend draws UTF-8; the label is record text in code page 1252.
        m_pLegend->SetLabel(ToQString(r.m_csLabel).toStdString(), t);
        ++t;
    }
    m_pLegend->show();
    // A composition that rises to the last level ends in the top corner:
    // the legend takes the right-hand corner where it hides fewer points.
    PlaceLegendClear(m_pLegend, m_nTraces);
}

int CQuantifyPrfView::PointsUnderLegend() const
{
    return m_pLegend && m_pLegend->isVisible() ? PointsIn(m_pLegend->geometry(), m_nTraces) : 0;
}

bool CQuantifyPrfView::OnCmdMsg(unsigned id, CCmdUI* pUI)
{
    // The document's sample, region and level steps are not the pane's: it
    // shows the displayed position against the level.
    if (id == ID_DISP_SAMPLE || id == ID_DISP_REGION || id == ID_DISP_LEVEL) {
        if (pUI)
            pUI->Enable(false);
        return true;
    }
    return CProfileViewBase::OnCmdMsg(id, pUI);
}

void CQuantifyPrfView::SetLimits()
{
    m_dYMin = m_dYMax = 0.0;
    CSpecWnd* w = GetSpecWnd(0);
    const CQuantify::RgnList* list = m_pQuantify->GetCurrentList();
    if (!w || !list)
        return;
    int t = 0;
    for (const CQuantifyRgn& r : *list) {
        if (!r.m_bSelected || t >= m_nTraces)
            continue;
        int nPts = 0;
        double* Y = w->GetYData(&nPts, t, 0);
        if (!Y || nPts < m_nLevels) {
            ++t;
            continue;
        }
        const int n = std::min<int>(m_nLevels, int(r.m_pdResults.size()));
        double hi = n > 0 ? r.m_pdResults[0] : 0.0, lo = hi;
        for (int k = 0; k < m_nLevels; ++k) {
            const double v = k < n ? r.m_pdResults[size_t(k)] : 0.0;
            Y[k] = v;
            if (v > hi)
                hi = v;
            else if (v < lo)
                lo = v;
        }
        // A curve whose largest value is not positive cannot reach 100: it
        // stays as it is rather than flip or divide by zero.
        if (m_pQuantify->GetDispMode() == 1 && hi > 0.0) {
            const double f = 100.0 / hi;
            for (int k = 0; k < m_nLevels; ++k)
                Y[k] *= f;
            lo *= f;
            hi = 100.0;
        }
        m_dYMax = std::max(m_dYMax, hi);
        m_dYMin = std::min(m_dYMin, lo);
        ++t;
    }
}

std::vector<double> CQuantifyPrfView::CurveValues(int t) const
{
    CSpecWnd* w = GetSpecWnd(0);
    if (!w || t < 0 || t >= m_nTraces)
        return {};
    int nPts = 0;
    const double* Y = w->GetYData(&nPts, t, 0);
    return Y ? std::vector<double>(Y, Y + std::min(nPts, m_nLevels)) : std::vector<double>();
}

bool CQuantifyPrfView::Refresh(bool bRebuild)
{
    if (bRebuild) {
        try {
            OnInitialUpdate();
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }
    SetLimits();
    if (CSpecWnd* pw = GetSpecWnd(0); pw && m_nTraces > 0)
        pw->Show(true, &m_dYMax, &m_dYMin, m_dXMin, m_dXMax);
    UpdateLegend();
    update();
    return true;
}

void CQuantifyPrfView::OnDraw(QPainter* painter)
{
    CProfileViewBase::OnDraw(painter);
    painter->save();
    // On the view's own face, which follows the desktop theme.
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(rect(), Qt::AlignCenter, Text(IDS_NO_REGIONS));
    painter->restore();
}

void CQuantifyPrfView::resizeEvent(QResizeEvent* e)
{
    CProfileViewBase::resizeEvent(e);
    SafeInvoke([&] {
        if (!m_bInitialised || !GetSpecWnd(0))
            return;
        SetViewSize(true);
        SetWindowPositions();
        if (m_nTraces > 0)
            GetSpecWnd(0)->Show(true, &m_dYMax, &m_dYMin, m_dXMin, m_dXMax);
        UpdateLegend();
    });
}

// ---------------------------------------------------------------- the sheet

CQuantifySheet* CQuantifySheet::m_pInstance = nullptr;
QRect CQuantifySheet::m_rectWnd;

void CQuantifySheet::ResetCarriedSettings()
{
    s_last = SCarried();
    m_rectWnd = QRect();
}

CQuantifySheet::CQuantifySheet(CSpecViewBase* pView, CVeltraneDoc* pDoc)
    : CPropertySheet(Text(IDS_QUANTIFY_CAPTION), pView, 0), m_pDoc(pDoc), m_pView(pView)
{
    setObjectName(QStringLiteral("CQuantify"));
    m_RgnsPage.m_Grid.m_pQuantify = this;
    // The pages act for the sheet also before their windows are first shown.
    m_AESPage.m_pQuantify = this;
    m_DispPage.m_pQuantify = this;
}

CQuantifySheet::~CQuantifySheet()
{
    if (SToolInstances::m_pQuantifySheet == this)
        SToolInstances::m_pQuantifySheet = nullptr;
    if (m_pInstance == this)
        m_pInstance = nullptr;
}

bool CQuantifySheet::Open(CSpecViewBase* pView)
{
    CVeltraneDoc* doc = pView ? pView->GetDocument() : nullptr;
    if (!doc || m_pInstance)
        return false;
    auto* sheet = new CQuantifySheet(pView, doc);
    m_pInstance = sheet;
    SafeInvoke([&] { sheet->Start(); });
    if (!sheet->Create(pView)) {
        m_pInstance = nullptr;
        delete sheet;
        return false;
    }
    return true;
}

const CSpecRgn* CQuantifySheet::RegionOf(int i) const
{
    const CStagePosn* p = m_pView ? m_pDoc->GetStagePosn(m_pView->GetCurrentSample()) : nullptr;
    return p ? p->GetSpecRgn(i) : nullptr;
}

CQuantify& CQuantifySheet::State() const
{
    return *m_pDoc->GetQuantify();
}

CQuantify::RgnList* CQuantifySheet::GetCurrentList() const
{
    CQuantify& q = State();
    const int s = m_pView ? m_pView->GetCurrentSample() : 0;
    return s >= 0 && size_t(s) < q.m_RgnLists.size() ? &q.m_RgnLists[size_t(s)] : nullptr;
}

bool CQuantifySheet::LoadAESLib(const std::string& path)
{
    CQuantifyAESLib scratch;
    if (!scratch.Load(path))
        return false;
    m_AESLib = scratch;
    return true;
}

void CQuantifySheet::LoadChosenLibrary()
{
    CQuantify::SAuger& a = State().m_Auger;
    if (a.m_iFile < 0 && a.m_csFile.empty())
        return;
    const std::string path =
        a.m_iFile >= 0 ? ProgramFolder() + "/" + Quant::AugerLibraryName(a.m_iFile) : a.m_csFile;
    if (!LoadAESLib(path)) {
        AfxMessageBox(IDS_AESLIB_FAILED, MB_OK);
        a.m_iFile = -1;
        a.m_csFile.clear();
    }
}

void CQuantifySheet::Start()
{
    CQuantify& q = State();
    m_bAES = (m_pDoc->GetTechnique() & 1) != 0;
    m_bModifiedAtOpen = m_pDoc->IsModified();
    m_nSavesAtOpen = m_pDoc->GetSaveCount();
    m_bValidAtOpen = q.m_bValid;
    if (q.m_bValid) {
        m_Saved = q;
        if (m_bAES) {
            const bool lastChosen = s_last.file >= 0 || !s_last.path.empty();
            const bool differs =
                s_last.file != q.m_Auger.m_iFile ||
                (s_last.file < 0 && q.m_Auger.m_iFile < 0 && s_last.path != q.m_Auger.m_csFile);
            const bool other =
                lastChosen && differs && AfxMessageBox(IDS_LOAD_SELECTED_LIB, MB_YESNO) == IDYES;
            if (other) {
                q.m_Auger.m_iFile = s_last.file;
                q.m_Auger.m_csFile = s_last.path;
            }
            LoadChosenLibrary();
            // The regions take the factors of the library the user switched to.
            if (other && (q.m_Auger.m_iFile >= 0 || !q.m_Auger.m_csFile.empty())) {
                for (CQuantify::RgnList& list : q.m_RgnLists)
                    Quant::RecalcRSF(list, m_AESLib, q.m_Auger.m_dEnergy);
                Quant::Calculate(q, *m_pDoc);
            }
        }
    } else {
        q.m_bValid = true;
        q.m_Display = {s_last.calc, s_last.dispMode, s_last.quantify};
        if (m_bAES) {
            q.m_Auger = {s_last.file, s_last.path, s_last.energy};
            if (q.m_Auger.m_iFile < 0 && q.m_Auger.m_csFile.empty())
                q.m_Auger.m_iFile = Quant::DefaultAugerLibrary(m_pDoc->GetExperiment()->GetDetector());
            LoadChosenLibrary();
        }
    }
    q.m_bAES = m_bAES ? 1 : 0;
    m_DispPage.m_iCalc = q.m_Display.m_iCalc;
    m_DispPage.m_iDispMode = q.m_Display.m_iDispMode;
    m_DispPage.m_bQuantify = q.m_Display.m_bQuantify;
    m_AESPage.m_iFile = q.m_Auger.m_iFile;
    m_AESPage.m_csFile = q.m_Auger.m_csFile;
    m_AESPage.m_dEnergy = q.m_Auger.m_dEnergy;
    if (q.m_RgnLists.empty()) {
        Quant::MakeLists(q, *m_pDoc, [this](const CSpecRgn& rgn) {
            CQuantifyRgn rec;
            rec.m_csElement = Trim(rgn.GetName());
            rec.m_csTransition = Trim(rgn.GetRegion());
            SetRSF(rec);
            return rec.m_dRSF;
        });
    }
    // The curves may have changed since the results were worked out (a
    // background subtracted, a smoothing): the results follow what they hold.
    Calculate();
    AddPage(&m_RgnsPage);
    if (m_bAES)
        AddPage(&m_AESPage);
    AddPage(&m_DispPage);
}

void CQuantifySheet::SetRSF(CQuantifyRgn& rec)
{
    if (m_bAES) {
        rec.m_dRSF = Quant::AugerRSF(m_AESLib, rec.m_csElement, rec.m_csTransition, m_AESPage.m_dEnergy);
        return;
    }
    CVeltrane* app = CVeltrane::GetApp();
    const CSource* src = m_pDoc->GetSource();
    rec.m_dRSF = app && src ? Quant::PhotoRSF(app->m_PkLib, rec.m_csElement, rec.m_csTransition,
                                              src->GetSourceType(), src->GetEnergy())
                            : 1.0;
}

void CQuantifySheet::Calculate()
{
    CQuantify& q = State();
    q.m_Display = {m_DispPage.m_iCalc, m_DispPage.m_iDispMode, m_DispPage.m_bQuantify};
    Quant::Calculate(q, *m_pDoc);
}

bool CQuantifySheet::Recalculate(bool bRebuild)
{
    Calculate();
    if (GetPageCount() > 0 && GetActivePage() == &m_RgnsPage && m_RgnsPage.IsBuilt())
        m_RgnsPage.m_Grid.Refresh();
    // A region checked or unchecked decides whether there is a profile to show.
    UpdateShowHide();
    if (m_pPrfView)
        return m_pPrfView->Refresh(bRebuild);
    return true;
}

void CQuantifySheet::RecalcRSF()
{
    if (!m_bAES)
        return;
    State().m_Auger.m_dEnergy = m_AESPage.m_dEnergy;
    // The energy and the library are the document's: every position's
    // regions follow them, not only those of the position on view.
    for (CQuantify::RgnList& list : State().m_RgnLists)
        Quant::RecalcRSF(list, m_AESLib, m_AESPage.m_dEnergy);
    Recalculate(false);
}

bool CQuantifySheet::OnInitDialog()
{
    if (!CPropertySheet::OnInitDialog())
        return false;
    Layout();
    UpdateShowHide();
    if (m_DispPage.m_iCalc == Quant::PeakArea && m_pView)
        OnSpecWndChange(m_pView->GetSpecWnd(), nullptr);
    SToolInstances::m_pQuantifySheet = this;
    return true;
}

void CQuantifySheet::Layout()
{
    auto* column = new QVBoxLayout;
    auto add = [&](const QString& text, const QString& name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        column->addWidget(b);
        return b;
    };
    QPushButton* ok = add(QStringLiteral("OK"), QStringLiteral("IDOK"));
    QPushButton* cancel = add(QStringLiteral("Cancel"), QStringLiteral("IDCANCEL"));
    m_pShowHide = add(Text(1169), Id(IDC_QUANT_SHOWHIDE));
    m_pSaveAs = add(Text(1204), Id(IDC_QUANT_SAVEAS));
    SafeConnect(ok, &QPushButton::clicked, this, [this](bool) { OnOKButton(); });
    SafeConnect(cancel, &QPushButton::clicked, this, [this](bool) { OnClose(); });
    SafeConnect(m_pShowHide, &QPushButton::clicked, this, [this](bool) { OnShowHide(); });
    SafeConnect(m_pSaveAs, &QPushButton::clicked, this, [this](bool) { OnSaveAs(); });
    PutButtonColumnBesideTabs(this, column);
    PlaceToolSheet(this, m_pView, m_rectWnd);
}

void CQuantifySheet::UpdateShowHide()
{
    if (!m_pShowHide)
        return;
    m_pShowHide->setText(Text(m_pPrfView ? 1170 : 1169));
    bool anySelected = false;
    if (const CQuantify::RgnList* list = GetCurrentList())
        for (const CQuantifyRgn& r : *list)
            anySelected = anySelected || r.m_bSelected;
    const CSpecRgn* rgn = m_pView ? m_pView->GetCurrentRegion() : nullptr;
    m_pShowHide->setEnabled(m_pPrfView || (anySelected && rgn && rgn->GetNumTraces() > 2));
}

void CQuantifySheet::OnShowHide()
{
    if (!m_pView)
        return;
    if (m_pPrfView) {
        HideProfileView();
        m_DispPage.m_bProfile = false;
    } else {
        // The pane stands in for the spectrum view in its frame and the
        // document until hidden; the view keeps its windows and cursors.
        CMDIChildWnd* frame = m_pView->GetParentFrame();
        if (!frame)
            return;
        auto pane = std::make_unique<CQuantifyPrfView>(this, m_pView->GetNumLevels());
        m_pPrfView = pane.release();
        frame->ShowViewInstead(m_pPrfView, kSavedPaneID);
        m_pPrfView->OnInitialUpdate();
        m_DispPage.m_bProfile = true;
    }
    if (m_DispPage.IsBuilt())
        m_DispPage.UpdateData(false);
    UpdateShowHide();
}

void CQuantifySheet::HideProfileView()
{
    if (!m_pPrfView)
        return;
    CQuantifyPrfView* prf = m_pPrfView;
    m_pPrfView = nullptr;
    if (CMDIChildWnd* frame = prf->GetParentFrame())
        frame->RestoreView(m_pView, prf);
    else
        delete prf;
    if (m_pView)
        if (CSpecWnd* w = m_pView->GetSpecWnd())
            w->Invalidate(CSpecWnd::TraceArea, true);
}

void CQuantifySheet::SaveTo(const std::string& path)
{
    static const CQuantify::RgnList empty;
    const CQuantify::RgnList* list = GetCurrentList();
    Quant::WriteExport(path, list ? *list : empty);
}

void CQuantifySheet::OnSaveAs()
{
    std::string path;
    if (!AskTextExportPath(this, path))
        return;
    try {
        SaveTo(path);
    } catch (const CFileException& e) {
        AfxMessageBox(FileExceptionMessage(e, true));
    }
}

void CQuantifySheet::CursorsDown(CSpecWnd* pWnd)
{
    for (CLineCursor* c : {&m_LowerCursor, &m_UpperCursor}) {
        c->Show(FALSE, FALSE);
        if (pWnd)
            pWnd->Detach(c);
    }
    // Taken down, the lines must go from the screen at once, not at the
    // window's next repaint.
    if (pWnd)
        pWnd->Invalidate(CSpecWnd::TraceArea, false);
}

void CQuantifySheet::CursorsUp(CSpecWnd* pWnd)
{
    CSpecTrace* trace = m_pView ? m_pView->GetSpecTrace() : nullptr;
    const CQuantify::RgnList* list = GetCurrentList();
    const int i = pWnd ? pWnd->GetWndID() : -1;
    if (!pWnd || !trace || !list || i < 0 || size_t(i) >= list->size())
        return;
    const CQuantifyRgn& rec = (*list)[size_t(i)];
    const int idx[2] = {rec.m_iLower, rec.m_iUpper};
    CLineCursor* cursors[2] = {&m_LowerCursor, &m_UpperCursor};
    for (int k = 0; k < 2; ++k) {
        cursors[k]->Attach(pWnd);
        cursors[k]->SetPos(double(trace->IndexTox(idx[k])));
        pWnd->Attach(cursors[k], trace);
        cursors[k]->Show(TRUE, FALSE);
    }
    pWnd->Invalidate(CSpecWnd::TraceArea, false);
}

void CQuantifySheet::OnSampleChange(int, int)
{
    if (GetPageCount() > 0 && GetActivePage() == &m_RgnsPage && m_RgnsPage.IsBuilt())
        m_RgnsPage.m_Grid.Refresh();
    UpdateShowHide();
}

void CQuantifySheet::OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld)
{
    if (m_pPrfView || m_DispPage.m_iCalc != Quant::PeakArea)
        return;
    if (pOld)
        CursorsDown(pOld);
    if (pNew)
        CursorsUp(pNew);
}

void CQuantifySheet::OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld)
{
    if (GetPageCount() > 0 && GetActivePage() == &m_RgnsPage && m_RgnsPage.IsBuilt())
        m_RgnsPage.m_Grid.Refresh();
    if (m_pPrfView || m_DispPage.m_iCalc != Quant::PeakArea || !m_pView)
        return;
    CSpecWnd* wnd = m_pView->GetSpecWnd();
    if (pOld)
        CursorsDown(wnd);
    if (pNew)
        CursorsUp(wnd);
}

intptr_t CQuantifySheet::OnLineCursorPos(uintptr_t, intptr_t lParam)
{
    auto* cursor = reinterpret_cast<CLineCursor*>(lParam);
    CSpecWnd* wnd = m_pView ? m_pView->GetSpecWnd() : nullptr;
    CSpecTrace* trace = m_pView ? m_pView->GetSpecTrace() : nullptr;
    CQuantify::RgnList* list = GetCurrentList();
    const int i = wnd ? wnd->GetWndID() : -1;
    if (!trace || !list || i < 0 || size_t(i) >= list->size())
        return 1;
    CQuantifyRgn& rec = (*list)[size_t(i)];
    const double pos = cursor ? cursor->GetPos() : 0.0;
    if (cursor == &m_LowerCursor)
        rec.m_iLower = trace->xToIndex(pos);
    else if (cursor == &m_UpperCursor)
        rec.m_iUpper = trace->xToIndex(pos);
    Recalculate(false);
    return 1;
}

void CQuantifySheet::OnOKButton()
{
    if (m_DispPage.m_iCalc == Quant::PeakArea && m_pView)
        CursorsDown(m_pView->GetSpecWnd());
    CQuantify& q = State();
    if (m_bAES) {
        // The factors were scaled to the state's energy. An edit the page
        // took when the user left it for another page asks as well: else
        // the new energy would be kept beside factors of the old one.
        const double before = q.m_Auger.m_dEnergy;
        if (GetPageCount() > 0 && GetActivePage() == &m_AESPage && !m_AESPage.UpdateData(true))
            return;
        if (m_AESPage.m_dEnergy != before) {
            const int answer = AfxMessageBox(IDS_ENERGY_CHANGED, MB_YESNOCANCEL);
            if (answer == IDYES) {
                RecalcRSF();
            } else if (answer == IDNO) {
                m_AESPage.m_dEnergy = before;
                if (m_AESPage.IsBuilt())
                    m_AESPage.UpdateData(false);
            } else {
                return;
            }
        }
    }
    q.m_bValid = true;
    q.m_Display = {m_DispPage.m_iCalc, m_DispPage.m_iDispMode, m_DispPage.m_bQuantify};
    s_last.quantify = m_DispPage.m_bQuantify;
    s_last.calc = m_DispPage.m_iCalc;
    s_last.dispMode = m_DispPage.m_iDispMode;
    if (m_bAES) {
        q.m_Auger = {m_AESPage.m_iFile, m_AESPage.m_csFile, m_AESPage.m_dEnergy};
        s_last.energy = m_AESPage.m_dEnergy;
        s_last.file = m_AESPage.m_iFile;
        s_last.path = m_AESPage.m_csFile;
    }
    if (m_pPrfView)
        OnShowHide();
    if (StateChangedSinceOpening())
        m_pDoc->SetModifiedFlag(true);
    Finish();
}

void CQuantifySheet::OnClose()
{
    if (m_DispPage.m_iCalc == Quant::PeakArea && m_pView)
        CursorsDown(m_pView->GetSpecWnd());
    if (m_pPrfView)
        OnShowHide();
    // A save while the sheet was open wrote the state that is now taken back.
    m_pDoc->SetModifiedFlag(m_bModifiedAtOpen || m_pDoc->GetSaveCount() != m_nSavesAtOpen);
    CQuantify& q = State();
    if (m_bValidAtOpen)
        q = m_Saved;
    else
        q.Clear();
    Finish();
}

void CQuantifySheet::OnCancel()
{
    OnClose();
}

void CQuantifySheet::closeEvent(QCloseEvent* e)
{
    e->ignore();
    OnClose();
}

void CQuantifySheet::Finish()
{
    if (m_bDestroying)
        return;
    m_bDestroying = true;
    HideProfileView();
    m_rectWnd = geometry();
    if (m_AESPage.IsBuilt())
        m_AESPage.SaveRememberedFiles();
    if (SToolInstances::m_pQuantifySheet == this)
        SToolInstances::m_pQuantifySheet = nullptr;
    if (m_pInstance == this)
        m_pInstance = nullptr;
    if (m_pView)
        if (CSpecWnd* w = m_pView->GetSpecWnd())
            w->Invalidate(CSpecWnd::TraceArea, false);
    hide();
    deleteLater();
}

void CQuantifySheet::DestroyWindow()
{
    // The view goes: no OK or Cancel processing, the state stays as it is,
    // and nothing of the view is touched any more. Another window may keep
    // the document open, so a state that stays changed must be saved or
    // asked about like any other change.
    HideProfileView();
    m_pView = nullptr;
    if (m_pDoc && StateChangedSinceOpening())
        m_pDoc->SetModifiedFlag(true);
    Finish();
}

bool CQuantifySheet::StateChangedSinceOpening()
{
    // A state as it was at opening changes nothing the file holds, unless a
    // save in between wrote one since taken back.
    const CQuantify& q = State();
    if (q.m_bValid != m_bValidAtOpen || m_pDoc->GetSaveCount() != m_nSavesAtOpen)
        return true;
    return q.m_bValid && !(q == m_Saved);
}
