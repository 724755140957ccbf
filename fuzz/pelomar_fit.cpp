// Fuzzes the reference fit with arbitrary sizes, mappings, windows, references,
// data and starting values, NaN and infinity included: every read must stay
// inside the caller's arrays and every call must return.

#include "reffit/RefFitModel.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class CReader
{
public:
    CReader(const std::uint8_t* d, std::size_t n) : m_d(d), m_n(n) {}
    int Int(int lo, int hi)
    {
        const std::uint8_t b = m_pos < m_n ? m_d[m_pos++] : 0;
        return lo + b % (hi - lo + 1);
    }
    double Real()
    {
        double v = 0.0;
        if (m_pos + sizeof v <= m_n) {
            std::memcpy(&v, m_d + m_pos, sizeof v);
            m_pos += sizeof v;
        }
        return v;
    }

private:
    const std::uint8_t* m_d;
    std::size_t m_n;
    std::size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CReader in(data, size);
    const int n = in.Int(0, 40);
    const int m = in.Int(0, 3);
    const int mode = in.Int(-1, 4);
    std::vector<double> y(static_cast<std::size_t>(n));
    for (double& v : y)
        v = in.Real();
    int stop = 0;
    pelomar::CRefFitModel fit;
    if (fit.SetupFit(y.data(), n, m, &stop) != 0)
        return 0;
    std::vector<std::vector<double>> refs(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) {
        auto& r = refs[std::size_t(k)];
        r.resize(std::size_t(in.Int(1, 40)));
        for (double& v : r)
            v = in.Real();
        const double a = in.Real(), b = in.Real(), step = in.Real();
        fit.SetupReference(r.data(), int(r.size()), in.Int(-1, m), a, b, step);
    }
    std::vector<double> theta(static_cast<std::size_t>(in.Int(0, 2 * m + 2)));
    for (double& v : theta)
        v = in.Real();
    double sse = 0.0;
    // Small limits keep most inputs quick; only the full ones leave room for
    // the phases after the first local solve.
    const bool full = in.Int(0, 1) == 1;
    fit.Solve(theta, sse, mode, full ? pelomar::LsqLimits{} : pelomar::LsqLimits{8, 30, 8});
    fit.Release();
    return 0;
}
