#include "framework/ui/CrossThread.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Held while a call is queued; the call takes it before it touches anything
// the poster made. One for all calls: the call must find it without reading
// what it carries.
// Recursive: a call that cannot be queued goes while its poster holds it.
std::recursive_mutex g_posting;

struct SHandOver
{
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    std::function<void()> fn;
};

// What a queued call carries. It goes on the context's thread, after the call
// ran or, when the context went first, without it; either way only after the
// poster let go of the lock.
struct SCall
{
    std::shared_ptr<SHandOver> handOver;
    std::shared_ptr<void> done;
    ~SCall() { std::lock_guard sync(g_posting); }
};

bool Queue(QObject* context, std::function<void()> fn, bool wait)
{
    auto handOver = std::make_shared<SHandOver>();
    handOver->fn = std::move(fn);
    // Signals the waiter when the queued call goes, whether it ran or not.
    std::shared_ptr<void> done(nullptr, [handOver](void*) {
        std::lock_guard lock(handOver->doneLock);
        handOver->done = true;
        handOver->doneSignal.notify_all();
    });
    bool queued;
    {
        std::lock_guard lock(g_posting);
        queued = QMetaObject::invokeMethod(
            context,
            [call = SCall{handOver, done}] {
                {
                    std::lock_guard sync(g_posting);
                }
                call.handOver->fn();
            },
            Qt::QueuedConnection);
    }
    done.reset();
    if (!queued || !wait)
        return queued;
    std::unique_lock lock(handOver->doneLock);
    handOver->doneSignal.wait(lock, [&] { return handOver->done; });
    return true;
}

} // namespace

bool PostToThreadOf(QObject* context, std::function<void()> fn)
{
    return Queue(context, std::move(fn), false);
}

bool RunOnThreadOf(QObject* context, std::function<void()> fn)
{
    return Queue(context, std::move(fn), true);
}
