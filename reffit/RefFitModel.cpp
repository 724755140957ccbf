#include "reffit/RefFitModel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>

namespace pelomar {
namespace {

// Parameter positions of the four layouts.
constexpr int ConstIndex(int mode)
{
    return (mode & 1) ? 0 : -1;
}
constexpr int ShiftIndex(int mode, int k)
{
    switch (mode) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 2:
        return 2 * k + 1;
    default:
        return 2 * k + 2;
    }
}
constexpr int IntensityIndex(int mode, int k)
{
    switch (mode) {
    case 0:
        return 1 + k;
    case 1:
        return 2 + k;
    case 2:
        return 2 * k;
    default:
        return 2 * k + 1;
    }
}

// Reference value at fractional channel u, clamped into the window; pen gets
// the penalty for the channels by which u lies outside it. A NaN position
// counts as below the window, so the index stays inside the array.
inline double Interpolate(const CRefFitModel::Reference& e, double u, double& pen)
{
    pen = 0.0;
    if (!(u >= e.low)) {
        pen = (e.low - u) * CRefFitModel::kWindowPenalty;
        u = e.low;
    } else if (u > e.high) {
        pen = (u - e.high) * CRefFitModel::kWindowPenalty;
        u = e.high;
    }
    // u now lies in [0, NREF - 1], where truncation is the floor.
    const int i0 = int(u);
    const double j0 = double(i0);
    double y = e.ref[i0];
    if (u != j0) // an integer channel is used alone: its neighbour may be past the end
        y += (u - j0) * (e.ref[i0 + 1] - y);
    return y;
}

// r = data - c - sum over k of (penalty_k + |a_k| y_k). With a cache, y_k and
// the term penalty_k + |a_k| y_k of every point are kept there (2 N values per
// reference) for the Jacobian.
void Evaluate(const CRefFitModel& fit, int mode, const double* theta, const double* data, double* r,
              double* cache)
{
    const int n = fit.Points();
    const int ci = ConstIndex(mode);
    const double c = ci >= 0 ? theta[ci] : 0.0;
    if (ci >= 0) {
        for (int i = 0; i < n; ++i)
            r[i] = data[i] - c;
    } else {
        std::copy(data, data + n, r);
    }
    for (int k = 0; k < fit.RefCount(); ++k) {
        const CRefFitModel::Reference& e = fit.Ref(k);
        const double s = theta[ShiftIndex(mode, k)];
        const double a = std::fabs(theta[IntensityIndex(mode, k)]);
        if (cache) {
            double* y = cache + std::size_t(2 * k) * n;
            double* term = y + n;
            for (int i = 0; i < n; ++i) {
                double pen;
                y[i] = Interpolate(e, e.a * i + e.b + s, pen);
                r[i] = (r[i] - pen) - a * y[i];
                term[i] = pen + a * y[i];
            }
        } else {
            for (int i = 0; i < n; ++i) {
                double pen;
                const double y = Interpolate(e, e.a * i + e.b + s, pen);
                r[i] = (r[i] - pen) - a * y;
            }
        }
    }
}

} // namespace

int OutcomeOf(LsqStatus status)
{
    switch (status) {
    case LsqStatus::Converged:
        return kOutcomeConverged;
    case LsqStatus::StepTolerance:
        return kOutcomeStepTolerance;
    case LsqStatus::RelativeFunction:
        return kOutcomeRelativeFunction;
    case LsqStatus::FalseConvergence:
        return kOutcomeFalseConvergence;
    case LsqStatus::MaxSteps:
        return kOutcomeMaxSteps;
    case LsqStatus::IterationLimit:
        return kOutcomeIterationLimit;
    case LsqStatus::EvaluationLimit:
        return kOutcomeEvaluationLimit;
    case LsqStatus::JacobianLimit:
        return kOutcomeJacobianLimit;
    // A stop request ends the solve from outside; it must never read as a
    // success, and the terminal severity says that the solve did not finish.
    case LsqStatus::BadInput:
    case LsqStatus::NoStorage:
    case LsqStatus::Stopped:
        return kOutcomeTerminal;
    }
    return kOutcomeTerminal;
}

int ParameterCount(int mode, int nRefs)
{
    switch (mode) {
    case 0:
        return nRefs + 1;
    case 1:
        return nRefs + 2;
    case 2:
        return 2 * nRefs;
    case 3:
        return 2 * nRefs + 1;
    default:
        return 0;
    }
}

void REFRESIDUALSHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r)
{
    fit.Residuals(0, theta, r);
}
void REFRESIDUALCONSTSHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r)
{
    fit.Residuals(1, theta, r);
}
void REFRESIDUALMULTISHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r)
{
    fit.Residuals(2, theta, r);
}
void REFRESIDUALCONSTMULTISHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r)
{
    fit.Residuals(3, theta, r);
}

// The solver's view of a fit: residuals with their per-reference terms kept,
// and a Jacobian that re-evaluates only the terms a parameter touches.
class CRefFitProblem : public IResiduals
{
public:
    CRefFitProblem(CRefFitModel& fit, int mode) : m_fit(fit), m_mode(mode) {}

    bool Residuals(std::span<const double> x, std::span<double> r) override
    {
        if (m_fit.StopRequested())
            return false;
        Evaluate(m_fit, m_mode, x.data(), m_fit.m_data, r.data(), m_fit.m_cache.data());
        std::copy(x.begin(), x.end(), m_fit.m_cacheX.begin());
        return true;
    }

    // The residuals at x come from the cached terms, not from the r argument.
    bool Jacobian(std::span<const double> x, std::span<const double> /*r*/, std::span<double> jac,
                  std::span<double> work, const LsqSteps& steps) override
    {
        const int n = m_fit.m_n;
        const double* cache = m_fit.m_cache.data();
        if (!std::equal(x.begin(), x.end(), m_fit.m_cacheX.begin())) {
            if (!Residuals(x, work))
                return false;
        }
        const int ci = ConstIndex(m_mode);
        if (ci >= 0) {
            const double c = x[ci];
            const double h = steps.For(std::size_t(ci), c);
            const double d = -(((c + h) - c) / h);
            std::fill_n(jac.data() + std::size_t(ci) * n, n, d);
        }
        const int nRefs = m_fit.RefCount();
        for (int k = 0; k < nRefs; ++k) {
            if (m_fit.StopRequested())
                return false;
            const int ai = IntensityIndex(m_mode, k);
            const double a = x[ai];
            const double h = steps.For(std::size_t(ai), a);
            const double d = -((std::fabs(a + h) - std::fabs(a)) / h);
            const double* y = cache + std::size_t(2 * k) * n;
            double* col = jac.data() + std::size_t(ai) * n;
            for (int i = 0; i < n; ++i)
                col[i] = d * y[i];
        }
        if (m_mode >= 2) {
            for (int k = 0; k < nRefs; ++k) {
                if (m_fit.StopRequested())
                    return false;
                const int si = ShiftIndex(m_mode, k);
                double* col = jac.data() + std::size_t(si) * n;
                ShiftDifference(k, si, x[si], x[IntensityIndex(m_mode, k)], steps, cache, col, false);
            }
        } else {
            const int si = ShiftIndex(m_mode, 0);
            double* col = jac.data() + std::size_t(si) * n;
            if (nRefs == 0)
                std::fill_n(col, n, 0.0);
            for (int k = 0; k < nRefs; ++k)
                ShiftDifference(k, si, x[si], x[IntensityIndex(m_mode, k)], steps, cache, col, k > 0);
        }
        return true;
    }

private:
    // The forward-difference derivative of the residual with respect to the
    // shift of reference k, -(term(s + h) - term(s)) / h, written into col or,
    // for a common shift, added to it.
    void ShiftDifference(int k, int si, double s, double aSigned, const LsqSteps& steps, const double* cache,
                         double* col, bool add) const
    {
        const int n = m_fit.m_n;
        const CRefFitModel::Reference& e = m_fit.Ref(k);
        const double h = steps.For(std::size_t(si), s);
        const double sh = s + h;
        const double invh = 1.0 / h; // a product per point instead of a division
        const double a = std::fabs(aSigned);
        const double* term = cache + std::size_t(2 * k) * n + n;
        for (int i = 0; i < n; ++i) {
            double pen1;
            const double y1 = Interpolate(e, e.a * i + e.b + sh, pen1);
            const double d = -((pen1 + a * y1) - term[i]) * invh;
            col[i] = add ? col[i] + d : d;
        }
    }

    CRefFitModel& m_fit;
    int m_mode;
};

int CRefFitModel::SetupFit(const double* data, int n, int nRefs, const int* stop)
{
    Release();
    m_data = data;
    m_n = n;
    m_stop = stop;
    if (nRefs < 0)
        return 1;
    try {
        m_refs.resize(std::size_t(nRefs));
    } catch (const std::exception&) { // bad_alloc, or length_error for absurd sizes
        Release();
        return 1;
    }
    m_setUp = true;
    return 0;
}

void CRefFitModel::SetupReference(const double* ref, int nRef, int k, double a, double b, double step)
{
    if (k < 0 || k >= RefCount() || ref == nullptr || nRef < 1)
        return;
    Reference& e = m_refs[std::size_t(k)];
    e.ref = ref;
    e.nRef = nRef;
    e.a = a;
    e.b = b;
    // Four energy units of free movement beyond the stretch the data covers.
    const double margin = std::fabs(4.0 / step);
    const double last = double(nRef - 1);
    const double low = b - margin;
    const double high = double(m_n - 1) * a + b + margin;
    e.low = low > 0.0 ? low : 0.0;
    e.high = high < last ? high : last;
    // A stretch that lies wholly beyond one end of the reference would put the
    // window outside the array; keep both bounds on it.
    e.low = std::min(e.low, last);
    e.high = std::max(e.high, 0.0);
}

void CRefFitModel::Release()
{
    // The caller may free its buffers after a release: no solve may read them.
    m_setUp = false;
    std::vector<Reference>().swap(m_refs);
    std::vector<double>().swap(m_cache);
    std::vector<double>().swap(m_cacheX);
    m_ws = LsqWorkspace();
}

bool CRefFitModel::IsReady() const
{
    if (!m_setUp || m_data == nullptr || m_n < 1)
        return false;
    return std::all_of(m_refs.begin(), m_refs.end(), [](const Reference& e) { return e.ref != nullptr; });
}

bool CRefFitModel::StopRequested() const
{
    // The flag is written by another thread with an atomic exchange.
    return m_stop != nullptr && __atomic_load_n(m_stop, __ATOMIC_ACQUIRE) != 0;
}

void CRefFitModel::Residuals(int mode, std::span<const double> theta, std::span<double> r) const
{
    Evaluate(*this, mode, theta.data(), m_data, r.data(), nullptr);
}

void CRefFitModel::ResetCache(std::size_t nParm)
{
    m_cache.resize(2 * std::size_t(RefCount()) * std::size_t(m_n));
    // Never equal to a real x, so the first Jacobian cannot use a stale cache.
    m_cacheX.assign(nParm, std::nan(""));
}

void CRefFitModel::DifferenceJacobian(int mode, std::span<const double> theta, std::span<double> jac)
{
    ResetCache(theta.size());
    std::vector<double> r(static_cast<std::size_t>(m_n)), work(static_cast<std::size_t>(m_n));
    CRefFitProblem problem(*this, mode);
    problem.Residuals(theta, r);
    problem.Jacobian(theta, r, jac, work, FineSteps());
}

int CRefFitModel::Solve(std::span<double> theta, double& sse, int mode, const LsqLimits& limits)
{
    if (mode < 0 || mode > 3 || !IsReady())
        return kOutcomeTerminal;
    const int nParm = ParameterCount(mode, RefCount());
    // Fewer points than parameters leaves the fit undetermined: refuse it
    // rather than report an exact fit of noise.
    if (int(theta.size()) != nParm || m_n < nParm)
        return kOutcomeTerminal;
    try {
        ResetCache(std::size_t(nParm));
    } catch (const std::exception&) { // bad_alloc, or length_error for absurd sizes
        return kOutcomeTerminal;
    }

    CRefFitProblem problem(*this, mode);
    m_last = SolveLeastSquares(problem, theta, m_n, limits, m_ws);
    // A start with non-finite residuals is refused like the calls above.
    if (m_last.evaluations > 0 && m_last.status != LsqStatus::BadInput)
        sse = m_last.sse;
    return OutcomeOf(m_last.status);
}

} // namespace pelomar
