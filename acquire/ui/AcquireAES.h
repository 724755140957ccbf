#pragma once
// The AES acquisition sheet and its pages. The values live in a toolkit-free
// set-up (acquire/core/AesSetup.h), which implements what the records read
// when Start builds the new document; the pages show and edit it. A settings
// file or a document is read into a fresh set-up that replaces the sheet's
// only once it was read whole.

#include "acquire/ui/AesExpPage.h"
#include "acquire/ui/AesPrfPage.h"
#include "acquire/ui/AesRgnPage.h"
#include "acquire/ui/AesScnPage.h"
#include "framework/ui/AppMessage.h"

#include <memory>

class QTimer;

class CAcquireAESSheet : public CAcquire_Sheet, public IAppMessageHandler
{
    Q_OBJECT
public:
    explicit CAcquireAESSheet(QWidget* parent = nullptr);
    ~CAcquireAESSheet() override;
    CAesSetup& Setup() const { return *m_pSetup; }

    CAcquireAES_ExpPage& ExpPage() { return m_ExpPage; }
    CAcquireAES_ScnPage& ScnPage() { return m_ScnPage; }
    CAcquireAES_PrfPage& PrfPage() { return m_PrfPage; }
    CAcquireAES_RgnPage& RgnPage() { return m_RgnPage; }

    int DoModal() override { return -1; } // modeless only
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    // A run of this sheet was started and has not ended.
    bool IsOwnRun() const { return m_bOwnRun; }

    // Commands, public for the main frame's tests.
    void OnStart() override;
    // Settings file or data file, given its path (Open after the dialog).
    void OpenFile(const std::string& path) override;
    void SaveFile(const std::string& path) override;
    // A whole set-up takes the place of the sheet's and the pages show it.
    void TakeSetup(std::unique_ptr<CAesSetup> setup);

protected:
    bool OnInitDialog() override;

private:
    bool StartDocument();
    void SetOwnRun(bool running);
    void ShowRunButtons();

    std::unique_ptr<CAesSetup> m_pSetup;
    CAcquireAES_ExpPage m_ExpPage;
    CAcquireAES_ScnPage m_ScnPage;
    CAcquireAES_PrfPage m_PrfPage;
    CAcquireAES_RgnPage m_RgnPage;
    bool m_bOwnRun = false;     // from a started run to its end
    bool m_bSEImage = false;    // the run is a secondary-electron image: only Abort ends it
    bool m_bStopping = false;   // Stop was asked for: the run's start message must not undo it
    QTimer* m_pWatch = nullptr; // a run that fails before its first scan posts no end
};

// The instrument as the AES pages need it, read from the host's links.
SAesInstrument CurrentAesInstrument();
