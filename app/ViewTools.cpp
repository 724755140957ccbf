#include "app/ViewTools.h"

#include "app/VeltraneView.h"

#include <QDialog>

IViewTool* GetProcDlgTool()
{
    return dynamic_cast<IViewTool*>(CVeltraneView::GetProcDlg());
}

IViewTool* ChemPrfSheetTool()
{
    return dynamic_cast<IViewTool*>(SToolInstances::m_pChemPrfSheet);
}

IViewTool* PelomarSheetTool()
{
    return dynamic_cast<IViewTool*>(SToolInstances::m_pPelomarSheet);
}

IViewTool* QuantifySheetTool()
{
    return dynamic_cast<IViewTool*>(SToolInstances::m_pQuantifySheet);
}
