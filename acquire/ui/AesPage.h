#pragma once
// A page of the AES sheet: reaches the set-up (acquire/core/AesSetup.h)
// through a pointer the sheet gives it, so a page can also be shown and
// tested on a set-up of its own.

#include "acquire/core/AesSetup.h"
#include "acquire/ui/AcquireSheetBase.h"

class CAcquireAESSheet;

class CAesPage : public CAcquire_Page
{
    Q_OBJECT
public:
    using CAcquire_Page::CAcquire_Page;
    virtual void SetParentSheet(CAcquireAESSheet* pSheet);
    void SetSetup(CAesSetup* pSetup) { m_pSetup = pSetup; }
    CAesSetup& S() const { return *m_pSetup; }
    int GetExpType() const { return m_pSetup->GetExpType(); }
    // The page shows the set-up again (after a load or a change of experiment).
    virtual void Refresh() {}

protected:
    CAcquireAESSheet* m_pAcqAES = nullptr;
    CAesSetup* m_pSetup = nullptr;
};
