#pragma once
// The peak library: the elements with their photoelectron and Auger peaks,
// loaded once at start-up from "PkLib.txt" beside the executable.

#include <istream>
#include <list>
#include <string>
#include <vector>

class CPkLibPeak
{
public:
    enum Type
    {
        Xray = 0,
        Auger = 1
    };

    int m_bDefaultPeak = 0;
    std::string m_csRegion;
    Type m_eType = Xray;
    double m_dPeak = 0.0; // binding energy (photoelectron) or kinetic energy (Auger), eV
    double m_dMgX = 0.0;
    double m_dAlX = 0.0;
    double m_dMgAsymm = 0.0;
    double m_dAlAsymm = 0.0;
    int m_nIntensity = 1;
};

class CPkLibElement
{
public:
    std::string m_csName;
    std::string m_csSymbol;
    std::vector<CPkLibPeak> m_XrayPeaks;
    std::vector<CPkLibPeak> m_AugerPeaks;

    const std::vector<CPkLibPeak>& GetPhotoPeaks() const { return m_XrayPeaks; }
    const std::vector<CPkLibPeak>& GetAugerPeaks() const { return m_AugerPeaks; }
    int GetNumPhotoPeaks() const { return static_cast<int>(m_XrayPeaks.size()); }
    int GetNumAugerPeaks() const { return static_cast<int>(m_AugerPeaks.size()); }
    const std::string& GetSymbol() const { return m_csSymbol; }

    // Photoelectron peaks first, then Auger peaks; nullptr beyond both (or for i < 0).
    const CPkLibPeak* GetPeak(int i) const;
    const CPkLibPeak* GetAugerPeak(int i) const;
    // Index of the first photoelectron peak of that name; else the index of the
    // first such Auger peak within the Auger list (not GetPeak's numbering);
    // else -1.
    int GetPeakIndex(const std::string& region) const;
};

class CPkLib
{
public:
    virtual ~CPkLib() = default;

    // Reads "PkLib.txt" from the program's directory; 0, 2048, 2078 or 2079.
    [[nodiscard]] int LoadLibraryA();
    // Reads the library from a file; 0, 2048, 2078 or 2079 (also for a file
    // that holds no element at all).
    [[nodiscard]] int LoadFromPath(const std::string& path);
    // The one reader of library text: appends the elements it completes;
    // 0, 2048 or 2079.
    [[nodiscard]] int Load(std::istream& in);

    int GetSize() const { return static_cast<int>(m_Elements.size()); }
    const CPkLibElement* GetElement(int i) const;
    const CPkLibElement* GetElement(const std::string& symbol) const;
    void GetElementList(std::string& list, const std::string& sep) const;
    void GetElementList(std::list<std::string>& list) const;

    // Relative sensitivity factor of photoelectron peak iPeak for a source of
    // the given type (X-ray types have bit 0x02; 10 Mg K-alpha, 18 Al K-alpha)
    // and photon energy in eV.
    double CalculateRSF(const CPkLibElement* pElement, int iPeak, int sourceType, double photonEnergy) const;
    // The same for a source record (CSource: GetSourceType, GetEnergy).
    template <class TSource>
    double CalculateRSF(const CPkLibElement* pElement, int iPeak, const TSource* pSource) const
    {
        if (!pSource)
            return 1.0;
        return CalculateRSF(pElement, iPeak, static_cast<int>(pSource->GetSourceType()),
                            pSource->GetEnergy());
    }

    // Diagnostic text dump; false when the file cannot be written.
    bool OutputLibrary(const std::string& path) const;

    std::vector<CPkLibElement> m_Elements;
};
