#include "acquire/ui/AesPage.h"

#include "acquire/ui/AcquireAES.h"

void CAesPage::SetParentSheet(CAcquireAESSheet* pSheet)
{
    m_pAcqAES = pSheet;
    m_pSetup = &pSheet->Setup();
    CAcquire_Page::SetParentSheet(pSheet);
}
