#include "acquire/ui/AcquireAES.h"

CAcquireAESSheet::CAcquireAESSheet(QWidget* parent)
    : CAcquire_Sheet(1089, parent, 0), m_pSetup(std::make_unique<CAesSetup>())
{
    setObjectName(QStringLiteral("IDD_ACQ_AES"));
}

CAcquireAESSheet::~CAcquireAESSheet() = default;
