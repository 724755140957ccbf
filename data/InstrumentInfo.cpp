#include "data/InstrumentInfo.h"

namespace {

class CAbsentInstrument : public IInstrumentInfo
{
public:
    double GetOffset() const override { return 0.0; }
    int GetAESMode() const override { return 0; }
    bool IsCMA() const override { return false; }
    bool HasMIED() const override { return false; }
};

CAbsentInstrument g_absent;
IInstrumentInfo* g_info = nullptr;

} // namespace

IInstrumentInfo* SetInstrumentInfo(IInstrumentInfo* info)
{
    IInstrumentInfo* previous = g_info;
    g_info = info;
    return previous;
}

const IInstrumentInfo& GetInstrumentInfo()
{
    return g_info ? *g_info : g_absent;
}
