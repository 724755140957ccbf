#include "acquire/ui/AesScnPage.h"

#include "acquire/ui/GridHolder.h"
#include "framework/ui/ClipFormat.h"
#include "res/resource.h"

#include "UGrid/UGEdit.h"
#include "acquire/core/AesScnModel.h"
#include "framework/ui/DataExchange.h"
#include "framework/ui/Guard.h"
#include "platform/Strings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

using AesScan::kMissing;

namespace {
constexpr int nMinNumRows = 12;
// Half-size of a point's square and the tolerance of a press on it.
constexpr int kPointHimetric = 76;
// Size of a tracker's handles, in window pixels.
constexpr int kHandle = 6;
// A rubber band narrower or lower than this adds no area.
constexpr int kMinBand = 4;

enum Look
{
    Face,
    Edit,
    Selected
};

int HimetricToPixels(int himetric, int dpi)
{
    return (himetric * dpi + 1270) / 2540;
}

RECT Normalized(RECT r)
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}
} // namespace

CAcquireAES_ScnPage::CAcquireAES_ScnPage(QWidget*) : CAesPage(QStringLiteral("Scan Control"))
{
    setObjectName(QStringLiteral("IDD_ACQ_AESSCN"));
    ImageSelectPage() = this;
}

CAcquireAES_ScnPage::~CAcquireAES_ScnPage()
{
    if (ImageSelectPage() == this)
        ImageSelectPage() = nullptr;
}

CAesScnModel& CAcquireAES_ScnPage::M() const
{
    return S().m_Scn;
}

bool CAcquireAES_ScnPage::UsePts() const
{
    return m_pSetup && M().UsePts();
}

bool CAcquireAES_ScnPage::UseAreas() const
{
    return m_pSetup && M().UseAreas();
}

bool CAcquireAES_ScnPage::UseLinescan() const
{
    return m_pSetup && M().UseLinescan();
}

int CAcquireAES_ScnPage::GetMoveType() const
{
    return m_pSetup ? M().GetMoveType() : int(None);
}

// ---- Layout ------------------------------------------------------------------

bool CAcquireAES_ScnPage::OnInitDialog()
{
    auto* spectra = new QGroupBox(QStringLiteral("Spectra"), this);
    auto* spectraLayout = new QVBoxLayout(spectra);
    m_radios = new QButtonGroup(this);
    const char* names[4] = {"IDC_ACQAESSCN_NONE", "IDC_ACQAESSCN_POINT", "IDC_ACQAESSCN_AREA",
                            "IDC_ACQAESSCN_FULL"};
    const char* texts[4] = {"None", "Point", "Area", "Full"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(QString::fromLatin1(texts[i]), spectra);
        b->setObjectName(QString::fromLatin1(names[i]));
        m_radios->addButton(b, i);
        spectraLayout->addWidget(b);
    }
    spectraLayout->addStretch(1);

    auto* images = new QGroupBox(QStringLiteral("Images"), this);
    auto* imagesLayout = new QGridLayout(images);
    m_cbxSize = new QComboBox(images);
    m_cbxSize->setObjectName(QStringLiteral("IDC_ACQAESSCN_SIZE"));
    m_cbxSize->addItems({QStringLiteral("256"), QStringLiteral("512"), QStringLiteral("1024")});
    m_edMag = new QLineEdit(images);
    m_edMag->setObjectName(QStringLiteral("IDC_ACQAESSCN_MAG"));
    m_edResol = new QLineEdit(images);
    m_edResol->setObjectName(QStringLiteral("IDC_ACQAESSCN_RESOL"));
    m_chkLinescan = new QCheckBox(QStringLiteral("Linescan"), images);
    m_chkLinescan->setObjectName(QStringLiteral("IDC_ACQAESSCN_LINE"));
    imagesLayout->addWidget(new QLabel(QStringLiteral("Size"), images), 0, 0);
    imagesLayout->addWidget(m_cbxSize, 0, 1);
    imagesLayout->addWidget(new QLabel(QStringLiteral("Mag"), images), 1, 0);
    imagesLayout->addWidget(m_edMag, 1, 1);
    imagesLayout->addWidget(new QLabel(QStringLiteral("Resol"), images), 2, 0);
    imagesLayout->addWidget(m_edResol, 2, 1);
    imagesLayout->addWidget(m_chkLinescan, 3, 0, 1, 2);
    imagesLayout->setRowStretch(4, 1);

    auto* holder = new CGridHolder(this, "IDC_ACQAESSCN_GRID", m_Grid);
    holder->setMinimumSize(200, 160);
    // The four columns share the width.
    holder->onResize = [this] {
        const int cols = m_Grid.GetColCount();
        if (cols > 0) {
            const int w = std::max(40, m_Grid.width() - m_Grid.GetVScrollWidth() - 2);
            for (int c = 0; c < cols; ++c)
                m_Grid.SetColWidth(c, w / cols);
            m_Grid.RedrawAll();
        }
    };
    m_gridHolder = holder;
    auto* left = new QVBoxLayout;
    left->addWidget(spectra);
    left->addWidget(images);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(m_gridHolder, 1);

    SafeConnect(m_radios, &QButtonGroup::idClicked, this, [this](int id) { OnControlBtn(id); });
    SafeConnect(m_cbxSize, &QComboBox::activated, this, [this](int) { OnSizeChange(); });
    SafeConnect(m_chkLinescan, &QCheckBox::clicked, this, [this](bool) { OnLinescan(); });
    SafeConnect(m_edMag, &QLineEdit::editingFinished, this, [this] { OnNumberEdit(); });
    SafeConnect(m_edResol, &QLineEdit::editingFinished, this, [this] { OnNumberEdit(); });

    SetupGrid();
    UpdatePage();
    return true;
}

void CAcquireAES_ScnPage::SetupGrid()
{
    m_Grid.CreateGrid(0, RECT{0, 0, 100, 100}, m_gridHolder, 0);
    m_Grid.SetColCount(4);
    m_Grid.SetRowCount(nMinNumRows);
    m_Grid.SetSideHdgWidth(0);
    m_Grid.SetHScrollHeight(0);
    m_Grid.SetUniformRowHeight(1);
    const int h = m_Grid.TextHeight();
    m_Grid.SetTopHdgHeight(h);
    m_Grid.SetDefRowHeight(h);
    for (int c = 0; c < 4; ++c)
        m_Grid.SetTextAt(c, -1, LoadString(1135 + unsigned(c)).c_str());
    m_Grid.EmptyMenu();
    m_Grid.AddMenuItem(ID_EDIT_CUT, "Cu&t");
    m_Grid.AddMenuItem(ID_EDIT_COPY, "&Copy");
    m_Grid.AddMenuItem(ID_EDIT_PASTE, "&Paste");
    m_Grid.AddMenuItem(ID_EDIT_CLEAR, "&Delete");
    m_Grid.AddMenuItem(-1, "");
    m_Grid.AddMenuItem(ID_EDIT_INSERT, "&Insert ");
    m_Grid.EnableMenu(1);
}

bool CAcquireAES_ScnPage::OnSetActive()
{
    if (!IsBuilt())
        return CAesPage::OnSetActive();
    UpdatePage();
    return true;
}

// ---- Page state ----------------------------------------------------------------

void CAcquireAES_ScnPage::UpdatePage()
{
    // What the set-up image shows follows the set-up whatever changed it (a
    // table edit, another experiment type, a loaded file), also while the
    // page has not been shown yet.
    RepaintDispView();
    if (!IsBuilt() || !m_pSetup)
        return;
    const int exp = GetExpType();
    const bool image = exp == CAcquireAES::AugerImage || exp == CAcquireAES::SEImage;
    const QSignalBlocker b1(m_cbxSize), b2(m_chkLinescan);
    m_cbxSize->setCurrentIndex(m_cbxSize->findText(QString::number(M().m_iImageSize)));
    if (QAbstractButton* r = m_radios->button(M().m_iControl))
        r->setChecked(true);
    for (QAbstractButton* r : m_radios->buttons())
        r->setEnabled(!image);
    m_chkLinescan->setChecked(M().m_bLinescan != 0);
    m_edMag->setText(QString::number(unsigned(M().m_iMag)));
    m_edResol->setText(QString::number(unsigned(M().m_iResol)));
    m_edMag->setEnabled(image);
    m_edResol->setEnabled(exp == CAcquireAES::AugerImage && !M().m_bLinescan);
    m_chkLinescan->setEnabled(exp == CAcquireAES::AugerImage);
    InitGrid();
}

void CAcquireAES_ScnPage::OnControlBtn(int id)
{
    if (id == M().m_iControl)
        return;
    M().m_iControl = id;
    RepaintDispView();
    OnSetActive();
}

void CAcquireAES_ScnPage::OnSizeChange()
{
    if (m_cbxSize->currentIndex() < 0)
        return;
    M().m_iImageSize = m_cbxSize->currentText().toInt();
    InitGrid();
}

void CAcquireAES_ScnPage::OnLinescan()
{
    M().m_bLinescan = m_chkLinescan->isChecked() ? 1 : 0;
    m_edResol->setEnabled(GetExpType() == CAcquireAES::AugerImage && !M().m_bLinescan);
    RepaintDispView();
    UpdatePage();
}

void CAcquireAES_ScnPage::OnNumberEdit()
{
    // A number counts as soon as the field is left; one that is no number is
    // said once, when the page's values are taken (leaving the page, Start,
    // Save), which it then stops.
    auto take = [](const QLineEdit* e, int& into) {
        bool ok = false;
        const qulonglong v = e->text().trimmed().toULongLong(&ok);
        if (ok && e->isEnabled() && v <= UINT32_MAX)
            into = int(std::min<qulonglong>(v, INT32_MAX));
    };
    take(m_edMag, M().m_iMag);
    take(m_edResol, M().m_iResol);
}

void CAcquireAES_ScnPage::DoDataExchange(CDataExchange* pDX)
{
    // The fields are shown by UpdatePage; only their values are taken here.
    if (!pDX->m_bSaveAndValidate || !IsBuilt() || !m_pSetup)
        return;
    unsigned mag = unsigned(M().m_iMag), resol = unsigned(M().m_iResol);
    if (m_edMag->isEnabled()) {
        DDX_Text(pDX, "IDC_ACQAESSCN_MAG", mag);
        M().m_iMag = int(std::min<unsigned>(mag, INT32_MAX));
    }
    if (m_edResol->isEnabled()) {
        DDX_Text(pDX, "IDC_ACQAESSCN_RESOL", resol);
        M().m_iResol = int(std::min<unsigned>(resol, INT32_MAX));
    }
}

int CAcquireAES_ScnPage::Normalize(int value) const
{
    return AesScan::ToTable(value, M().m_iImageSize);
}

// ---- The table -------------------------------------------------------------------

void CAcquireAES_ScnPage::PutCell(int col, int row, int look, int32_t scan)
{
    CUGCell cell;
    m_Grid.GetGridDefault(&cell);
    if (look == Face) {
        cell.SetReadOnly(1);
        cell.SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
    } else {
        cell.SetReadOnly(0);
        const bool sel = look == Selected;
        cell.SetBackColor(UGGetSysColor(sel ? UG_COLOR_HIGHLIGHT : UG_COLOR_WINDOW));
        cell.SetTextColor(UGGetSysColor(sel ? UG_COLOR_HIGHLIGHTTEXT : UG_COLOR_WINDOWTEXT));
    }
    const std::string text = scan == kMissing ? std::string() : std::to_string(Normalize(scan));
    cell.SetText(text.c_str());
    m_Grid.SetCell(col, row, &cell);
}

void CAcquireAES_ScnPage::InitGrid()
{
    if (!IsBuilt() || !m_pSetup)
        return;
    const int exp = GetExpType();
    const int move = M().m_iControl;
    if (exp == CAcquireAES::SEImage ||
        (exp != CAcquireAES::AugerImage && (move == None || move == Full || (!UsePts() && !UseAreas())))) {
        m_Grid.hide();
        return;
    }
    const int cols = M().EntryColumns();
    const int sel = M().Selection();
    m_nRows = M().EntryCount();
    if (m_Grid.GetRowCount() < m_nRows + 1)
        m_Grid.SetRowCount(m_nRows + 1);
    for (int r = 0; r < m_nRows; ++r)
        for (int c = 0; c < 4; ++c)
            PutCell(c, r, c < cols ? (r == sel ? Selected : Edit) : Face,
                    c < cols ? GetListItem(c, r) : kMissing);
    for (int c = 0; c < 4; ++c)
        PutCell(c, m_nRows, c < cols ? Edit : Face, kMissing);
    const int last = std::min<int>(std::max(m_nLastNewRow, m_nRows), int(m_Grid.GetRowCount()) - 1);
    for (int r = m_nRows + 1; r <= last; ++r)
        for (int c = 0; c < 4; ++c)
            PutCell(c, r, Face, kMissing);
    // Rows never filled yet also read as blank.
    for (int r = last + 1; r < m_Grid.GetRowCount(); ++r)
        for (int c = 0; c < 4; ++c)
            PutCell(c, r, Face, kMissing);
    m_nLastNewRow = m_nRows;
    m_Grid.show();
    m_Grid.RedrawAll();
}

int32_t CAcquireAES_ScnPage::GetListItem(int col, int row) const
{
    return M().GetItem(col, row);
}

void CAcquireAES_ScnPage::SetListItem(int col, int row, int32_t value)
{
    M().SetItem(col, row, value);
}

void CAcquireAES_ScnPage::AddRow()
{
    M().AddEntry();
    ++m_nRows;
    if (m_Grid.GetRowCount() < m_nRows + 1)
        m_Grid.SetRowCount(m_nRows + 1);
    const int cols = M().EntryColumns();
    for (int c = 0; c < 4; ++c)
        PutCell(c, m_nRows, c < cols ? Edit : Face, kMissing);
    m_nLastNewRow = std::max(m_nLastNewRow, m_nRows);
    m_Grid.RedrawRow(m_nRows);
}

int CAcquireAES_ScnPage::InsertRow(int row)
{
    if (!M().InsertEntry(row))
        return 0;
    ++m_nRows;
    InitGrid();
    return 1;
}

int CAcquireAES_ScnPage::DeleteRow(int row)
{
    if (!M().DeleteEntry(row))
        return 0;
    --m_nRows;
    InitGrid();
    return 1;
}

int CAcquireAES_ScnPage::DeleteRow()
{
    return M().EntryCount() > 0 ? DeleteRow(M().EntryCount() - 1) : 0;
}

void CAcquireAES_ScnPage::CompactGrid(int& row)
{
    const int before = M().EntryCount();
    M().Compact(row);
    if (M().EntryCount() != before)
        InitGrid();
}

int CAcquireAES_ScnPage::SelectRow(int row)
{
    if (row < 0)
        return 0;
    int& sel = M().Selection();
    const int old = sel;
    sel = -1;
    if (old >= 0 && old < m_nRows) {
        for (int c = 0; c < M().EntryColumns(); ++c)
            PutCell(c, old, Edit, GetListItem(c, old));
        m_Grid.RedrawRow(old);
    }
    if (row == old || row >= m_nRows)
        return 0;
    sel = row;
    for (int c = 0; c < M().EntryColumns(); ++c)
        PutCell(c, row, Selected, GetListItem(c, row));
    m_Grid.RedrawRow(row);
    return 1;
}

void CAcquireAES_ScnPage::OnLClicked(int col, long row, int pressed, RECT*, POINT*, int processed)
{
    if (!pressed || processed || col < 0 || row < 0)
        return;
    if (col < M().EntryColumns() && row <= m_nRows)
        SelectRow(M().Selection());
    int r = int(row);
    CompactGrid(r);
    m_Grid.StartEditCell(col, r, 0);
}

void CAcquireAES_ScnPage::OnSH_LClicked(int, long row, int pressed, RECT*, POINT*, int)
{
    if (pressed)
        SelectRow(int(row));
}

int CAcquireAES_ScnPage::OnEditStart(int col, long row, CWnd**)
{
    m_bRowAdded = false;
    m_iOldValue = GetListItem(col, int(row));
    return 1;
}

int CAcquireAES_ScnPage::OnEditVerify(int col, long row, CWnd* edit, UINT* key)
{
    if (*key == 27) {
        if (m_bRowAdded) {
            DeleteRow();
            m_bRowAdded = false;
        }
        SetListItem(col, int(row), m_iOldValue);
        m_Grid.SetTextAt(col, row,
                         m_iOldValue == kMissing ? "" : std::to_string(Normalize(m_iOldValue)).c_str());
        m_Grid.RedrawCell(col, row);
        return 1;
    }
    if (*key < 32 || *key == 127)
        return 1;
    if (!((*key >= '0' && *key <= '9') || *key == '-'))
        return 0;
    auto* e = qobject_cast<CUGEdit*>(edit);
    if (e && *key == '-') {
        // The sign leads the number, once: "12-" would read as no value at all.
        const QTextCursor at = e->textCursor();
        if (at.selectionStart() != 0 || e->Text().mid(at.selectionEnd()).contains(QLatin1Char('-')))
            return 0;
    }
    if (e && e->Text().size() >= 4 && e->textCursor().selectedText().isEmpty())
        return 0;
    if (*key != '-' && row == m_nRows) {
        AddRow();
        m_bRowAdded = true;
    }
    return 1;
}

int CAcquireAES_ScnPage::OnEditFinish(int col, long row, CWnd*, std::string& text, int cancelFlag)
{
    if (cancelFlag)
        m_Grid.SetTextAt(col, row, text.c_str());
    int32_t value = kMissing;
    int typed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, typed);
    if (ec == std::errc() && ptr == end)
        value = AesScan::FromTable(typed, M().m_iImageSize);
    SetListItem(col, int(row), value);
    if (cancelFlag && M().IsEmptyEntry(int(row))) {
        DeleteRow(int(row));
        const int32_t moved = GetListItem(col, int(row));
        text = moved == kMissing ? std::string() : std::to_string(Normalize(moved));
    }
    RepaintDispView();
    UpdatePage();
    return 1;
}

int CAcquireAES_ScnPage::OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow)
{
    const int last = M().EntryColumns() - 1;
    int target = int(*newrow);
    if (*newrow != oldrow) {
        if (oldrow == 0 && *newrow > m_nRows)
            target = m_nRows;
        else if (oldrow >= m_nRows && *newrow > oldrow)
            target = 0;
    } else if (oldcol == last && (*newcol > last || (last == 3 && *newcol == 0))) {
        // Off the end of a row (past it, or wrapped): the first column of the next.
        *newcol = 0;
        target = oldrow >= m_nRows ? 0 : int(oldrow) + 1;
    } else if (oldcol == 0 && (*newcol < 0 || *newcol == 3)) {
        *newcol = last;
        target = oldrow == 0 ? m_nRows : int(oldrow) - 1;
    } else {
        return 1;
    }
    CompactGrid(target);
    *newrow = target;
    return 1;
}

// ---- Pop-up menu and clipboard -----------------------------------------------------

int CAcquireAES_ScnPage::OnMenuStart(int col, long row, int section)
{
    if (section != UG_SECTION_GRID || col < 0 || col >= M().EntryColumns() || row < 0 || row > m_nRows)
        return 0;
    const bool canPaste = ClipFormat::Has(UsePts() ? AesScan::CF_SCNPT : AesScan::CF_SCNAREA);
    for (QAction* a : m_Grid.GetPopupMenu()->actions()) {
        if (a->isSeparator())
            continue;
        const int id = a->data().toInt();
        a->setEnabled(id == ID_EDIT_PASTE ? canPaste : row != m_nRows);
    }
    return 1;
}

void CAcquireAES_ScnPage::OnMenuCommand(int, long row, int, int item)
{
    const int r = int(row);
    switch (item) {
    case ID_EDIT_INSERT:
        InsertRow(r);
        break;
    case ID_EDIT_COPY:
        CopyToClipBoard(r);
        return;
    case ID_EDIT_CUT:
        CopyToClipBoard(r);
        DeleteRow(r);
        break;
    case ID_EDIT_CLEAR:
        DeleteRow(r);
        break;
    case ID_EDIT_PASTE:
        PasteFromClipBoard(r);
        break;
    default:
        return;
    }
    RepaintDispView();
    UpdatePage();
}

void CAcquireAES_ScnPage::CopyToClipBoard(int row)
{
    if (row < 0 || row >= M().EntryCount())
        return;
    const bool put =
        UseAreas() ? ClipFormat::Put(AesScan::CF_SCNAREA, AesScan::EncodeArea(M().m_Areas[size_t(row)]))
                   : ClipFormat::Put(AesScan::CF_SCNPT, AesScan::EncodePoint(M().m_Points[size_t(row)]));
    if (!put)
        QApplication::beep();
}

void CAcquireAES_ScnPage::PasteFromClipBoard(int row)
{
    if (!QGuiApplication::clipboard()) {
        QApplication::beep();
        return;
    }
    if (ClipFormat::Has(AesScan::CF_SCNAREA)) {
        const auto b = ClipFormat::Get(AesScan::CF_SCNAREA);
        const auto area = AesScan::DecodeArea(b.data(), b.size());
        if (area && UseAreas() && InsertRow(row))
            M().m_Areas[size_t(row)] = *area;
    } else if (ClipFormat::Has(AesScan::CF_SCNPT)) {
        const auto b = ClipFormat::Get(AesScan::CF_SCNPT);
        const auto point = AesScan::DecodePoint(b.data(), b.size());
        if (point && UsePts() && InsertRow(row))
            M().m_Points[size_t(row)] = *point;
    }
    InitGrid();
}

// ---- The set-up image ---------------------------------------------------------------

void CAcquireAES_ScnPage::SetDispView(QWidget* pView)
{
    m_pDispView = pView;
}

void CAcquireAES_ScnPage::RepaintDispView()
{
    if (!m_pDispView)
        return;
    m_pDispView->update();
    for (QWidget* w : m_pDispView->findChildren<QWidget*>())
        w->update();
}

void CAcquireAES_ScnPage::Changed()
{
    RepaintDispView();
    UpdatePage();
}

void CAcquireAES_ScnPage::SPtoLP(POINT* p, const IImagePane* pane) const
{
    const AesScan::Point q = AesScan::ScanToImage({p->x, p->y}, pane->ImageWidth());
    *p = POINT{q.x, q.y};
}

void CAcquireAES_ScnPage::SPtoLP(RECT* r, const IImagePane* pane) const
{
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    SPtoLP(&a, pane);
    SPtoLP(&b, pane);
    *r = RECT{a.x, a.y, b.x, b.y};
}

void CAcquireAES_ScnPage::LPtoSP(POINT* p, const IImagePane* pane) const
{
    const AesScan::Point q = AesScan::ImageToScan({p->x, p->y}, pane->ImageWidth());
    *p = POINT{q.x, q.y};
}

void CAcquireAES_ScnPage::LPtoSP(RECT* r, const IImagePane* pane) const
{
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    LPtoSP(&a, pane);
    LPtoSP(&b, pane);
    *r = RECT{a.x, a.y, b.x, b.y};
}

namespace {
// The middle of an image pixel in window pixels: at any zoom it converts
// back to the same image pixel, so an entry that is not moved stays put.
POINT PixelToWindow(IImagePane* pane, POINT p)
{
    POINT a = p, b{p.x + 1, p.y + 1};
    pane->ImageToWindow(&a);
    pane->ImageToWindow(&b);
    return POINT{int((int64_t{a.x} + b.x) / 2), int((int64_t{a.y} + b.y) / 2)};
}

// An area's corners in the pane's window pixels.
RECT AreaToWindow(const CAcquireAES_ScnPage& page, const CAcquireAES_Scn::CScanArea& a, IImagePane* pane)
{
    RECT r{a.x0, a.y0, a.x1, a.y1};
    page.SPtoLP(&r, pane);
    const POINT p = PixelToWindow(pane, POINT{r.left, r.top}),
                q = PixelToWindow(pane, POINT{r.right, r.bottom});
    return RECT{p.x, p.y, q.x, q.y};
}
} // namespace

void CAcquireAES_ScnPage::DrawOnImage(QPainter* pDC, IImagePane* pane)
{
    if (!m_pSetup || !pane || pane->ImageWidth() <= 0)
        return;
    pDC->save();
    pDC->setPen(QPen(QColor(255, 0, 0), 0));
    pDC->setBrush(Qt::NoBrush);
    if (UseAreas()) {
        for (const auto& a : M().m_Areas) {
            if (!AesScan::Complete(a))
                continue;
            RECT r{a.x0, a.y0, a.x1, a.y1};
            SPtoLP(&r, pane);
            if (UseLinescan())
                pDC->drawLine(QPoint(r.left, r.top), QPoint(r.right, r.bottom));
            else
                pDC->drawPolygon(QPolygon({QPoint(r.left, r.top), QPoint(r.right, r.top),
                                           QPoint(r.right, r.bottom), QPoint(r.left, r.bottom)}));
        }
    } else if (UsePts()) {
        // The symbol keeps its size whatever the zoom: drawn in window pixels.
        const int hs = HimetricToPixels(kPointHimetric, pane->PaneWidget()->logicalDpiX());
        pDC->resetTransform();
        for (const auto& pt : M().m_Points) {
            if (!AesScan::Complete(pt))
                continue;
            POINT p{pt.x, pt.y};
            SPtoLP(&p, pane);
            p = PixelToWindow(pane, p);
            pDC->drawRect(QRect(p.x - hs, p.y - hs, 2 * hs, 2 * hs));
        }
    }
    pDC->restore();
}

int CAcquireAES_ScnPage::HitTestLine(const RECT& line, POINT point) const
{
    if (!UseLinescan())
        return -1;
    const int hit = TrackerHitTest(Normalized(line), point, kHandle);
    const int64_t dx = int64_t{line.right} - line.left, dy = int64_t{line.bottom} - line.top;
    switch (hit) {
    case 0:
    case 2:
        return dx * dy >= 0 ? hit : -1;
    case 1:
    case 3:
        return dx * dy <= 0 ? hit : -1;
    case TrackMove: {
        // Window coordinates are 32-bit, so their squares need 64 bits and
        // sums of them a little more.
        __extension__ using Wide = __int128;
        const Wide vx = Wide{point.x} - line.left, vy = Wide{point.y} - line.top;
        const Wide dot = vx * dx + vy * dy;
        Wide len = Wide{dx} * dx + Wide{dy} * dy;
        if (len <= 1)
            len = 1;
        const Wide cross = vx * dy - Wide{dx} * vy;
        const Wide mag = cross < 0 ? -cross : cross;
        const bool near = mag < (Wide{1} << 62) && mag * mag / len < 16;
        return dot >= 0 && dot <= len && near ? TrackMove : -1;
    }
    default:
        return -1;
    }
}

void CAcquireAES_ScnPage::OnLButtonDownInImage(IImagePane* pane, POINT point)
{
    if (!m_pSetup || !pane || pane->ImageWidth() <= 0)
        return;
    // Window pixels back to scan coordinates. On a zoomed-out image several
    // image pixels share a window pixel, so an edge the tracking left where
    // it was keeps its image pixel (known in window and image pixels).
    auto toScan = [this, pane](RECT r, RECT knownW = RECT{INT_MIN, INT_MIN, INT_MIN, INT_MIN},
                               RECT knownI = RECT{}) {
        auto x = [&](int w) {
            if (w == knownW.left)
                return knownI.left;
            if (w == knownW.right)
                return knownI.right;
            POINT p{w, 0};
            pane->WindowToImage(&p);
            return int(p.x);
        };
        auto y = [&](int w) {
            if (w == knownW.top)
                return knownI.top;
            if (w == knownW.bottom)
                return knownI.bottom;
            POINT p{0, w};
            pane->WindowToImage(&p);
            return int(p.y);
        };
        RECT s{x(r.left), y(r.top), x(r.right), y(r.bottom)};
        LPtoSP(&s, pane);
        return CAcquireAES_Scn::CScanArea{s.left, s.top, s.right, s.bottom};
    };
    const RECT image = pane->ImageRect();
    const bool inImage =
        point.x >= image.left && point.x < image.right && point.y >= image.top && point.y < image.bottom;
    if (UseAreas()) {
        const bool line = UseLinescan();
        // The area tracked is replaced by what the tracking ends with, if it is still there.
        auto replace = [this, toScan, line, pane](size_t i, CAcquireAES_Scn::CScanArea before) {
            RECT knownI{before.x0, before.y0, before.x1, before.y1};
            SPtoLP(&knownI, pane);
            const RECT knownW = AreaToWindow(*this, before, pane);
            return [this, self = QPointer(this), toScan, line, i, before, knownW, knownI](const RECT& r) {
                if (!self || !m_pSetup || i >= M().m_Areas.size() || !(M().m_Areas[i] == before))
                    return;
                M().m_Areas[i] = toScan(line ? r : Normalized(r), knownW, knownI);
                Changed();
            };
        };
        for (size_t i = 0; i < M().m_Areas.size(); ++i) {
            const auto& a = M().m_Areas[i];
            if (!AesScan::Complete(a))
                continue;
            const RECT r = AreaToWindow(*this, a, pane);
            if (line) {
                const int hit = HitTestLine(r, point);
                if (hit < 0)
                    continue;
                SPaneTrack t;
                t.line = true;
                if (hit == TrackMove) {
                    t.rect = r;
                    t.handle = TrackMove;
                } else {
                    // The end not pressed stays; the band runs from it to the mouse.
                    const RECT n = Normalized(r);
                    const POINT anchors[4] = {
                        {n.right, n.bottom}, {n.left, n.bottom}, {n.left, n.top}, {n.right, n.top}};
                    t.rect = RECT{anchors[hit].x, anchors[hit].y, point.x, point.y};
                    t.handle = 2;
                }
                pane->Track(t, point, replace(i, a));
                return;
            }
            const RECT n = Normalized(r);
            const int hit = TrackerHitTest(n, point, kHandle);
            if (hit < 0)
                continue;
            SPaneTrack t;
            t.rect = n;
            t.handle = hit;
            pane->Track(t, point, replace(i, a));
            return;
        }
        if (!inImage)
            return;
        pane->PaneWidget()->setCursor(Qt::CrossCursor);
        SPaneTrack t;
        t.rect = RECT{point.x, point.y, point.x, point.y};
        t.handle = 2;
        t.line = line;
        pane->Track(t, point, [this, self = QPointer(this), toScan, line, pane](const RECT& band) {
            pane->PaneWidget()->unsetCursor();
            if (!self || !m_pSetup)
                return;
            const RECT r = line ? band : Normalized(band);
            if (std::abs(int64_t{r.right} - r.left) < kMinBand ||
                std::abs(int64_t{r.bottom} - r.top) < kMinBand)
                return;
            M().m_Areas.push_back(toScan(r));
            Changed();
        });
        return;
    }
    if (!UsePts())
        return;
    const int dpiX = pane->PaneWidget()->logicalDpiX(), dpiY = pane->PaneWidget()->logicalDpiY();
    const int64_t tolX = HimetricToPixels(kPointHimetric, dpiX) + 1;
    const int64_t tolY = HimetricToPixels(kPointHimetric, dpiY) + 1;
    for (size_t i = 0; i < M().m_Points.size(); ++i) {
        const auto& pt = M().m_Points[i];
        if (!AesScan::Complete(pt))
            continue;
        POINT p{pt.x, pt.y};
        SPtoLP(&p, pane);
        p = PixelToWindow(pane, p);
        if (std::abs(int64_t{p.x} - point.x) < tolX && std::abs(int64_t{p.y} - point.y) < tolY) {
            M().DeleteEntry(int(i));
            Changed();
            return;
        }
    }
    if (!inImage)
        return;
    POINT p = point;
    pane->WindowToImage(&p);
    LPtoSP(&p, pane);
    M().m_Points.push_back(CAcquireAES_Scn::CScanPoint{p.x, p.y});
    Changed();
}

bool CAcquireAES_ScnPage::SetCursor(IImagePane* pane, POINT point)
{
    if (!m_pSetup || !pane || !UseAreas() || pane->ImageWidth() <= 0)
        return false;
    // A tracking keeps the cursor it started with.
    if (pane->IsTracking())
        return true;
    for (const auto& a : M().m_Areas) {
        if (!AesScan::Complete(a))
            continue;
        const RECT r = AreaToWindow(*this, a, pane);
        if (UseLinescan()) {
            const int hit = HitTestLine(r, point);
            if (hit == TrackMove) {
                pane->PaneWidget()->setCursor(Qt::SizeAllCursor);
                return true;
            }
            if (hit >= 0) {
                pane->PaneWidget()->setCursor(TrackerCursor(hit));
                return true;
            }
            continue;
        }
        const int hit = TrackerHitTest(Normalized(r), point, kHandle);
        if (hit >= 0) {
            pane->PaneWidget()->setCursor(TrackerCursor(hit));
            return true;
        }
    }
    return false;
}
