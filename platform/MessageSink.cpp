#include "platform/MessageSink.h"

#include "platform/Strings.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

class CStderrSink : public IMessageSink
{
public:
    int ShowMessage(const std::string& text, unsigned) override
    {
        static std::mutex lock; // keeps lines from two threads apart
        std::lock_guard<std::mutex> guard(lock);
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        return IDOK;
    }
};

CStderrSink g_defaultSink;
std::atomic<IMessageSink*> g_sink{nullptr};

} // namespace

IMessageSink* SetMessageSink(IMessageSink* sink)
{
    IMessageSink* previous = g_sink.exchange(sink);
    return previous ? previous : &g_defaultSink;
}

IMessageSink* GetMessageSink()
{
    IMessageSink* sink = g_sink.load();
    return sink ? sink : &g_defaultSink;
}

int AfxMessageBox(const std::string& text, unsigned type)
{
    return GetMessageSink()->ShowMessage(text, type);
}

int AfxMessageBox(unsigned id, unsigned type)
{
    return AfxMessageBox(LoadString(id), type);
}
