#include "UGrid/model/UGGridInfo.h"

CUGGridInfo::CUGGridInfo()
    : m_gridDefaults(std::make_unique<CUGCell>()), m_hdgDefaults(std::make_unique<CUGCell>()),
      m_CUGMem(std::make_unique<CUGMemMan>()), m_multiSelect(std::make_unique<CUGMultiSelect>())
{
    m_hdgDefaults->SetBackColor(UGGetSysColor(UG_COLOR_BTNFACE));
    m_hdgDefaults->SetBorder(UG_BDR_RAISED);
    m_hdgDefaults->SetAlignment(UG_ALIGNCENTER | UG_ALIGNVCENTER);
    m_defDataSource = m_CUGMem.get();
    m_CUGMem->m_GI = this;
}

CUGGridInfo::~CUGGridInfo() = default;
