#pragma once
// Messages between threads and windows. A window that takes the program's
// messages (WMAPP_* constants) derives from QObject and IAppMessageHandler.
//
// PostAppMessage queues the message to the target's thread and returns at once.
// SendAppMessage calls the handler directly on the target's thread, and from
// any other thread blocks until the target's thread has handled it. The
// user-interface thread must never wait on a worker, or a worker's send deadlocks.
// A target destroyed before delivery gets nothing; a blocked sender then
// returns 0.

#include <QObject>
#include <cstdint>

class IAppMessageHandler
{
public:
    virtual ~IAppMessageHandler() = default;
    virtual intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};

// False when the target is null or does not take messages.
bool PostAppMessage(QObject* target, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);
intptr_t SendAppMessage(QObject* target, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);
