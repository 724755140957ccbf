#pragma once
// What new acquisition records learn of the instrument: the energy offset and
// AES mode in force in the configuration, and the analyser and ion gun that
// the DAU reported. Toolkit-free.

#include "data/InstrumentInfo.h"

class CDAU;

class CConfigInfo : public IInstrumentInfo
{
public:
    // The link must outlive the object (or be null: no DAU).
    explicit CConfigInfo(const CDAU* pDAU) : m_pDAU(pDAU) {}

    double GetOffset() const override;
    int GetAESMode() const override;
    bool IsCMA() const override;
    bool HasMIED() const override;

private:
    const CDAU* m_pDAU;
};
