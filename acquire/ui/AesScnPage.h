#pragma once
// The AES scan-control page: where the beam goes (points, areas, the full
// field), the image settings, and the points and areas on the set-up image.
#include "acquire/ui/AesPage.h"

class CAcquireAES_ScnPage : public CAesPage
{
    Q_OBJECT
public:
    explicit CAcquireAES_ScnPage(QWidget* parent = nullptr);
};
