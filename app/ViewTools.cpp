#include "app/ViewTools.h"

#include "app/VeltraneView.h"

#include <QDialog>

IViewTool* GetProcDlgTool()
{
    return dynamic_cast<IViewTool*>(CVeltraneView::GetProcDlg());
}

IViewTool* CChemPrf_Sheet::GetInstance()
{
    return dynamic_cast<IViewTool*>(SToolInstances::m_pChemPrfSheet);
}

IViewTool* CPelomar_Sheet::GetInstance()
{
    return dynamic_cast<IViewTool*>(SToolInstances::m_pPelomarSheet);
}

IViewTool* CQuantifySheet::GetInstance()
{
    return dynamic_cast<IViewTool*>(SToolInstances::m_pQuantifySheet);
}
