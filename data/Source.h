#pragma once
// The excitation source of a document: an X-ray anode or the electron gun,
// with its photon energy. Stored as block 2 of the data file (36 bytes).

#include <cstdint>
#include <string>

class CArchive;
class CAcquireXPS;
class CAcquireXPS_Src;
class CAcquireAES;

class CSource
{
public:
    static constexpr uint16_t BlockID = 2;
    static constexpr uint16_t FileVersion = 1;
    static constexpr int32_t BlockLength = 28;

    // Bit 0x02 is set for both X-ray anodes.
    enum SourceType
    {
        Unknown = 0,
        ElectronGun = 1,
        MgKa = 10,
        AlKa = 18,
    };
    // The energy scales ConvertEnergy converts between (CVeltrane::Unit values).
    enum Unit
    {
        KE = 2,
        BE = 3,
    };

    // The photon energies of the two anodes, eV, as the instrument configuration
    // holds them (1253.6 and 1486.6 unless the machine configuration gives
    // others). A record reads them when it is built.
    static const double& m_MgKaEnergy;
    static const double& m_AlKaEnergy;
    // The configuration calls this after reading the machine-wide "\Sources" values.
    static void SetPhotonEnergies(double dMgKa, double dAlKa);

    CSource();
    explicit CSource(const CAcquireXPS* pSheet);
    explicit CSource(const CAcquireXPS_Src* pPage);
    explicit CSource(const CAcquireAES* pSheet);
    CSource(const CSource&) = default;
    CSource& operator=(const CSource&) = default;
    virtual ~CSource() = default;

    // Writes block 2 (identifier included); its length is always 28.
    CArchive& operator>>(CArchive& ar) const;
    // Reads block 2 after its identifier and moves to the block end.
    CArchive& operator<<(CArchive& ar);

    int GetSourceType() const { return m_SourceType; }
    double GetEnergy() const { return m_dEnergy; }
    double GetVoltage() const { return m_dVolts; }
    double GetCurrent() const { return m_dCurrent; }
    double GetPower() const { return m_dVolts * m_dCurrent; }
    std::string GetSourceName() const;
    // Kinetic to binding energy or back: one subtraction from the photon
    // energy converts either way. from and to are KE or BE.
    double ConvertEnergy(double value, int from, int to) const;

private:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    int32_t m_SourceType = MgKa;
    double m_dVolts = 0.0;
    double m_dCurrent = 0.0;
    double m_dEnergy = 0.0;
};
