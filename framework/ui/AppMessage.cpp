#include "framework/ui/AppMessage.h"

#include "framework/ui/CrossThread.h"
#include "framework/ui/Guard.h"

#include <QPointer>
#include <QThread>

namespace {

intptr_t Deliver(QObject* target, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    auto* handler = dynamic_cast<IAppMessageHandler*>(target);
    intptr_t result = 0;
    if (handler)
        SafeInvoke([&] { result = handler->OnAppMessage(message, wParam, lParam); });
    return result;
}

} // namespace

bool PostAppMessage(QObject* target, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (!target || !dynamic_cast<IAppMessageHandler*>(target))
        return false;
    // The context object makes Qt drop the call if the target goes first.
    return PostToThreadOf(target,
                          [target, message, wParam, lParam] { Deliver(target, message, wParam, lParam); });
}

intptr_t SendAppMessage(QObject* target, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (!target || !dynamic_cast<IAppMessageHandler*>(target))
        return 0;
    if (QThread::currentThread() == target->thread())
        return Deliver(target, message, wParam, lParam);
    intptr_t result = 0;
    RunOnThreadOf(target, [&result, target, message, wParam, lParam] {
        result = Deliver(target, message, wParam, lParam);
    });
    return result;
}
