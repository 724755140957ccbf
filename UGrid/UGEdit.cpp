#include "UGrid/UGEdit.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGDC.h"
#include "UGrid/UGGrid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>

#include <algorithm>

bool UGEditKeyDown(CUGCtrl* ctrl, QWidget*, int key, Qt::KeyboardModifiers mods, bool arrowsMove, int* cancel,
                   int* continueFlag, int* col, long* row)
{
    const int editCol = ctrl->GetEditCol();
    const long editRow = ctrl->GetEditRow();
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        *col = editCol + ((key == Qt::Key_Backtab || (mods & Qt::ShiftModifier)) ? -1 : 1);
        *row = editRow;
        *continueFlag = 1;
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        *col = editCol;
        *row = editRow + 1;
        *continueFlag = 1;
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!arrowsMove)
            return false;
        *col = editCol;
        *row = editRow + (key == Qt::Key_Up ? -1 : 1);
        *continueFlag = 1;
        return true;
    case Qt::Key_Escape:
        *cancel = 1;
        *continueFlag = 0;
        return true;
    default:
        return false;
    }
}

CUGEdit::CUGEdit(CUGCtrl* ctrl, QWidget* parent) : QPlainTextEdit(parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_123"));
    setFrameStyle(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(false);
    document()->setDocumentMargin(1);
    hide();
    connect(this, &QPlainTextEdit::textChanged, this, &CUGEdit::AutoSize);
}

BOOL CUGEdit::SetAutoSize(BOOL state)
{
    const BOOL old = m_autoSize;
    m_autoSize = state ? 1 : 0;
    return old;
}

void CUGEdit::SetText(const QString& text)
{
    const QSignalBlocker block(this);
    setPlainText(text);
}

void CUGEdit::AutoSize()
{
    if (!m_autoSize || !isVisible() || !parentWidget())
        return;
    QWidget* pane = parentWidget();
    const QRect win = geometry();
    const QFontMetrics fm(font());
    const QRect measure(win.left() + 2, win.top(), std::max(1, pane->width() - (win.left() + 2)), 100000);
    const QRect need = fm.boundingRect(measure, Qt::TextWordWrap, toPlainText() + QStringLiteral(" X X"));
    QRect r = win;
    const bool inGrid = pane == m_ctrl->GetGridWnd();
    auto cellAt = [&](int x, int y, RECT* cell) {
        int c;
        long row;
        return inGrid && m_ctrl->GetCellFromPoint(x, y, &c, &row, cell) == 0;
    };
    if (need.right() + 1 > win.right() + 1) {
        RECT cell;
        int right = pane->width() - 1;
        if (cellAt(need.right() + 1, win.top(), &cell))
            right = std::min(right, cell.right);
        r.setRight(std::max(r.right(), right - 1));
    }
    if (need.bottom() + 1 > win.bottom() + 1) {
        r.setRight(std::max(r.right(), pane->width() - 2));
        RECT cell;
        int bottom = pane->height() - 1;
        if (cellAt(win.left(), need.bottom() + 1, &cell))
            bottom = std::min(bottom, cell.bottom);
        r.setBottom(std::max(r.bottom(), bottom - 1));
    }
    r.setBottom(std::min(r.bottom(), pane->height() - 2));
    if (r != win) {
        setGeometry(r);
        m_currentHeight = r.height();
    }
}

void CUGEdit::TypeChar(UINT ch)
{
    UINT key = ch;
    if (!m_ctrl->OnEditVerify(m_ctrl->GetCurrentCol(), m_ctrl->GetCurrentRow(), this, &key))
        return;
    if (key == 9 || key == 13 || key == 27 || key == 0)
        return;
    if (key == 8) {
        textCursor().deletePreviousChar();
        return;
    }
    if (key < 32)
        return;
    insertPlainText(UGFromCp1252(std::string(1, char(key))));
}

void CUGEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText())
        return;
    // A cell copied from a spreadsheet or an editor comes with its line end and
    // often with spaces around it; a cell holds one line, so the tabs and line
    // ends of a block become spaces.
    QString text = source->text().trimmed();
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : text)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    // One refused character refuses the whole paste: "1,5" with the comma
    // dropped would be taken as 15 without a word.
    const QString before = toPlainText();
    const QTextCursor at = textCursor();
    const int anchor = at.anchor();
    const int position = at.position();
    // One edit block: the editor lays its text out once, not after every
    // character of a long paste.
    QTextCursor cursor = at;
    cursor.beginEditBlock();
    for (unsigned char ch : UGToCp1252(text)) {
        if (ch < 32 || ch == 127)
            continue; // Esc and the like are commands to the tables, never text
        UINT key = ch;
        if (!m_ctrl->OnEditVerify(m_ctrl->GetCurrentCol(), m_ctrl->GetCurrentRow(), this, &key)) {
            cursor.endEditBlock();
            SetText(before);
            QTextCursor back = textCursor();
            back.setPosition(anchor);
            back.setPosition(position, QTextCursor::KeepAnchor);
            setTextCursor(back);
            QApplication::beep();
            return;
        }
        if (key >= 32 && key != 127)
            cursor.insertText(UGFromCp1252(std::string(1, char(key))));
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void CUGEdit::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    try {
        const bool arrowsMove = m_currentHeight == m_origHeight;
        if (UGEditKeyDown(m_ctrl, this, event->key(), event->modifiers(), arrowsMove, &m_cancel,
                          &m_continueFlag, &m_continueCol, &m_continueRow)) {
            Finish(m_ctrl, true);
        } else if (event->text().isEmpty() || (event->modifiers() & Qt::ControlModifier)) {
            QPlainTextEdit::keyPressEvent(event);
            return;
        }
        // The character of the same key press follows its key-down.
        for (unsigned char ch : UGToCp1252(event->text()))
            TypeChar(ch);
    } catch (...) {
        // Nothing may cross the event loop.
    }
}

void CUGEdit::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    BeginEdit();
}

void CUGEdit::BeginEdit()
{
    m_origHeight = m_currentHeight = viewport()->height() + 4;
    AutoSize();
    m_cancel = 0;
    m_continueFlag = 0;
    selectAll();
}

void CUGEdit::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason)
        return; // a context menu of the editor itself
    Finish(QApplication::focusWidget(), false);
}

void CUGEdit::Finish(QWidget* gainer, bool fromKey)
{
    if (m_finishing || !m_ctrl->IsEditing() || m_ctrl->GetEditWindow() != this)
        return;
    if (!fromKey && (!gainer || (gainer != m_ctrl && gainer->parentWidget() != m_ctrl)))
        m_cancel = 1; // the user went elsewhere: abandon the edit
    m_finishing = true;
    const int col = m_ctrl->GetEditCol();
    const long row = m_ctrl->GetEditRow();
    const int rc = m_ctrl->EditCtrlFinished(UGToCp1252(toPlainText()).c_str(), m_cancel, m_continueFlag,
                                            m_continueCol, m_continueRow);
    m_finishing = false;
    if (rc == 0) {
        m_ctrl->GotoCell(col, row);
        m_cancel = 0;
        m_continueFlag = 0;
        setFocus(Qt::OtherFocusReason);
        return;
    }
    if (fromKey && !m_ctrl->IsEditing())
        m_ctrl->GetGridWnd()->setFocus(Qt::OtherFocusReason);
}
