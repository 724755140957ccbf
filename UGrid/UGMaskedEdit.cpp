#include "UGrid/UGMaskedEdit.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGDC.h"
#include "UGrid/UGEdit.h"
#include "UGrid/UGGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

CUGMaskedEdit::CUGMaskedEdit(CUGCtrl* ctrl, QWidget* parent) : QLineEdit(parent), m_ctrl(ctrl)
{
    setFrame(false);
    // Dropped text would go in past the mask.
    setAcceptDrops(false);
    hide();
}

int CUGMaskedEdit::SetMask(const char* mask)
{
    m_mask.SetMask(mask);
    setMaxLength(m_mask.IsOn() ? std::max(1, int(m_mask.Positions().size())) : 32767);
    std::string t = UGToCp1252(text());
    if (!t.empty() && m_mask.IsOn()) {
        const int start = cursorPosition();
        m_mask.ApplyMask(t);
        m_internalInput = true;
        setText(UGFromCp1252(t));
        setCursorPosition(std::min(start, int(t.size())));
        m_internalInput = false;
    }
    return 0;
}

void CUGMaskedEdit::TypeChar(UINT ch)
{
    if (!m_internalInput) {
        std::string t = UGToCp1252(text());
        int s = hasSelectedText() ? selectionStart() : cursorPosition();
        int e = hasSelectedText() ? selectionStart() + int(selectedText().size()) : s;
        const std::string before = t;
        const bool ok = m_mask.TypeChar(t, s, e, static_cast<unsigned char>(ch));
        if (t != before) {
            m_internalInput = true;
            setText(UGFromCp1252(t));
            m_internalInput = false;
        }
        setCursorPosition(s);
        if (!ok)
            return;
    }
    UINT key = ch;
    if (!m_ctrl->OnEditVerify(m_ctrl->GetCurrentCol(), m_ctrl->GetCurrentRow(), this, &key))
        return;
    if (key == 9 || key == 13 || key == 27 || key == 0)
        return;
    if (key == 8) {
        backspace();
        return;
    }
    if (key >= 32)
        insert(UGFromCp1252(std::string(1, char(key))));
}

void CUGMaskedEdit::PasteMasked(const QString& text)
{
    if (!m_mask.IsOn()) {
        insert(text);
        return;
    }
    for (unsigned char ch : UGToCp1252(text))
        TypeChar(ch);
}

void CUGMaskedEdit::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    try {
        if (m_mask.IsOn() && event->matches(QKeySequence::Paste)) {
            PasteMasked(QApplication::clipboard()->text());
            return;
        }
        if (UGEditKeyDown(m_ctrl, this, event->key(), event->modifiers(), true, &m_cancel, &m_continueFlag,
                          &m_continueCol, &m_continueRow)) {
            Finish(m_ctrl);
            if (!m_ctrl->IsEditing())
                m_ctrl->GetGridWnd()->setFocus(Qt::OtherFocusReason);
        } else if (event->text().isEmpty() || (event->modifiers() & Qt::ControlModifier)) {
            QLineEdit::keyPressEvent(event);
            return;
        }
        for (unsigned char ch : UGToCp1252(event->text()))
            TypeChar(ch);
    } catch (...) {
        // Nothing may cross the event loop.
    }
}

void CUGMaskedEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The middle button pastes the selection, which must pass the mask too.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        event->accept();
        if (!isReadOnly())
            PasteMasked(QApplication::clipboard()->text(QClipboard::Selection));
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CUGMaskedEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] { PasteMasked(QApplication::clipboard()->text()); });
    }
    menu->popup(event->globalPos());
}

void CUGMaskedEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    BeginEdit();
}

void CUGMaskedEdit::BeginEdit()
{
    m_startText = text();
    SetMask(m_ctrl->GetEditCell()->GetMask());
    m_maskedStartText = text();
    m_cancel = 0;
    m_continueFlag = 0;
    selectAll();
}

void CUGMaskedEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason)
        return;
    QWidget* gainer = QApplication::focusWidget();
    if (!gainer || (gainer != m_ctrl && gainer->parentWidget() != m_ctrl))
        m_cancel = 1;
    Finish(gainer);
}

void CUGMaskedEdit::Finish(QWidget*)
{
    if (m_finishing || !m_ctrl->IsEditing() || m_ctrl->GetEditWindow() != this)
        return;
    m_finishing = true;
    const int col = m_ctrl->GetEditCol();
    const long row = m_ctrl->GetEditRow();
    // A text the mask rewrote but the user left alone goes back as it was: only
    // the user changes a cell.
    const QString finished = text() == m_maskedStartText ? m_startText : text();
    const int rc = m_ctrl->EditCtrlFinished(UGToCp1252(finished).c_str(), m_cancel, m_continueFlag,
                                            m_continueCol, m_continueRow);
    m_finishing = false;
    if (rc == 0) {
        m_ctrl->GotoCell(col, row);
        m_cancel = 0;
        m_continueFlag = 0;
        setFocus(Qt::OtherFocusReason);
    }
}
