#include "instrument/Acquire.h"

struct CAcquire::SRun
{
};

CAcquire::CAcquire() = default;
CAcquire::~CAcquire() = default;

void CAcquire::Attach(IAcqHost* pHost, CDAU* pDAU, CASCU* pASCU)
{
    m_pHost = pHost;
    m_pDAU = pDAU;
    m_pASCU = pASCU;
}

int CAcquire::StartAcquiring(CVeltraneDoc* pDoc, QObject*)
{
    m_pDoc = pDoc;
    return 0;
}

void CAcquire::StopAcquiring(bool) {}

bool CAcquire::IsAcquiring(const CVeltraneDoc*) const
{
    return false;
}

bool CAcquire::IsBusy() const
{
    return false;
}

void CAcquire::WaitForWorkers(const std::function<void()>&) {}

void CAcquire::ReapWorkers(bool) {}
