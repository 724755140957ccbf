#pragma once
// The AES regions page: one table column per region of the list that the
// experiment type uses, the scan and analyser modes.
#include "acquire/ui/AesPage.h"

class CAcquireAES_RgnPage : public CAesPage
{
    Q_OBJECT
public:
    explicit CAcquireAES_RgnPage(QWidget* parent = nullptr);
    // The experiment page changed the experiment type.
    void OnExpTypeChange();
};
