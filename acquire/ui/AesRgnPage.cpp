#include "acquire/ui/AesRgnPage.h"

CAcquireAES_RgnPage::CAcquireAES_RgnPage(QWidget*) : CAesPage(QStringLiteral(" Regions "))
{
    setObjectName(QStringLiteral("IDD_ACQ_AESRGN"));
}

void CAcquireAES_RgnPage::OnExpTypeChange()
{
    S().m_Rgn.OnExpTypeChange(GetExpType());
}
