#include "app/image/ImageSelect.h"

IImageSelectPage*& ImageSelectPage()
{
    static IImageSelectPage* page = nullptr;
    return page;
}
