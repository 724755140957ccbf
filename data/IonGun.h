#pragma once
// The ion gun that etched the sample in a depth profile, with its preset and
// duty cycle. Stored as block 3 of the data file (16 bytes).

#include <cstdint>

class CArchive;
class CAcquireXPS;
class CAcquireAES;

class CIonGun
{
public:
    static constexpr uint16_t BlockID = 3;
    static constexpr uint16_t FileVersion = 1;
    static constexpr int32_t BlockLength = 8;

    enum Type
    {
        None = 0,
        HSIG = 1,
        MIED_ASCU = 2, // MIED driven through the stage and sample control unit
        MIED_DAU = 3,  // MIED driven by the DAU
    };

    CIonGun() = default;
    explicit CIonGun(const CAcquireXPS* pSheet);
    explicit CIonGun(const CAcquireAES* pSheet);
    CIonGun(const CIonGun&) = default;
    CIonGun& operator=(const CIonGun&) = default;
    virtual ~CIonGun() = default;

    // Writes block 3 (identifier included); the duty cycle precedes the preset.
    CArchive& operator>>(CArchive& ar) const;
    // Reads block 3 after its identifier and moves to the block end.
    CArchive& operator<<(CArchive& ar);

    int GetType() const { return m_Type; }
    int GetPreset() const { return m_iPreset; }
    int GetDutyCycle() const { return m_iDutyCycle; }

private:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    int32_t m_Type = None;
    int16_t m_iPreset = 0;    // from 0
    int16_t m_iDutyCycle = 0; // from 1
};
