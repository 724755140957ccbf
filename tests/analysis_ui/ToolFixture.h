#pragma once
// The real application with spectrum views and the processing tools
// registered; each test's tool is closed before the application goes.

#include "AppFixture.h"

#include "analysis/ui/ProcDlg.h"
#include "app/SpecView.h"

#include <functional>

class ToolFixture : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        InstallProcessTools();
        BeforeStart();
        m_oldMake = CVeltrane::s_makeSpecView;
        CVeltrane::s_makeSpecView = [] { return new CSpecView; };
        Start();
    }
    void TearDown() override
    {
        CloseTool();
        Pump(0);
        AppFixture::TearDown();
        CVeltrane::s_makeSpecView = m_oldMake;
    }
    // Settings the tool carries between openings, reset before the program starts.
    virtual void BeforeStart() {}
    // Closes the tool the test left open, if any.
    virtual void CloseTool() {}

    std::function<CView*()> m_oldMake;
};
