#pragma once
// The in-place editor laid over a cell. It ends editing on Tab, Enter, the
// arrows (until it has grown), Esc and on losing the focus, and reports through
// the control's EditCtrlFinished.

#include "UGrid/model/UGTypes.h"

#include <QPlainTextEdit>

class CUGCtrl;

class CUGEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit CUGEdit(CUGCtrl* ctrl, QWidget* parent = nullptr);
    BOOL SetAutoSize(BOOL state);
    void AutoSize();
    // A character typed into the editor, as the window system's WM_CHAR.
    void TypeChar(UINT ch);
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text);
    // What gaining the focus does; run again when editing moves on while the editor keeps the focus.
    void BeginEdit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }
    // Pasted or dropped text is typed key by key through the same check as the keyboard.
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Reports the end of editing; gainer is the window taking the focus.
    void Finish(QWidget* gainer, bool fromKey);

    int m_cancel = 0;
    int m_continueFlag = 0;
    int m_continueCol = 0;
    long m_continueRow = 0;
    int m_autoSize = 1;
    int m_origHeight = 0;
    int m_currentHeight = 0;
    CUGCtrl* m_ctrl;
    bool m_finishing = false;
};

// Ends an in-place edit from a key press of an editor; shared by both editors.
// Returns true when the key ended the edit.
bool UGEditKeyDown(CUGCtrl* ctrl, QWidget* editor, int key, Qt::KeyboardModifiers mods, bool arrowsMove,
                   int* cancel, int* continueFlag, int* col, long* row);
