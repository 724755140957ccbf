#pragma once
// The XPS sheet opened from the Acquire menu of the real program.

#include "SheetUser.h"
#include "acquire/ui/AcquireXPS.h"
#include "data/Source.h"

class XpsSheet : public SheetUser<CAcquireXPSSheet>
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        OpenSheet(ID_ACQUIRE_XPS, &CMainFrame::GetXPSSheet);
    }
    void TearDown() override
    {
        sheet = nullptr;
        AppFixture::TearDown();
        CSource::SetPhotonEnergies(1253.6, 1486.6);
    }

    CXpsSetup& S() { return sheet->Setup(); }
};
