#include "acquire/ui/AcquireGrid.h"

#include "acquire/ui/AcquireSheetBase.h"

#include <QFontMetrics>

void CAcquireGrid::OnSetup()
{
    // One font for every acquisition table: the dialog font.
    if (!m_pFont) {
        const QFont f = font();
        const int index = AddFont(f.family().toUtf8().constData(), -QFontMetrics(f).height() + 2, 400);
        m_pFont = GetFont(index);
    }
    EnableTextOverflow(false);
    CUGCell cell;
    GetHeadingDefault(&cell);
    cell.SetFont(m_pFont);
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNVCENTER);
    SetHeadingDefault(&cell);
    GetGridDefault(&cell);
    cell.SetFont(m_pFont);
    cell.SetCellType(0);
    cell.SetBorder(UG_BDR_RAISED);
    cell.SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNVCENTER);
    cell.SetReadOnly(1);
    SetGridDefault(&cell);
    SetHScrollMode(1);
    SetVScrollMode(1);
}

int CAcquireGrid::TextHeight() const
{
    return QFontMetrics(font()).height() + 4;
}

void CAcquireGrid::OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed)
{
    if (m_pParent)
        m_pParent->OnLClicked(col, row, pressed, rect, point, processed);
}

void CAcquireGrid::OnKeyDown(UINT* key, int processed)
{
    if (!key || *key != VK_RETURN || processed || !m_pParent || IsEditing())
        return;
    const int col = GetCurrentCol();
    const long row = GetCurrentRow();
    if (col < 0 || row < 0)
        return;
    *key = 0;
    m_pParent->OnLClicked(col, row, 1, nullptr, nullptr, 0);
}

void CAcquireGrid::OnRClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed)
{
    if (m_pParent)
        m_pParent->OnRClicked(col, row, pressed, rect, point, processed);
}

void CAcquireGrid::OnSH_LClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed)
{
    if (m_pParent)
        m_pParent->OnSH_LClicked(col, row, pressed, rect, point, processed);
}

int CAcquireGrid::OnCellTypeNotify(long id, int col, long row, long msg, long param)
{
    return m_pParent ? m_pParent->OnCellTypeNotify(id, col, row, msg, param) : 1;
}

int CAcquireGrid::OnEditStart(int col, long row, CWnd** edit)
{
    return m_pParent ? m_pParent->OnEditStart(col, row, edit) : 1;
}

int CAcquireGrid::OnEditVerify(int col, long row, CWnd* edit, UINT* key)
{
    return m_pParent ? m_pParent->OnEditVerify(col, row, edit, key) : 1;
}

int CAcquireGrid::OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag)
{
    return m_pParent ? m_pParent->OnEditFinish(col, row, edit, text, cancelFlag) : 1;
}

int CAcquireGrid::OnEditContinue(int oldcol, long oldrow, int* newcol, long* newrow)
{
    return m_pParent ? m_pParent->OnEditContinue(oldcol, oldrow, newcol, newrow) : 1;
}

void CAcquireGrid::OnMenuCommand(int col, long row, int section, int item)
{
    if (m_pParent)
        m_pParent->OnMenuCommand(col, row, section, item);
}

int CAcquireGrid::OnMenuStart(int col, long row, int section)
{
    return m_pParent ? m_pParent->OnMenuStart(col, row, section) : 1;
}

COLORREF CAcquireGrid::OnGetDefBackColor(int)
{
    return UGGetSysColor(UG_COLOR_BTNFACE);
}
