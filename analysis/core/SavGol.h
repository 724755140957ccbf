#pragma once
// The Savitzky-Golay convolution matrices of "Savgol.dat" beside the program:
// sixteen square matrices (odd widths 5 to 35) per block, float32 little-
// endian; block 0 smooths, blocks 1 to 4 give the first to fourth derivative.
// Row r of a width-n matrix gives the output at position r of an n-point
// window, so the first and last n/2 points of a curve get their own rows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSavGol
{
public:
    static constexpr int MinWidth = 5;
    static constexpr int MaxWidth = 35;
    static constexpr int NumWidths = 16;
    static constexpr int BlockValues = 7760;
    static constexpr size_t BlockBytes = BlockValues * 4;

    // Reads the smoothing set (bSmooth, block 0) or the derivative set
    // (blocks 1 to 4) from "Savgol.dat" in the program's directory. Throws
    // CFileException when the file cannot be opened, is short, or holds
    // values no filter can have (not finite, or rows whose sums are wrong).
    explicit CSavGol(int bSmooth);
    // Where the one-argument constructor looks: empty for the program's
    // directory (tests point it elsewhere).
    static std::string s_directory;
    // The same from a named file.
    CSavGol(int bSmooth, const std::string& path);
    virtual ~CSavGol() = default;
    CSavGol(const CSavGol&) = delete;
    CSavGol& operator=(const CSavGol&) = delete;

    // The same from bytes already read (what the file holds from its start);
    // false when they are short or fail the checks.
    static bool Parse(int bSmooth, const uint8_t* data, size_t size, std::vector<double>& coeff);

    // Whether Apply can filter with these arguments: an odd width 5 to 35, a
    // set of the loaded blocks, at least as many points as the width.
    bool CanApply(int nPts, int nWidth, int nSet) const;
    // Writes nPts filtered values of pdIn (a different array) to pdOut with the
    // width-nWidth matrix of set nSet (1 for smoothing, the derivative order
    // otherwise). Returns false and writes nothing when CanApply is false.
    bool Apply(double* pdOut, const double* pdIn, int nPts, int nWidth, int nSet) const;

    int IsSmooth() const { return m_bSmooth; }
    // The first value of the width-n matrix of set nSet, or null.
    const double* GetMatrix(int nWidth, int nSet) const;

private:
    void Load(const std::string& path);

    std::vector<const double*> m_ppdMatrix; // 16 per loaded block
    std::vector<double> m_pdCoeff;
    int m_bSmooth;
};
