#pragma once
// The AES acquisition sheet and its pages. The values live in a toolkit-free
// set-up (acquire/core/AesSetup.h), which implements what the records read
// when Start builds the new document; the pages show and edit it.

#include "acquire/ui/AesPage.h"

#include <memory>

class CAcquireAESSheet : public CAcquire_Sheet
{
    Q_OBJECT
public:
    explicit CAcquireAESSheet(QWidget* parent = nullptr);
    ~CAcquireAESSheet() override;
    CAesSetup& Setup() const { return *m_pSetup; }

private:
    std::unique_ptr<CAesSetup> m_pSetup;
};
