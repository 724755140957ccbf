#pragma once
// What the records built for a new acquisition need to know of the instrument:
// the configuration's energy offset and AES mode, and what the DAU reported.
// The instrument layer sits above data, so it installs its implementation at
// start-up; until then the values of an absent instrument hold (offset 0,
// direct mode, hemispherical analyser, no ion gun on the DAU).

class IInstrumentInfo
{
public:
    virtual ~IInstrumentInfo() = default;
    virtual double GetOffset() const = 0; // energy offset, eV
    virtual int GetAESMode() const = 0;   // 0 direct, otherwise differential
    virtual bool IsCMA() const = 0;       // the DAU reports a cylindrical-mirror analyser
    virtual bool HasMIED() const = 0;     // the DAU reports an ion gun
};

// Installs info (null restores the absent instrument); returns the previous one.
// Called on the user-interface thread, like the record constructors that read it.
IInstrumentInfo* SetInstrumentInfo(IInstrumentInfo* info);
const IInstrumentInfo& GetInstrumentInfo();
