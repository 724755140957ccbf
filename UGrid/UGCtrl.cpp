#include "UGrid/UGCtrl.h"

#include "UGrid/UGCnrBtn.h"
#include "UGrid/UGEdit.h"
#include "UGrid/UGFindDlg.h"
#include "UGrid/UGGrid.h"
#include "UGrid/UGHScroll.h"
#include "UGrid/UGHint.h"
#include "UGrid/UGMaskedEdit.h"
#include "UGrid/UGPrint.h"
#include "UGrid/UGSideHdg.h"
#include "UGrid/UGTab.h"
#include "UGrid/UGTopHdg.h"
#include "UGrid/UGVScroll.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <cstring>

CUGCtrl::CUGCtrl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    UpdateSysColors();
    m_menu = std::make_unique<QMenu>();
    m_CUGHint = std::make_unique<CUGHint>();
    m_CUGEdit = new CUGEdit(this, this); // a child: Qt deletes it with the control
    m_CUGPrint = std::make_unique<CUGPrint>(this);
    for (auto& sheet : m_sheets)
        if (!sheet->m_editCtrl)
            sheet->m_editCtrl = m_CUGEdit;
    const int scrollExtent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (auto& sheet : m_sheets) {
        // Sheet 0 was made before the palette was read.
        sheet->m_hdgDefaults->SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
        sheet->m_vScrollWidth = scrollExtent;
        sheet->m_hScrollHeight = scrollExtent;
    }
    // The built-in types take the indexes 0 to 3.
    AddCellType(&m_normalCellType);
    AddCellType(&m_dropListType);
    AddCellType(&m_checkBoxType);
    AddCellType(&m_arrowType);
}

CUGCtrl::~CUGCtrl()
{
    if (m_CUGHint)
        m_CUGHint->hide();
    // The panes call back into the control while they lose the focus: they go
    // while the whole control still exists, not in the base's destructor.
    m_childrenCreated = false;
    m_paintFlag = 0;
    hide();
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    m_CUGGrid = nullptr;
    m_CUGEdit = nullptr;
    m_CUGTab = nullptr;
}

void CUGCtrl::UpdateSysColors()
{
    const QPalette pal = QApplication::palette();
    UGSetSysColor(UG_COLOR_WINDOW, UGFromQColor(pal.color(QPalette::Base)));
    UGSetSysColor(UG_COLOR_WINDOWTEXT, UGFromQColor(pal.color(QPalette::Text)));
    UGSetSysColor(UG_COLOR_HIGHLIGHT, UGFromQColor(pal.color(QPalette::Highlight)));
    UGSetSysColor(UG_COLOR_HIGHLIGHTTEXT, UGFromQColor(pal.color(QPalette::HighlightedText)));
    UGSetSysColor(UG_COLOR_BTNFACE, UGFromQColor(pal.color(QPalette::Button)));
    UGSetSysColor(UG_COLOR_BTNSHADOW, UGFromQColor(pal.color(QPalette::Dark)));
    UGSetSysColor(UG_COLOR_BTNTEXT, UGFromQColor(pal.color(QPalette::ButtonText)));
    UGSetSysColor(UG_COLOR_INFOBK, UGFromQColor(pal.color(QPalette::ToolTipBase)));
}

template <class Pane> int CUGCtrl::ReplacePane(Pane*& slot, Pane* pane)
{
    if (!pane)
        return 1;
    Pane* old = slot;
    slot = pane;
    pane->setParent(this);
    if (m_childrenCreated) {
        if (m_CUGEdit && m_CUGEdit->parentWidget() == old)
            m_CUGEdit->setParent(m_CUGGrid);
        CUGCtrlCore::AdjustLayout();
    }
    delete old; // a Qt child: deleting it also takes it from the control
    return 0;
}

int CUGCtrl::SetNewTopHeadingClass(CUGTopHdg* pane)
{
    return ReplacePane(m_CUGTopHdg, pane);
}
int CUGCtrl::SetNewSideHeadingClass(CUGSideHdg* pane)
{
    return ReplacePane(m_CUGSideHdg, pane);
}
int CUGCtrl::SetNewGridClass(CUGGrid* pane)
{
    return ReplacePane(m_CUGGrid, pane);
}
int CUGCtrl::SetNewVScrollClass(CUGVScroll* pane)
{
    return ReplacePane(m_CUGVScroll, pane);
}
int CUGCtrl::SetNewHScrollClass(CUGHScroll* pane)
{
    return ReplacePane(m_CUGHScroll, pane);
}
int CUGCtrl::SetNewTabClass(CUGTab* pane)
{
    if (pane)
        pane->SetCtrl(this);
    return ReplacePane(m_CUGTab, pane);
}

void CUGCtrl::CreateChildWindows()
{
    if (m_childrenCreated)
        return;
    m_childrenCreated = true;
    // Panes a table put in place beforehand are kept.
    if (!m_CUGGrid)
        m_CUGGrid = new CUGGrid(this, this);
    if (!m_CUGTopHdg)
        m_CUGTopHdg = new CUGTopHdg(this, this);
    if (!m_CUGSideHdg)
        m_CUGSideHdg = new CUGSideHdg(this, this);
    m_CUGCnrBtn = new CUGCnrBtn(this, this);
    if (!m_CUGVScroll)
        m_CUGVScroll = new CUGVScroll(this, this);
    if (!m_CUGHScroll)
        m_CUGHScroll = new CUGHScroll(this, this);
    if (!m_CUGTab)
        m_CUGTab = new CUGTab(this, this);
    m_CUGHint->Create(this);
    m_CUGEdit->setParent(m_CUGGrid);
    m_CUGEdit->hide();
    for (QWidget* w : {static_cast<QWidget*>(m_CUGGrid), static_cast<QWidget*>(m_CUGTopHdg),
                       static_cast<QWidget*>(m_CUGSideHdg), static_cast<QWidget*>(m_CUGCnrBtn),
                       static_cast<QWidget*>(m_CUGVScroll), static_cast<QWidget*>(m_CUGHScroll)})
        w->show();
    SetClientSize(width(), height());
    AdjustLayout();
}

BOOL CUGCtrl::CreateGrid(unsigned, const RECT& rect, QWidget* parent, UINT id)
{
    setParent(parent);
    setObjectName(QStringLiteral("id_%1").arg(id));
    setGeometry(UGToQRect(rect));
    CreateChildWindows();
    OnSetup();
    OnSheetSetup(0);
    show();
    return 1;
}

int CUGCtrl::AttachToDlgItem(QWidget* parent, UINT id)
{
    return AttachToDlgItem(parent, QStringLiteral("id_%1").arg(id));
}

int CUGCtrl::AttachToDlgItem(QWidget* parent, const QString& name)
{
    QWidget* placeholder = parent ? parent->findChild<QWidget*>(name) : nullptr;
    if (!placeholder)
        return 0;
    QWidget* container = placeholder->parentWidget();
    setParent(container);
    setObjectName(name);
    setGeometry(placeholder->geometry());
    setSizePolicy(placeholder->sizePolicy());
    setMinimumSize(placeholder->minimumSize());
    if (container && container->layout())
        delete container->layout()->replaceWidget(placeholder, this, Qt::FindChildrenRecursively);
    placeholder->hide();
    placeholder->setObjectName(name + QStringLiteral("_placeholder"));
    placeholder->deleteLater();
    CreateChildWindows();
    show();
    OnSetup();
    OnSheetSetup(0);
    return 0;
}

void CUGCtrl::resizeEvent(QResizeEvent*)
{
    if (!m_childrenCreated)
        CreateChildWindows();
    const int saved = m_paintFlag;
    m_paintFlag = 0;
    SetClientSize(width(), height());
    CUGCtrlCore::AdjustLayout();
    m_paintFlag = saved;
    RedrawAll();
}

void CUGCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), UGToQColor(UGGetSysColor(UG_COLOR_BTNFACE)));
}

void CUGCtrl::focusInEvent(QFocusEvent*)
{
    if (m_CUGGrid)
        m_CUGGrid->setFocus(Qt::OtherFocusReason);
}

void CUGCtrl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange)
        return;
    // The system colours changed: every registered cell type hears of it.
    UpdateSysColors();
    for (int i = 0; i < m_cellTypeList.GetMaxCount(); ++i)
        if (auto* type = static_cast<CUGCellType*>(m_cellTypeList.GetPointer(i)))
            type->OnSysColorChange();
    RedrawAll();
}

QWidget* CUGCtrl::PaneOf(int section) const
{
    switch (section) {
    case UG_SECTION_GRID:
        return m_CUGGrid;
    case UG_SECTION_TOPHDG:
        return m_CUGTopHdg;
    case UG_SECTION_SIDEHDG:
        return m_CUGSideHdg;
    case UG_SECTION_CORNER:
        return m_CUGCnrBtn;
    case UG_SECTION_VSCROLL:
        return m_CUGVScroll;
    case UG_SECTION_HSCROLL:
        return m_CUGHScroll;
    case UG_SECTION_TAB:
        return m_CUGTab;
    default:
        return nullptr;
    }
}

CPen* CUGCtrl::GridLinePen()
{
    m_gridLinePen = CPen(m_GI->m_gridLineColor, 1);
    return &m_gridLinePen;
}

void CUGCtrl::OnLayoutApplied(bool)
{
    if (!m_childrenCreated)
        return;
    CUGGridInfo& g = *m_GI;
    auto place = [](QWidget* w, const RECT& r) {
        const QRect q = UGToQRect(r);
        if (q.width() <= 0 || q.height() <= 0) {
            w->hide();
            return;
        }
        w->setGeometry(q);
        w->show();
    };
    place(m_CUGGrid, g.m_gridRect);
    place(m_CUGTopHdg, g.m_topHdgRect);
    place(m_CUGSideHdg, g.m_sideHdgRect);
    place(m_CUGCnrBtn, g.m_cnrBtnRect);
    place(m_CUGVScroll, g.m_vScrollRect);
    place(m_CUGHScroll, g.m_hScrollRect);
    place(m_CUGTab, g.m_tabRect);
    RedrawAll();
}

int CUGCtrl::RedrawAll()
{
    if (!m_paintFlag || !m_childrenCreated)
        return 0;
    m_CUGGrid->Redraw();
    m_CUGSideHdg->Redraw();
    m_CUGCnrBtn->Redraw();
    m_CUGVScroll->Update();
    m_CUGHScroll->Update();
    m_CUGTopHdg->Redraw();
    m_CUGTab->Redraw();
    update();
    return 0;
}

int CUGCtrl::RedrawCell(int col, long row)
{
    if (!m_paintFlag || !m_childrenCreated)
        return 0;
    if (col < 0)
        m_CUGSideHdg->update();
    else if (row < 0)
        m_CUGTopHdg->update();
    else
        m_CUGGrid->RedrawCell(col, row);
    return 0;
}

int CUGCtrl::RedrawRow(long row)
{
    if (m_paintFlag && m_childrenCreated)
        m_CUGGrid->RedrawRow(row);
    return 0;
}

int CUGCtrl::RedrawCol(int col)
{
    if (m_paintFlag && m_childrenCreated)
        m_CUGGrid->RedrawCol(col);
    return 0;
}

int CUGCtrl::RedrawRange(int startCol, long startRow, int endCol, long endRow)
{
    if (m_paintFlag && m_childrenCreated)
        m_CUGGrid->RedrawRange(startCol, startRow, endCol, endRow);
    return 0;
}

int CUGCtrl::SetDoubleBufferMode(int mode)
{
    CUGCtrlCore::SetDoubleBufferMode(mode);
    return m_CUGGrid ? m_CUGGrid->SetDoubleBufferMode(mode) : 0;
}

void CUGCtrl::OnViewMoved()
{
    if (!m_childrenCreated || !m_paintFlag)
        return;
    m_CUGGrid->Moved();
    m_CUGSideHdg->Moved();
    m_CUGTopHdg->Moved();
    m_CUGVScroll->Moved();
    m_CUGHScroll->Moved();
    m_CUGCnrBtn->Moved();
}

void CUGCtrl::OnCurrentCellChanged(int oldCol, long oldRow, int newCol, long newRow)
{
    CUGCell cell;
    if (oldCol >= 0 && oldRow >= 0 && oldCol < m_GI->m_numberCols && oldRow < m_GI->m_numberRows) {
        GetCellIndirect(oldCol, oldRow, &cell);
        GetCellType(cell.GetCellType())->OnKillFocus(oldCol, oldRow, &cell);
    }
    if (newCol >= 0 && newRow >= 0) {
        GetCellIndirect(newCol, newRow, &cell);
        GetCellType(cell.GetCellType())->OnSetFocus(newCol, newRow, &cell);
    }
}

bool CUGCtrl::IsShiftHeld() const
{
    return QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
}

bool CUGCtrl::IsCtrlHeld() const
{
    return QGuiApplication::keyboardModifiers() & Qt::ControlModifier;
}

bool CUGCtrl::IsCellTypeEditable(const CUGCell& cell)
{
    return GetCellType(cell.GetCellType())->IsEditable() != 0;
}

void CUGCtrl::ShowEditWindow(CWnd* edit, int section, int key)
{
    if (!edit || !m_childrenCreated)
        return;
    QWidget* pane = PaneOf(section);
    RECT rect{};
    if (section == UG_SECTION_GRID) {
        int c = m_editCol;
        long r = m_editRow;
        GetCellRect(&c, &r, &rect);
    } else if (section == UG_SECTION_SIDEHDG) {
        int c0 = 0;
        long r0 = m_editRow;
        GetCellRect(&c0, &r0, &rect);
        int x = 0;
        for (int k = -m_GI->m_numberSideHdgCols; k < m_editCol; ++k)
            x += GetSideHdgColWidth(k);
        rect.left = x;
        rect.right = x + GetSideHdgColWidth(m_editCol);
    } else {
        int c0 = m_editCol;
        long r0 = 0;
        GetCellRect(&c0, &r0, &rect);
        int y = 0;
        for (int k = -m_GI->m_numberTopHdgRows; k < int(m_editRow); ++k)
            y += GetTopHdgRowHeight(k);
        rect.top = y;
        rect.bottom = y + GetTopHdgRowHeight(int(m_editRow));
    }
    rect.right -= 1;
    rect.bottom -= 1;
    GetCellType(m_editCell.GetCellType())->OnEditRect(&rect);

    std::string text;
    m_editCell.GetTextString(text);
    const QString qtext = UGFromCp1252(text);
    if (auto* e = qobject_cast<CUGEdit*>(edit))
        e->SetText(qtext);
    else if (auto* m = qobject_cast<CUGMaskedEdit*>(edit))
        m->setText(qtext);
    const CFont* font = m_editCell.GetFont() ? m_editCell.GetFont() : m_GI->m_defFont;
    if (font)
        edit->setFont(font->Font());
    if (edit->parentWidget() != pane)
        edit->setParent(pane);
    edit->setGeometry(UGToQRect(rect));
    edit->show();
    edit->raise();
    edit->activateWindow();
    const bool hadFocus = edit->hasFocus();
    edit->setFocus(Qt::OtherFocusReason);
    if (hadFocus || !edit->hasFocus()) {
        if (auto* e = qobject_cast<CUGEdit*>(edit))
            e->BeginEdit();
        else if (auto* m = qobject_cast<CUGMaskedEdit*>(edit))
            m->BeginEdit();
    }
    if (key > 0) {
        if (auto* e = qobject_cast<CUGEdit*>(edit))
            e->TypeChar(UINT(key));
        else if (auto* m = qobject_cast<CUGMaskedEdit*>(edit))
            m->TypeChar(UINT(key));
    }
}

void CUGCtrl::HideEditWindow(CWnd* edit)
{
    if (edit)
        edit->hide();
}

void CUGCtrl::FocusGridFromEdit()
{
    if (m_editCtrl && m_editCtrl->hasFocus() && m_CUGGrid)
        m_CUGGrid->setFocus(Qt::OtherFocusReason);
}

CWnd* CUGCtrl::DefaultEditWindow()
{
    return m_CUGEdit;
}

void CUGCtrl::FocusGrid()
{
    if (m_CUGGrid && !m_CUGGrid->hasFocus() && isVisible())
        m_CUGGrid->setFocus(Qt::OtherFocusReason);
}

void CUGCtrl::OnDrawFocusRect(CDC* dc, RECT* rect)
{
    RECT r = *rect;
    r.right -= 1;
    r.bottom -= 1;
    dc->DrawFocusRect(r);
}

// ---------------------------------------------------------------- registries

int CUGCtrl::AddFont(const char* face, int height, int weight)
{
    return AddFont(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face);
}

int CUGCtrl::AddFont(int height, int width, int escapement, int orientation, int weight, unsigned char italic,
                     unsigned char underline, unsigned char strikeOut, unsigned char charSet,
                     unsigned char outPrecision, unsigned char clipPrecision, unsigned char quality,
                     unsigned char pitchAndFamily, const char* face)
{
    std::string name = face ? face : "";
    if (name.size() > 31)
        name.clear();
    // The description: thirteen numbers and the face name, compared as a whole.
    FontDesc desc{};
    const int numbers[13] = {height,        width,     escapement,    orientation, weight,
                             italic,        underline, strikeOut,     charSet,     outPrecision,
                             clipPrecision, quality,   pitchAndFamily};
    std::memcpy(desc.n, numbers, sizeof numbers);
    std::memcpy(desc.face, name.c_str(), name.size());
    for (size_t i = 0; i < m_fontDescs.size(); ++i) {
        if (std::memcmp(&m_fontDescs[i].second, &desc, sizeof desc) == 0) {
            const int index = m_fontList.GetPointerIndex(m_fontDescs[i].first);
            if (index >= 0) {
                m_fontList.UpdateParam(index, m_fontList.GetParam(index) + 1);
                return index;
            }
        }
    }
    QFont qf(QString::fromLatin1(name.c_str()));
    if (height != 0)
        qf.setPixelSize(std::abs(height));
    if (weight > 0)
        qf.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
    qf.setItalic(italic != 0);
    qf.setUnderline(underline != 0);
    qf.setStrikeOut(strikeOut != 0);
    auto font = std::make_unique<CFont>(qf);
    const int index = m_fontList.AddPointer(font.get(), 0);
    if (index < 0)
        return -1;
    m_fontDescs.emplace_back(font.get(), desc);
    m_fonts.push_back(std::move(font));
    return index;
}

int CUGCtrl::RemoveFont(int index)
{
    if (!m_fontList.GetPointer(index))
        return 1;
    const long count = m_fontList.GetParam(index);
    m_fontList.UpdateParam(index, count - 1);
    if (count >= 2)
        return 0;
    // The font object stays alive until the control goes: cells may still name it.
    return m_fontList.DeletePointer(index);
}

int CUGCtrl::ClearAllFonts()
{
    return m_fontList.EmptyList();
}

// The grid owns the bitmap; the list hands out its index.
int CUGCtrl::AddBitmapImage(const QImage& image)
{
    auto bmp = std::make_unique<CBitmap>(image);
    const int index = m_bitmapList.AddPointer(bmp.get());
    if (index >= 0)
        m_bitmaps.push_back(std::move(bmp));
    return index;
}

int CUGCtrl::AddBitmap(UINT resourceId, const char* resourceName)
{
    const QString path = resourceName ? QStringLiteral(":/bitmaps/%1").arg(QString::fromLatin1(resourceName))
                                      : QStringLiteral(":/bitmaps/%1").arg(resourceId);
    QImage image(path);
    if (image.isNull())
        return -1;
    return AddBitmapImage(image);
}

int CUGCtrl::AddBitmap(const char* fileName)
{
    if (!fileName)
        return -1;
    // The file is decoded and checked as a whole before any size from it is used.
    QImageReader reader(QString::fromLocal8Bit(fileName));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.width() > 16384 || size.height() > 16384)
        return -1;
    QImage image = reader.read();
    if (image.isNull())
        return -1;
    return AddBitmapImage(image);
}

int CUGCtrl::RemoveBitmap(int index)
{
    return m_bitmapList.DeletePointer(index);
}

int CUGCtrl::ClearAllBitmaps()
{
    return m_bitmapList.EmptyList();
}

int CUGCtrl::AddCellType(CUGCellType* type)
{
    if (!type)
        return -1;
    const int index = m_cellTypeList.AddPointer(type);
    if (index < 0)
        return -1;
    type->SetOwner(this);
    type->SetID(index);
    return index;
}

int CUGCtrl::RemoveCellType(int index)
{
    m_cellTypeList.DeletePointer(index);
    return 0;
}

CUGCellType* CUGCtrl::GetCellType(int index)
{
    if (index > 0)
        if (auto* t = static_cast<CUGCellType*>(m_cellTypeList.GetPointer(index)))
            return t;
    return &m_normalCellType;
}

int CUGCtrl::GetCellTypeIndex(CUGCellType* type) const
{
    return m_cellTypeList.GetPointerIndex(type);
}

CUGCellType* CUGCtrl::GetCellTypeOfCell(int col, long row)
{
    CUGCell cell;
    GetCellIndirect(col, row, &cell);
    return GetCellType(cell.IsPropertySet(UGCELL_CELLTYPE) ? cell.GetCellType() : 0);
}

// ---------------------------------------------------------------- pop-up menu

int CUGCtrl::EmptyMenu()
{
    m_menu->clear();
    return 0;
}

int CUGCtrl::AddMenuItem(int id, const char* text)
{
    if (!text || !*text || id == -1) {
        m_menu->addSeparator();
        return 0;
    }
    QAction* action = m_menu->addAction(UGFromCp1252(text));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return 0;
}

int CUGCtrl::RemoveMenuItem(int id)
{
    for (QAction* a : m_menu->actions())
        if (!a->isSeparator() && a->data().toInt() == id) {
            m_menu->removeAction(a);
            a->deleteLater();
            return 0;
        }
    return 1;
}

int CUGCtrl::StartMenu(int col, long row, POINT* screenPoint, int section)
{
    if (!m_GI->m_enablePopupMenu)
        return 1;
    if (m_GI->m_enableJoins && col >= 0 && row >= 0)
        GetJoinStartCell(&col, &row);
    if (!OnMenuStart(col, row, section))
        return 2;
    m_menuCol = col;
    m_menuRow = row;
    m_menuSection = section;
    if (!screenPoint)
        return 3;
    m_menu->popup(QPoint(screenPoint->x, screenPoint->y));
    return 0;
}

void CUGCtrl::OnCommand(int id)
{
    try {
        if (id > 999)
            OnMenuCommand(m_menuCol, m_menuRow, m_menuSection, id);
    } catch (...) {
        // Nothing may cross the event loop.
    }
}

// ---------------------------------------------------------------- tracking window

int CUGCtrl::SetTrackingWindow(QWidget* window)
{
    if (!window)
        return 1;
    m_trackWnd = window;
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return 0;
}

void CUGCtrl::MoveTrackingWindow()
{
    if (!m_trackWnd || !m_childrenCreated)
        return;
    const QRect screen = m_trackWnd->screen() ? m_trackWnd->screen()->geometry() : QRect(0, 0, 1024, 768);
    const QRect before = m_trackWnd->frameGeometry();
    QRect win(m_CUGGrid->mapFromGlobal(before.topLeft()), before.size());
    int c = m_GI->m_dragCol;
    long r = m_GI->m_dragRow;
    RECT cellR;
    GetCellRect(&c, &r, &cellR);
    const QRect cell = UGToQRect(cellR);
    bool moved = false;
    if (m_GI->m_trackingWndMode == 1) {
        win.moveTo(cell.left() + 30, cell.top());
        moved = true;
    }
    if (win.intersects(cell)) {
        const QPoint g = m_CUGGrid->mapToGlobal(QPoint(0, 0));
        const int dxRight = cell.left() + cell.width() - win.left() + 5;
        const int dyDown = cell.top() + cell.height() - win.top() + 5;
        const int dxLeft = cell.left() - (win.left() + win.width()) - 5;
        const int dyUp = cell.top() - (win.top() + win.height()) - 5;
        if (g.x() + win.left() + win.width() + dxRight < screen.right())
            win.translate(dxRight, 0);
        else if (g.y() + win.top() + win.height() + dyDown < screen.bottom())
            win.translate(0, dyDown);
        else if (g.x() + win.left() + dxLeft > 0)
            win.translate(dxLeft, 0);
        else if (g.y() + win.top() + win.height() + dyUp < screen.bottom())
            win.translate(0, dyUp);
        moved = true;
    }
    if (!moved)
        return;
    RECT prev = UGFromQRect(before);
    const QPoint global = m_CUGGrid->mapToGlobal(win.topLeft());
    RECT next = UGFromQRect(QRect(global, win.size()));
    OnTrackWndMoved(&prev, &next);
    m_trackWnd->move(global);
    m_trackWnd->update();
    RedrawAll();
}

// ---------------------------------------------------------------- best fit

int CUGCtrl::BestFit(int startCol, int endCol, int rowsToScan, int flags)
{
    CUGGridInfo& g = *m_GI;
    if (startCol < -g.m_numberSideHdgCols)
        return 1;
    if (endCol >= g.m_numberCols)
        return 2;
    if (endCol < startCol)
        return 3;
    std::vector<int> widths(size_t(endCol - startCol + 1), 3);
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    painter.setFont(m_CUGGrid ? m_CUGGrid->font() : font());
    CDC dc(&painter);
    CUGCell cell;
    auto measure = [&](long row) {
        for (int c = startCol; c <= endCol; ++c) {
            GetCellIndirect(c, row, &cell);
            if (cell.IsPropertySet(UGCELL_JOIN))
                continue;
            SIZE size;
            GetCellType(cell.GetCellType())->GetBestSize(&dc, &size, &cell);
            int& w = widths[size_t(c - startCol)];
            w = std::max(w, int(size.cx));
        }
    };
    long scanned = 0;
    auto limitReached = [&] { return rowsToScan > 0 && scanned >= rowsToScan; };
    if (flags & 1)
        for (long r = -g.m_numberTopHdgRows; r < 0 && !limitReached(); ++r, ++scanned)
            measure(r);
    for (long r = 0; r < g.m_numberRows && !limitReached(); ++r, ++scanned) {
        r = g.SkipScrolledRows(r);
        if (r >= g.m_numberRows)
            break;
        measure(r);
    }
    const int limit = std::max(0, g.m_gridWidth - g.m_vScrollWidth);
    for (int c = startCol; c <= endCol; ++c) {
        const int w =
            std::min(widths[size_t(c - startCol)], limit > 0 ? limit : widths[size_t(c - startCol)]);
        if (c < 0)
            SetSideHdgColWidth(c, w);
        else
            SetColWidth(c, w);
    }
    CUGCtrlCore::AdjustLayout();
    return 0;
}

// ---------------------------------------------------------------- sheet tabs

int CUGCtrl::AddTab(const char* label, long id)
{
    CreateChildWindows();
    return m_CUGTab->AddTab(label, id);
}

int CUGCtrl::InsertTab(int position, const char* label, long id)
{
    CreateChildWindows();
    return m_CUGTab->InsertTab(position, label, id);
}

int CUGCtrl::DeleteTab(long id)
{
    CreateChildWindows();
    return m_CUGTab->DeleteTab(id);
}

int CUGCtrl::GetCurrentTab()
{
    CreateChildWindows();
    return m_CUGTab->GetCurrentTab();
}

int CUGCtrl::SetTabBackColor(long id, COLORREF colour)
{
    CreateChildWindows();
    return m_CUGTab->SetTabBackColor(id, colour);
}

int CUGCtrl::SetTabTextColor(long id, COLORREF colour)
{
    CreateChildWindows();
    return m_CUGTab->SetTabTextColor(id, colour);
}

int CUGCtrl::SetCurrentTab(long id)
{
    CreateChildWindows();
    if (m_CUGTab->SetCurrentTab(id) == 0)
        return 1;
    OnTabSelected(int(id));
    return 0;
}

// ---------------------------------------------------------------- printing

int CUGCtrl::PrintInit(CDC* printer, int reserved, int startCol, long startRow, int endCol, long endRow)
{
    const int pages = m_CUGPrint->PrintInit(printer, reserved, startCol, startRow, endCol, endRow);
    if (pages == 0 && m_CUGPrint->Geometry().empty())
        QMessageBox::warning(window(), tr("Print"),
                             tr("The margins leave no room to print on the page: nothing was printed."));
    return pages;
}

int CUGCtrl::PrintPage(CDC* printer, int page)
{
    return m_CUGPrint->PrintPage(printer, page);
}

int CUGCtrl::PrintSetOption(int option, long value)
{
    return m_CUGPrint->PrintSetOption(option, value);
}

int CUGCtrl::PrintGetOption(int option, long)
{
    return m_CUGPrint->PrintGetOption(option);
}

// ---------------------------------------------------------------- find and clipboard

int CUGCtrl::OpenFindDialog(bool replace)
{
    if (m_findDlg || m_findDialogOpen)
        return 1;
    m_findDialogOpen = true;
    m_findFirst = true;
    m_findDlg = new CUGFindDlg(this, replace, this);
    m_findDlg->setWindowFlag(Qt::Dialog);
    m_findDlg->show();
    return 0;
}

CUGFindDlg* CUGCtrl::GetFindDlg() const
{
    return m_findDlg;
}

void CUGCtrl::ShowNotFound()
{
    QMessageBox::information(m_findDlg ? static_cast<QWidget*>(m_findDlg) : window(), tr("Not Found"),
                             tr("Item not found"), QMessageBox::Ok);
}

int CUGCtrl::CopyToClipboard(const char* text)
{
    QGuiApplication::clipboard()->setText(UGFromCp1252(text ? text : ""));
    return 0;
}

int CUGCtrl::GetClipboardText(std::string& text)
{
    const QString t = QGuiApplication::clipboard()->text();
    if (t.isEmpty())
        return 1;
    text = UGToCp1252(t);
    return 0;
}
