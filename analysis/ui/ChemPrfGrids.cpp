#include "analysis/ui/ChemPrfGrids.h"

#include "UGrid/UGDC.h"
#include "UGrid/UGDropListType.h"
#include "analysis/ui/ChemPrf.h"
#include "app/SpecViewBase.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Resources.h"
#include "res/resource.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <filesystem>

namespace {
constexpr int kInsert = 32823;
constexpr int kDelete = 57632;
} // namespace

void SetUpChemPrfGridDefaults(CUGCtrl& grid, CFont& font)
{
    font = CFont(QApplication::font());
    grid.EnableTextOverflow(FALSE);
    CUGCell cell;
    grid.GetHeadingDefault(&cell);
    cell.SetFont(&font);
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    grid.SetHeadingDefault(&cell);
    grid.GetGridDefault(&cell);
    cell.SetFont(&font);
    cell.SetCellType(0);
    cell.SetBorder(UG_BDR_RAISED);
    cell.SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    cell.SetReadOnly(TRUE);
    grid.SetGridDefault(&cell);
    grid.SetVScrollMode(1);
    grid.SetHScrollMode(1);
}

void CChemPrfFileGrid::OnSetup()
{
    SetUpChemPrfGridDefaults(*this, m_Font);
    m_iEllipsis = AddCellType(&m_Ellipsis);
    SetRowCount(6);
    SetColCount(6);
    SetSideHdgWidth(0);
    SetHScrollHeight(0);
    EmptyMenu();
    AddMenuItem(kDelete, "&Delete");
    AddMenuItem(kInsert, "&Insert");
    EnableMenu(TRUE);

    const QFontMetrics fm(m_Font.Font());
    const int rowHeight = fm.height() + 4;
    SetUniformRowHeight(TRUE);
    SetDefRowHeight(rowHeight);
    SetTopHdgHeight(rowHeight);
    const char* heads[6] = {"Filename", "Label", "Sample", "Region", "Level", "Value"};
    const int margin = 2 * GI()->m_margin;
    const int narrow = 4 * fm.maxWidth() + margin;
    const int value = fm.horizontalAdvance(QStringLiteral("-8.888888")) + margin;
    for (int c = 0; c < 6; ++c)
        SetTextAt(c, -1, heads[c]);
    for (int c = 1; c <= 4; ++c)
        SetColWidth(c, narrow);
    SetColWidth(5, value);
    const int total = std::max(560, 4 * narrow + value + 140);
    SetColWidth(0, total - 4 * narrow - value);
    setMinimumSize(total + GetVScrollWidth() + 2, 6 * rowHeight + 2);
    Fill();
}

std::vector<std::string> CChemPrfFileGrid::Items(int ref, int col) const
{
    std::vector<std::string> items;
    const CChemPrfRefSpectrum& r = *m_pSheet->GetRefList().at(size_t(ref));
    const CStagePosn* posn = r.m_pDoc->GetStagePosn(r.m_iSample);
    if (col == 2) {
        for (int i = 0; i < r.m_pDoc->GetNumStagePosns(); ++i)
            items.push_back(std::to_string(i));
    } else if (col == 3 && posn) {
        for (int i = 0; i < posn->GetNumSpecRgns(); ++i) {
            const CSpecRgn* rg = posn->GetSpecRgn(i);
            items.push_back(rg->GetName() + " " + rg->GetRegion());
        }
    } else if (col == 4 && r.GetRegion()) {
        for (int i = 0; i < r.GetRegion()->GetNumTraces(); ++i)
            items.push_back(std::to_string(i));
    }
    return items;
}

void CChemPrfFileGrid::Fill()
{
    const auto& refs = m_pSheet->GetRefList();
    const int m = int(refs.size());
    if (GetRowCount() < m + 1)
        SetRowCount(m + 1, FALSE);
    CUGCell cell;
    for (int i = 0; i < m; ++i) {
        const CChemPrfRefSpectrum& r = *refs[size_t(i)];
        GetCell(0, i, &cell);
        std::string title = r.m_pDoc->GetTitle();
        if (title.empty())
            title = std::filesystem::path(r.m_pDoc->GetPathName()).filename().string();
        cell.SetText(UGToCp1252(ToQString(title)).c_str()); // a file name: UTF-8
        cell.SetCellType(m_iEllipsis);
        cell.SetCellTypeParam(4);
        cell.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
        SetCell(0, i, &cell);
        GetCell(1, i, &cell);
        cell.SetReadOnly(FALSE);
        cell.SetCellType(0);
        cell.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
        SetCell(1, i, &cell);
        const int current[3] = {r.m_iSample, r.m_iRegion, r.m_iLevel};
        for (int c = 2; c <= 4; ++c) {
            const std::vector<std::string> items = Items(i, c);
            std::string label;
            for (const std::string& s : items)
                label += s + "\n";
            GetCell(c, i, &cell);
            const int k = current[c - 2];
            cell.SetText(k >= 0 && k < int(items.size()) ? items[size_t(k)].c_str() : "");
            const bool list = items.size() >= 2 && c != 2;
            cell.SetCellType(list ? 1 : 0);
            cell.SetLabel(list ? label.c_str() : "");
            cell.SetCellTypeParam(1);
            cell.SetReadOnly(TRUE);
            cell.SetBackColor(UGGetSysColor(list ? UG_COLOR_WINDOW : UG_COLOR_BTNFACE));
            SetCell(c, i, &cell);
        }
    }
    for (long row = m; row < GetRowCount(); ++row)
        for (int c = 0; c < 6; ++c) {
            GetCell(c, row, &cell);
            cell.SetText("");
            cell.SetLabel("");
            cell.SetReadOnly(TRUE);
            const bool add = row == m && c == 0;
            cell.SetCellType(add ? m_iEllipsis : 0);
            cell.SetCellTypeParam(add ? 4 : 1);
            cell.SetBackColor(UGGetSysColor(add ? UG_COLOR_WINDOW : UG_COLOR_BTNFACE));
            SetCell(c, row, &cell);
        }
    RefreshValues();
    RedrawAll();
}

void CChemPrfFileGrid::RefreshValues()
{
    CChemPrfParams* p = m_pSheet->GetParams();
    const int m = int(m_pSheet->GetRefList().size());
    const bool rows = p && p->GetRow(0);
    int level = m_pSheet->GetView() ? m_pSheet->GetView()->GetCurrentLevel() : 0;
    if (p)
        level = std::clamp(level, 0, p->GetNumLevels() - 1);
    for (int i = 0; i < m; ++i) {
        char buf[64] = "";
        if (rows && i < p->GetNumRefs())
            std::snprintf(buf, sizeof buf, "%f", p->GetIntensity(level, i));
        SetTextAt(5, i, buf);
    }
    RedrawCol(5);
}

void CChemPrfFileGrid::OnLClicked(int col, long row, int updn, RECT*, POINT*, int processed)
{
    if (updn && !processed && col == 1 && row >= 0 && row < long(m_pSheet->GetRefList().size()))
        StartEditCell(col, row, 0);
}

void CChemPrfFileGrid::OnKeyDown(UINT* key, int processed)
{
    if (!key || *key != VK_RETURN || processed || IsEditing())
        return;
    const int col = GetCurrentCol();
    const long row = GetCurrentRow();
    *key = 0;
    OnLClicked(col, row, 1, nullptr, nullptr, 0);
}

int CChemPrfFileGrid::OnCellTypeNotify(long, int col, long row, long msg, long param)
{
    if (msg == CTN_OPEN && col == 0) {
        if (m_pSheet->AddReferences(int(row), false))
            Fill();
        return 1;
    }
    if (msg == CTN_SELECT && row >= 0 && row < long(m_pSheet->GetRefList().size())) {
        const std::string* text = reinterpret_cast<const std::string*>(param);
        if (!text)
            return 0;
        if (col == 3) {
            // Regions often share a name (one transition measured at several
            // conditions): the list's row tells them apart, the text only
            // confirms it.
            const std::vector<std::string> items = Items(int(row), 3);
            const CUGLstBox* box = GetDropListType()->GetListBox();
            int chosen = box ? box->currentRow() : -1;
            if (chosen < 0 || chosen >= int(items.size()) || items[size_t(chosen)] != *text) {
                const auto it = std::find(items.begin(), items.end(), *text);
                if (it == items.end())
                    return 0;
                chosen = int(it - items.begin());
            }
            m_pSheet->SetRefRegion(int(row), chosen);
        } else if (col == 4) {
            m_pSheet->SetRefLevel(int(row), std::atoi(text->c_str()));
        }
    }
    return 1;
}

int CChemPrfFileGrid::OnEditFinish(int col, long row, CWnd*, std::string& string, int cancelFlag)
{
    // However the edit ends (Enter, Escape, a click elsewhere), the label
    // typed is the reference's, and the cell shows it.
    if (col == 1) {
        m_pSheet->SetRefLabel(int(row), string);
        if (cancelFlag)
            SetTextAt(col, row, string.c_str());
    }
    return 1;
}

int CChemPrfFileGrid::OnMenuStart(int col, long row, int section)
{
    return section == UG_SECTION_GRID && col >= 0 && col <= 5 && row >= 0 &&
           row < long(m_pSheet->GetRefList().size());
}

void CChemPrfFileGrid::OnMenuCommand(int, long row, int, int item)
{
    if (item == kInsert)
        m_pSheet->AddReferences(int(row), true);
    else if (item == kDelete)
        m_pSheet->RemoveReference(int(row));
    Fill();
}

COLORREF CChemPrfFileGrid::OnGetDefBackColor(int)
{
    return UGGetSysColor(UG_COLOR_BTNFACE);
}

// ------------------------------------------------------------- results

void CChemPrfPrfGrid::OnSetup()
{
    SetUpChemPrfGridDefaults(*this, m_Font);
    const CChemPrfParams* p = m_pSheet->GetParams();
    const auto& refs = m_pSheet->GetRefList();
    const int levels = p ? p->GetNumLevels() : 1, m = int(refs.size());
    SetRowCount(levels);
    SetColCount(m);
    const QFontMetrics fm(m_Font.Font());
    SetUniformRowHeight(TRUE);
    SetDefRowHeight(fm.height());
    SetTopHdgHeight(fm.height());
    const int width = fm.horizontalAdvance(QStringLiteral("8.888888e-888"));
    SetSideHdgWidth(fm.horizontalAdvance(QStringLiteral("8888")) + 2 * GI()->m_margin);
    for (int k = 0; k < m; ++k) {
        SetColWidth(k, width);
        // The label is the table's own code page 1252 text; a title comes
        // from a file name. The heading takes code page 1252 too.
        QString label = ToQString(refs[size_t(k)]->m_csLabel).trimmed();
        if (label.isEmpty()) {
            std::string title = refs[size_t(k)]->m_pDoc->GetTitle();
            if (title.empty())
                title = std::filesystem::path(refs[size_t(k)]->m_pDoc->GetPathName()).filename().string();
            label = ToQString(title.substr(0, 260));
        }
        SetTextAt(k, -1, UGToCp1252(label).c_str());
    }
    for (int l = 0; l < levels; ++l)
        SetTextAt(-1, l, std::to_string(l).c_str());
    // Every cell shown when the screen allows; the dialog decides the
    // scroll bars and what has to be cut.
    int w = m * width + GetSideHdgWidth() + 2, h = (levels + 1) * fm.height() + 2;
    int hs = GetHScrollHeight(), vs = GetVScrollWidth();
    if (auto* dlg = dynamic_cast<CChemPrf_Profiling*>(parentWidget()))
        dlg->LayoutControls(w, h, hs, vs);
    SetHScrollHeight(hs);
    SetVScrollWidth(vs);
    setFixedSize(w, h);
}

void CChemPrfPrfGrid::ShowLevel(int level)
{
    const CChemPrfParams* p = m_pSheet->GetParams();
    if (!p || level < 0 || level >= GetRowCount())
        return;
    for (int k = 0; k < p->GetNumRefs() && k < GetColCount(); ++k) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%f", p->GetIntensity(level, k));
        SetTextAt(k, level, buf);
    }
    RedrawRow(level);
}

COLORREF CChemPrfPrfGrid::OnGetDefBackColor(int)
{
    return UGGetSysColor(UG_COLOR_BTNFACE);
}
