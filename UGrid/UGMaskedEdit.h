#pragma once
// An in-place editor that accepts only what the cell's input mask allows.

#include "UGrid/model/UGMask.h"
#include "UGrid/model/UGTypes.h"

#include <QLineEdit>

class CUGCtrl;

class CUGMaskedEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CUGMaskedEdit(CUGCtrl* ctrl, QWidget* parent = nullptr);
    int SetMask(const char* mask);
    int ApplyMask(std::string& text) const { return m_mask.ApplyMask(text); }
    void TypeChar(UINT ch);
    // Pastes text as if it were typed, so the mask sees every character.
    void PasteMasked(const QString& text);
    void BeginEdit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    void Finish(QWidget* gainer);

    CUGMask m_mask;
    int m_cancel = 0;
    int m_continueFlag = 0;
    int m_continueCol = 0;
    long m_continueRow = 0;
    CUGCtrl* m_ctrl;
    bool m_finishing = false;
    bool m_internalInput = false;
    // The cell's text as the edit began, before and after the mask rewrote it.
    QString m_startText;
    QString m_maskedStartText;
};
