#pragma once
// The UPS set-up dialog: the controls a UPS set-up will need and a region
// table with fixed sample content. Nothing in it acts, and the Acquire UPS
// command that would show it stays greyed.

#include "acquire/ui/AcquireGrid.h"
#include "framework/ui/Dialog.h"

class CAcquireUPS : public CDialog
{
    Q_OBJECT
public:
    enum : unsigned
    {
        IDD = 142,
        IDC_GRID = 4399,
    };
    explicit CAcquireUPS(QWidget* pParent = nullptr);

    CAcquireGrid* GetGrid() { return &m_Grid; }
    // The font every initialisation shares, made by the first.
    static const CFont* SharedFont() { return s_pFont; }

protected:
    bool OnInitDialog() override;

private:
    CAcquireGrid m_Grid;
    static CFont* s_pFont;
};
