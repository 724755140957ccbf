#include "analysis/core/SavGol.h"

#include "analysis/core/Process.h"

#include "platform/Exceptions.h"
#include "platform/System.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

int NumBlocks(int bSmooth)
{
    return bSmooth ? 1 : 4;
}

float FloatAt(const uint8_t* p)
{
    const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

} // namespace

std::string CSavGol::s_directory;

CSavGol::CSavGol(int bSmooth)
    : CSavGol(bSmooth, (s_directory.empty() ? GetProgramDirectory() : s_directory) + "Savgol.dat")
{
}

CSavGol::CSavGol(int bSmooth, const std::string& path) : m_bSmooth(bSmooth ? 1 : 0)
{
    Load(path);
}

bool CSavGol::Parse(int bSmooth, const uint8_t* data, size_t size, std::vector<double>& coeff)
{
    const size_t first = bSmooth ? 0 : BlockBytes;
    const int nBlocks = NumBlocks(bSmooth);
    if (size < first || size - first < BlockBytes * size_t(nBlocks))
        return false;
    coeff.resize(size_t(nBlocks) * BlockValues);
    for (size_t i = 0; i < coeff.size(); ++i) {
        const double v = FloatAt(data + first + 4 * i);
        if (!std::isfinite(v))
            return false;
        coeff[i] = v;
    }
    // Each row of a smoothing matrix keeps a constant, so its weights sum to 1;
    // a derivative row sends a constant to 0. Anything else is not this file.
    const double* p = coeff.data();
    for (int b = 0; b < nBlocks; ++b) {
        const double want = bSmooth ? 1.0 : 0.0;
        for (int n = MinWidth; n <= MaxWidth; n += 2)
            for (int r = 0; r < n; ++r, p += n) {
                double sum = 0, scale = 0;
                for (int k = 0; k < n; ++k) {
                    sum += p[k];
                    scale += std::fabs(p[k]);
                }
                if (std::fabs(sum - want) > 1e-4 * (1.0 + scale))
                    return false;
            }
    }
    return true;
}

void CSavGol::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CFileException(CFileException::fileNotFound, path);
    const size_t need = (m_bSmooth ? 0 : BlockBytes) + BlockBytes * size_t(NumBlocks(m_bSmooth));
    std::vector<uint8_t> bytes(need);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(need));
    bytes.resize(size_t(in.gcount()));
    std::vector<double> coeff;
    if (!Parse(m_bSmooth, bytes.data(), bytes.size(), coeff))
        throw CFileException(CFileException::genericException, path);
    m_pdCoeff = std::move(coeff);
    const double* p = m_pdCoeff.data();
    for (int b = 0; b < NumBlocks(m_bSmooth); ++b)
        for (int n = MinWidth; n <= MaxWidth; n += 2) {
            m_ppdMatrix.push_back(p);
            p += n * n;
        }
}

const double* CSavGol::GetMatrix(int nWidth, int nSet) const
{
    if (nWidth < MinWidth || nWidth > MaxWidth || nWidth % 2 == 0 || nSet < 1 || nSet > NumBlocks(m_bSmooth))
        return nullptr;
    const size_t i = size_t(nSet - 1) * NumWidths + size_t(nWidth - MinWidth) / 2;
    return i < m_ppdMatrix.size() ? m_ppdMatrix[i] : nullptr;
}

bool CSavGol::CanApply(int nPts, int nWidth, int nSet) const
{
    return GetMatrix(nWidth, nSet) != nullptr && nPts >= nWidth;
}

bool CSavGol::Apply(double* pdOut, const double* pdIn, int nPts, int nWidth, int nSet) const
{
    if (!CanApply(nPts, nWidth, nSet))
        return false;
    // A "nan" or "inf" would make NaN of every point whose window holds it.
    std::vector<double> bridged;
    if (BridgeNonFinite(pdIn, nPts, bridged))
        pdIn = bridged.data();
    const double* M = GetMatrix(nWidth, nSet);
    const int h = nWidth / 2;
    auto dot = [nWidth](const double* row, const double* x) {
        double s = 0;
        for (int k = 0; k < nWidth; ++k)
            s += row[k] * x[k];
        return s;
    };
    for (int j = 0; j < h; ++j)
        pdOut[j] = dot(M + j * nWidth, pdIn);
    const double* centre = M + h * nWidth;
    for (int i = h; i < nPts - h; ++i)
        pdOut[i] = dot(centre, pdIn + i - h);
    const double* tail = pdIn + nPts - nWidth;
    for (int i = nPts - h; i < nPts; ++i)
        pdOut[i] = dot(M + (h + 1 + i - (nPts - h)) * nWidth, tail);
    return true;
}
