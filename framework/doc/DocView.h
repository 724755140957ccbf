#pragma once
// How a document reaches the windows that show it. The user interface's views
// implement this; tests implement it with recorders.

#include <cstdint>

class IDocView
{
public:
    virtual ~IDocView() = default;
    // The document changed. pSender is the view that caused the change (it is not
    // called itself); lHint and pHint are what the sender passed, 0 and null
    // meaning "lay out and draw everything anew".
    virtual void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) = 0;
};
