#pragma once
// The acquisition parameters of one region. The acquisition pages keep lists
// of plain regions and edit their parameters directly; a position's spectrum
// and image regions derive from it and add their data, which the point counts
// m_nx, m_ny, m_nz size (so only the region kinds set those).

#include <cstdint>
#include <string>

class CArchive;
struct SAcqUpdate;

class CRegion
{
public:
    // Every field starts defined, so no indeterminate byte reaches a file.
    CRegion() = default;
    // Copy the parameters, never the point counts: those belong to the data.
    CRegion(const CRegion& other);
    CRegion& operator=(const CRegion& other);
    virtual ~CRegion() = default;

    // Hands a block of acquired data to the region's data; nothing here.
    virtual void UpdateData(const SAcqUpdate* pUpdate, bool bAveraging);

    // The parameter layout: two strings, eight doubles, the retard ratio, six
    // ints. Return the bytes written or read. Read checks its string lengths
    // against end (a file position; by default the end of the file).
    int Write(CArchive& ar, int = 0) const;
    int Read(CArchive& ar, int = 0, uint64_t end = UINT64_MAX);

    const std::string& GetName() const { return m_csName; }
    const std::string& GetRegion() const { return m_csRegion; }
    const std::string& GetRetardRatio() const { return m_csRetardRatio; }
    double GetStart() const { return m_dStart; }
    double GetFinish() const { return m_dFinish; }
    double GetStep() const { return m_dStep; }
    double GetPeak() const { return m_dPeak; }
    double GetBk1() const { return m_dBk1; }
    double GetBk2() const { return m_dBk2; }
    double GetDwell() const { return m_dDwell; }
    double GetAnalyserEnergy() const { return m_dAnalyserEnergy; }
    int GetNumScans() const { return m_nScans; }
    int GetRepeat() const { return m_iRepeat; }
    int GetRegionID() const { return m_iRegion; }
    int GetNumPoints_x() const { return m_nx; }
    int GetNumPoints_y() const { return m_ny; }
    int GetNumPoints_z() const { return m_nz; }
    // Products of counts that may come from a file: 0 when any count is not
    // positive, saturated at INT32_MAX.
    int GetNumPoints() const { return CountProduct(m_nx, m_ny, 1); }
    int GetNumValues() const { return CountProduct(m_nx, m_ny, m_nz); }
    static int CountProduct(int a, int b, int c);

    std::string m_csName;           // element name ("Wide" for the wide-scan region)
    std::string m_csRegion;         // transition name
    double m_dStart = 0.0;          // eV
    double m_dFinish = 0.0;         // eV
    double m_dStep = 0.0;           // eV
    double m_dPeak = 0.0;           // eV, intensity measurements
    double m_dBk1 = 0.0;            // eV; CUtility::Infinity when not used
    double m_dBk2 = 0.0;            // eV; CUtility::Infinity when not used
    double m_dDwell = 0.0;          // ms per point
    double m_dAnalyserEnergy = 0.0; // pass energy, eV ("CAE")
    std::string m_csRetardRatio;    // ("CRR")
    int32_t m_nScans = 0;
    // Acquired only at levels whose number (from 1) is a multiple of this.
    int32_t m_iRepeat = 0;
    int32_t m_iRegion = -1; // peak-library index, -1 none

protected:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    int32_t m_nx = 0; // points per curve, or per image line
    int32_t m_ny = 0; // image lines, else 1
    int32_t m_nz = 0; // values per point: 1, or 1 + backgrounds in use
};
