#include "acquire/ui/AesScnPage.h"

CAcquireAES_ScnPage::CAcquireAES_ScnPage(QWidget*) : CAesPage(QStringLiteral("Scan Control"))
{
    setObjectName(QStringLiteral("IDD_ACQ_AESSCN"));
}
