#pragma once
// Calls from a worker thread into the thread of an object, through that
// thread's event queue. The queue orders the call after everything the worker
// did before it, and a waiting worker after everything the call did; the locks
// that give this order are inside the toolkit, which the thread sanitizer
// cannot see into, so the hand-over is made with locks of our own as well.

#include <QObject>
#include <functional>

// Queues fn for the thread of context; false when it could not be queued.
// A call whose context is destroyed before it runs is dropped.
bool PostToThreadOf(QObject* context, std::function<void()> fn);

// As PostToThreadOf, then waits until fn has run or was dropped. Never call it
// on the context's own thread.
bool RunOnThreadOf(QObject* context, std::function<void()> fn);
