#pragma once
// The Auger sensitivity-factor library: factors measured (or computed) at one
// primary beam energy, read from a text file and scaled to the beam energy of
// an acquisition with an ionisation cross-section and a backscattering factor.

#include <list>
#include <string>
#include <string_view>

class CQuantifyAESLibPk
{
public:
    virtual ~CQuantifyAESLibPk() = default;
    CQuantifyAESLibPk() = default;
    CQuantifyAESLibPk(const CQuantifyAESLibPk&) = default;
    CQuantifyAESLibPk& operator=(const CQuantifyAESLibPk&) = default;

    std::string m_csSymbol;
    std::string m_csTransition; // empty when the line names none
    double m_dRSF = 0.0;        // at the library's primary energy
    double m_dEnergy = 1.0;     // ionisation energy of the initial shell, eV
    int m_iZ = 0;
};

class CQuantifyAESLib
{
public:
    // Longest line the reader takes; a longer one is cut and ends the reading.
    static constexpr size_t MaxLine = 80;

    virtual ~CQuantifyAESLib() = default;
    CQuantifyAESLib() = default;
    CQuantifyAESLib(const CQuantifyAESLib&) = default;
    CQuantifyAESLib& operator=(const CQuantifyAESLib&) = default;

    // False when the file cannot be read or its first token is not a number
    // above 0; the library is then unchanged. A file without one valid entry
    // succeeds and leaves the library as it was.
    bool Load(const std::string& path);
    bool LoadText(std::string_view text);

    // The factor at the beam energy (eV): 1.0 without an entry; 0.0 when the
    // entry's ionisation energy is not below both energies or an energy is not
    // positive.
    double GetRSF(const std::string& symbol, const std::string& transition, double beamEnergy) const;
    const CQuantifyAESLibPk* FindPeak(const std::string& symbol, const std::string& transition) const;
    // The scaling without GetRSF's tests.
    double ScaleRSF(const CQuantifyAESLibPk& pk, double beamEnergy) const;
    static double CrossSection(double E, double Ec);
    static double Backscatter(double E, double Ec, int Z);

    void GetElementList(std::string& out, const std::string& sep) const;
    void GetTransitionList(const std::string& symbol, std::string& out, const std::string& sep) const;

    double GetEnergy() const { return m_dEnergy; }
    const std::list<CQuantifyAESLibPk>& GetPeaks() const { return m_Peaks; }

private:
    std::list<CQuantifyAESLibPk> m_Peaks;
    double m_dEnergy = 0.0;
};
