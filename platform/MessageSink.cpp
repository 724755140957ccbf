#include "platform/MessageSink.h"

#include "platform/ServiceSlot.h"
#include "platform/Strings.h"

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
CServiceSlot<IMessageSink> g_sink{g_defaultSink};

} // namespace

IMessageSink* SetMessageSink(IMessageSink* sink)
{
    return g_sink.Set(sink);
}

IMessageSink* GetMessageSink()
{
    return g_sink.Get();
}

int AfxMessageBox(const std::string& text, unsigned type)
{
    return GetMessageSink()->ShowMessage(text, type);
}

int AfxMessageBox(unsigned id, unsigned type)
{
    return AfxMessageBox(LoadString(id), type);
}
