#pragma once
// The AES sheet opened from the Acquire menu of the real program.

#include "SheetUser.h"
#include "acquire/ui/AcquireAES.h"

#include <QLineEdit>
#include <QPushButton>

class AesSheet : public SheetUser<CAcquireAESSheet>
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        OpenSheet(ID_ACQUIRE_AES, &CMainFrame::GetAESSheet);
    }
    void TearDown() override
    {
        sheet = nullptr;
        AppFixture::TearDown();
    }

    CAesSetup& S() { return sheet->Setup(); }
    QPushButton* Btn(const char* name) { return Ctrl<QPushButton>(name); }
    QPushButton* StartBtn() { return Btn("IDC_ACQ_STARTBTN"); }

    std::string Said() { return sink.Texts().empty() ? std::string("nothing said") : sink.Texts().back(); }
};
