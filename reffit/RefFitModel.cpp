#include "reffit/RefFitModel.h"

#include "reffit/ShiftSwaps.h"
#include "reffit/WindowScan.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <stdexcept>
#include <type_traits>

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

// Reference value at fractional channel u, as Interpolate gives it, with
// the right-hand slopes at u (per channel) of the value (dy) and of the
// window's penalty (dpen): those of a forward difference over a step that
// stays within u's segment. At the upper wall the step leaves the window.
inline double InterpolateWithSlope(const CRefFitModel::Reference& e, double u, double& dy, double& dpen)
{
    dy = 0.0;
    if (!(u >= e.low) || u >= e.high) {
        dpen = u >= e.high ? CRefFitModel::kWindowPenalty : -CRefFitModel::kWindowPenalty;
        double pen;
        return Interpolate(e, u, pen);
    }
    dpen = 0.0;
    // low <= u < high <= NREF - 1: the channel above u exists.
    const int i0 = int(u);
    const double y0 = e.ref[i0];
    dy = e.ref[i0 + 1] - y0;
    return y0 + (u - double(i0)) * dy;
}

// r = data - c - sum over k of (penalty_k + |a_k| y_k).
void Evaluate(const CRefFitModel& fit, int mode, const double* theta, const double* data, double* r)
{
    const int n = fit.Points();
    const int ci = ConstIndex(mode);
    const double c = ci >= 0 ? theta[ci] : 0.0;
    for (int i = 0; i < n; ++i)
        r[i] = data[i] - c;
    for (int k = 0; k < fit.RefCount(); ++k) {
        const CRefFitModel::Reference& e = fit.Ref(k);
        const double s = theta[ShiftIndex(mode, k)];
        const double a = std::fabs(theta[IntensityIndex(mode, k)]);
        for (int i = 0; i < n; ++i) {
            double pen;
            const double y = Interpolate(e, e.a * i + e.b + s, pen);
            r[i] = (r[i] - pen) - a * y;
        }
    }
}

// Copies n values (none when n is not positive).
inline void CopyN(const double* from, int n, double* to)
{
    for (int i = 0; i < n; ++i)
        to[i] = from[i];
}

// A phase begins only with this many iterations and Jacobians left, and
// twice as many evaluations.
constexpr int kPhaseReserve = 8;
// A shift that moved further than this (energy units) from its start is
// tried again held at the start.
constexpr double kStrayDistance = 1.0;
// A stray is held at the best of a few places a quarter of an energy unit
// apart within half an energy unit of its start. Places farther out more
// often suit the others' wrong positions than the stray's own.
constexpr int kStrayPlaces = 4; // per energy unit
constexpr int kStrayReach = 2;  // places on either side
// A lower point found by a search along one shift or a pair of them that
// gains less than this fraction of the sum of squares is not worth another
// solve.
constexpr double kAsideGain = 1.0e-7;
// An end point this close to its window's edge (channels, either side)
// stands on it: the penalty's slope (1e8 per channel) fits a residual of 1
// within 1e-8 channel, far inside this, and a solve that ends against the
// wall ends much nearer.
constexpr double kWallReach = 1.0e-6;
// Two references whose placements correlate more than this, and whose shifts
// differ by at least this many energy units, are tried swapped. Each further
// swap costs about a sixth more time in the modes with a shift per
// reference; lower thresholds found a little more at more cost.
constexpr double kSwapCorrelation = 0.8;
constexpr double kSwapDistance = 0.3;
// Iterations after which the start from that swap, the last phase with a
// solve of its own, must be below the current point to go on: its solves
// that end lower are below it by then; fewer gave up some that went on to
// lower ripples. The swap is tried only where the exchanges after a hard
// first solve (see kSwapStarts) did not run: after them, over thirteen sets
// of hard problems, it lowered no end that decided against an unstructured
// solver's, and it cost the fits with a shift per reference about a
// twentieth of their time.
constexpr int kLastSwapTrialIterations = 10;
// Reach (channels, either way) of the exact search along each shift alone:
// farther found no more, and each kink in reach costs time.
constexpr double kRippleReach = 0.3;
// Step (channels) of each shift of the most overlapping pair moved together:
// from 0.3 to 0.6 found the same.
constexpr double kPairStep = 0.4;
// Candidate places of the window scan, in energy units: a main peak is about
// one to a few wide. A finer scan found no more.
constexpr double kScanSpacing = 0.8;
// Iterations after which a start from the scan's places must be below the
// current point to go on: those of the first solve, within these bounds.
constexpr int kTrialIterations[] = {3, 10};
// A first solve that took this many iterations or more wandered over a
// rugged sum of squares, where a reference may well have settled in another
// basin than its best though all kept some intensity: the window scan runs
// after it too. Ordinary fits settle in fewer and are spared the scan's cost.
constexpr int kWanderingIterations = 15;
// Pairs of shifts tried exchanged where the scan runs, and the iterations
// after which such a start must be below the current point to go on: a
// third pair, or more iterations, cost the ordinary fits of six overlapping
// references a sixth of their speed for one more hard problem in four
// thousand.
constexpr std::size_t kSwapStarts = 2;
constexpr int kSwapTrialIterations = 4;
// An exchange is tried only where its sum of squares right at the
// exchanged places is below this multiple of the current one: over thirteen
// sets of hard problems, the starts that ended lower were below 1.5 times
// it, and a seventh of the starts, above 1.6, lowered nothing that counted.
constexpr double kSwapRise = 1.6;
// The places of the weakest reference tried wherever the scan ran:
// from kWeakSkip to kWeakReach energy units either way of its shift,
// kWeakSpacing apart (a finer spacing found no more and cost the ordinary
// fits of six references a tenth of their speed), or kWeakTravelSpacing
// after a first solve whose only hard signal was a far-travelled shift
// (half the looks, for as many cases found).
constexpr double kWeakSkip = 0.2;
constexpr double kWeakReach = 1.6;
constexpr double kWeakSpacing = 0.2;
constexpr double kWeakTravelSpacing = 0.4;
// After a hard first solve, the reference with intensity that lies
// farthest from its start, when that is from kFarLeast to kFarMost energy
// units: the true shifts lie within a few tenths, so one that far has
// crossed basins on its way and may have stopped in the wrong one. (Nearer,
// most are where they belong; farther, the strays' phase takes it, and the
// ordinary fits of six references with a weak one far off lost a twentieth
// of their speed for nothing.) Its basins from kFarSkip to kFarReach either
// way are looked at kFarSpacing apart (a reach of 3.4 sent a case to a
// farther, wrong basin). A start from the lowest is given up unless it is
// below the current point after kFarTrialIterations: after four, as for
// the weakest reference, one start was given up that went on to the lower
// basin.
constexpr double kFarLeast = 0.6;
constexpr double kFarMost = 2.0;
constexpr double kFarSkip = 0.2;
constexpr double kFarReach = 3.0;
constexpr double kFarSpacing = 0.2;
constexpr int kFarTrialIterations = 10;
// The scan's sums take one point per this many energy units: a few per main
// peak still place its candidates' gains in the right order (each candidate
// found is then tried on every point); from 0.05 energy unit data steps, an
// eighth of the work.
constexpr double kScanSample = 0.4;
// Besides a reference left without intensity, a shift that travelled this
// far (energy units, half a stray's distance) from its start calls for the
// scan: it crossed other basins on its way, and may have settled in one.
// Solves that stay near their start (most ordinary fits) skip it: for them
// the scan and its restarts cost up to three quarters of their speed. A
// shorter distance found little more for much more time.
constexpr double kScanTravel = 0.5;
// Started for distance only, a restart from the scan's place is tried when
// that place, with one reference moved and all intensities solved for anew,
// is below this multiple of the current sum of squares: far above it, the
// restart seldom ended lower.
constexpr double kRestartRise = 1.6;
// Peaks of each reference's gain that the scan tries with every point after
// a reference was left unused or the first solve wandered, where a weak
// reference's best place may lie several energy units off. After travel
// alone (the ordinary fits that scan) the second peak found no more, for
// one evaluation more per reference.
constexpr int kHardScanPeaks = 2;
// After every first solve with more than one shift, a Levenberg-Marquardt
// path over all the parameters from the caller's start, the intensities
// moving beside the shifts, passes through places that the projected solve
// never sees and often ends in another basin: the one an unstructured
// solver from the same start reaches, about as often lower as the projected
// solve's own. Its shifts after this many iterations start a fine solve,
// given up unless it is below the current point after
// kFullSpaceTrialIterations, and the lower end stands. Over 25 sets of hard
// problems the fits that ended above such a solver's fell from 57 to 29 of
// 15,000 (on the twelve sets that no earlier change had seen, from 38 to
// 16). Ten path iterations found six more of them, but a measured Mn 2p
// spectrum then ended where a solver refining its end still found a lower
// point nearby (a ten-thousandth); twenty or more found none more. Trials
// run to their end found fewer: the later phases lacked what they had
// spent. Run only after the plainest hard signals, as before, the path left
// most of them: a fit that ends in the wrong basin often looks ordinary.
// Skipping the trial where the path's shifts fit as the current point does
// lost several for little time. The path costs the ordinary fits with a
// shift per reference about a quarter of their speed, part of which the
// secant looks across kinks gave back (they found nothing more once the
// path ran).
constexpr int kFullSpaceIterations = 6;
constexpr int kFullSpaceTrialIterations = 8;

// The look along the softest direction of the sum of squares (see
// LowerAlongSoftest): distances in channels (the norm of the move), from
// kSoftFirst doubling to kSoftLast, either way; the places the fine solves
// missed lay a sixth to nine tenths of a channel off. Nearer and farther
// places as well (a twenty-fifth to five fourths of a channel) found no more
// and cost the ordinary fits a twentieth of their speed. A way is given up
// after a trial that rises by more than kSoftRise of the sum of squares: one
// end mended rose a ten-thousandth on its way to the lower place, and a
// stricter bound lost it.
constexpr double kSoftFirst = 0.16;
constexpr double kSoftLast = 0.64;
constexpr double kSoftRise = 1.0e-3;
// A place along the softest direction must gain this fraction of the sum of
// squares to start a fine solve: those that led to lower ends gained a
// millionth to a thousandth at once.
constexpr double kSoftGain = 1.0e-6;
// The look is made only after a solve of this many iterations in all:
// run after every solve, it cost the ordinary fits a sixth of their speed
// (most settle in six to ten), and the ends it mended took fourteen or more.
constexpr int kSoftIterations = 12;

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

// The solver's view of a fit. The intensities and the constant enter the
// residual linearly, so for given shifts their best values follow from a small
// least-squares problem: the solver moves the shifts alone, over a residual in
// which those are always optimal (variable projection). That removes the
// parameters whose scales differ most from the shifts' (intensities near 1,
// or 1e-8 from a zero start) and the strong correlations between overlapping
// references from the nonlinear solve, and a start far from the right
// intensities costs nothing. Intensities enter by absolute value, so their
// best values are those of a non-negative least-squares problem.
class CRefFitProjected : public IResiduals, public IScanPlacer
{
public:
    CRefFitProjected(CRefFitModel& fit, int mode)
        : m_fit(fit), m_mode(mode), m_n(fit.m_n), m_refs(fit.RefCount()), m_const(mode & 1),
          m_nShift(mode & 2 ? fit.RefCount() : 1), m_nLin(fit.RefCount() + (mode & 1))
    {
        double* p = fit.m_cache.get();
        const std::size_t mn = std::size_t(m_refs) * std::size_t(m_n);
        const std::size_t l = std::size_t(m_nLin);
        m_y = p;
        m_pen = m_y + mn;
        m_y2 = m_pen + mn;
        m_pen2 = m_y2 + mn;
        m_target = m_pen2 + mn;
        m_scratch = m_target + m_n;
        m_gram = m_scratch + m_n;
        m_chol = m_gram + l * l;
        m_rhs = m_chol + l * l;
        m_coef = m_rhs + l;
        m_trial = m_coef + l;
        m_z = m_trial + l;
        m_scale = m_z + l;
        m_passive = m_scale + l;
        m_shifts = m_passive + l;
        m_typical = m_shifts + m_nShift;
        // A shift's typical size: one energy unit in channels (the smallest
        // of the references for a common shift).
        std::fill_n(m_typical, m_nShift, 0.0);
        for (int k = 0; k < m_refs; ++k) {
            double& t = m_typical[ShiftOf(k)];
            t = t == 0.0 ? fit.Ref(k).unit : std::min(t, fit.Ref(k).unit);
        }
        for (int j = 0; j < m_nShift; ++j)
            if (m_typical[j] == 0.0)
                m_typical[j] = 1.0;
        m_gram0 = m_typical + m_nShift;
        m_rhs0 = m_gram0 + l * l;
        m_penAny = m_rhs0 + l;
        m_startShifts = m_penAny + m_refs + 1;
        m_bestShifts = m_startShifts + m_nShift;
        m_lastR = m_bestShifts + m_nShift;
        m_sumY = m_lastR + m_n;
        m_sumY2 = m_sumY + m_refs;
        m_pinned = m_sumY2 + m_refs;
        std::fill_n(m_pinned, m_nShift, 0.0);
        m_look = m_pinned + m_nShift;
        m_base = m_look + m_n;
        m_row = m_base + mn;
        m_t0 = fit.m_data;
        m_sumData = Sum(fit.m_data);
        m_sumT0 = m_sumData;
    }

    // Doubles of work space that a problem of this size needs, shifts included.
    static std::size_t WorkSize(int n, int refs, int mode)
    {
        const std::size_t l = std::size_t(refs + (mode & 1));
        const std::size_t ns = mode & 2 ? std::size_t(refs) : 1;
        const std::size_t m = std::size_t(refs), points = std::size_t(n);
        return 5 * m * points // placed and trial references, penalties, positions
               + 4 * points   // target, scratch, last residuals, a look aside
               + 3 * l * l    // normal equations, their factor, kept copy
               + 7 * l        // right-hand sides, coefficients, active set
               + 5 * ns       // shifts, typical, start, best, pinned
               + 3 * m + 1    // penalty flags, sums of the references
               + l + ns;      // a parameter row for the full-space path
    }

    // Doubles of work space of the look along the softest direction (see
    // LowerAlongSoftest) with ns shifts: a Jacobian and two square matrices.
    static std::size_t SoftSize(int n, int ns)
    {
        return ns > 1 ? std::size_t(ns) * (std::size_t(n) + 2 * std::size_t(ns)) : 0;
    }

    // Room for one residual vector.
    std::span<double> Scratch() { return {m_scratch, std::size_t(m_n)}; }
    // Room for one parameter row in the caller's layout.
    std::span<double> Row() { return {m_row, std::size_t(m_nLin + m_nShift)}; }

    std::span<const double> Typical() const { return {m_typical, std::size_t(m_nShift)}; }
    // The solver's parameter vector: the shifts, taken from theta.
    std::span<double> Shifts(std::span<const double> theta)
    {
        for (int s = 0; s < m_nShift; ++s)
            m_startShifts[s] = m_shifts[s] = theta[std::size_t(ShiftIndex(m_mode, s))];
        return {m_shifts, std::size_t(m_nShift)};
    }
    // Writes the shifts and, when they were the last point evaluated, the
    // intensities and constant that go with them into theta.
    void WriteBack(std::span<double> theta, bool withLinear) const
    {
        for (int s = 0; s < m_nShift; ++s)
            theta[std::size_t(ShiftIndex(m_mode, s))] = m_shifts[s];
        if (!withLinear)
            return;
        if (m_const)
            theta[std::size_t(ConstIndex(m_mode))] = m_coef[0];
        for (int k = 0; k < m_refs; ++k)
            theta[std::size_t(IntensityIndex(m_mode, k))] = m_coef[k + m_const];
    }
    // After a solve: a reference left without intensity, or moved more than
    // an energy unit beyond its start, may have wandered off while the others
    // settled (an overlapping neighbour took its place, or it took another's).
    // Keeps the solution in m_bestShifts, puts each such shift back to its
    // start and holds it (the caller may move it; Unpin releases it); false
    // when there is none.
    // Whether some reference is left without intensity at the last evaluation.
    bool AnyUnused() const
    {
        for (int k = 0; k < m_refs; ++k)
            if (m_coef[k + m_const] == 0.0)
                return true;
        return false;
    }
    // How far the shifts x lie from the start, in energy units: the farthest.
    double Travelled(std::span<const double> x) const
    {
        double far = 0.0;
        for (int j = 0; j < m_nShift; ++j)
            far = std::max(far, std::fabs(x[std::size_t(j)] - m_startShifts[j]) / m_typical[j]);
        return far;
    }
    bool PinStrays()
    {
        if (m_nShift < 2)
            return false;
        bool any = false;
        for (int j = 0; j < m_nShift; ++j) {
            m_bestShifts[j] = m_shifts[j];
            const bool off = std::fabs(m_shifts[j] - m_startShifts[j]) > kStrayDistance * m_typical[j];
            m_pinned[j] = (m_coef[j + m_const] == 0.0 || off) && m_shifts[j] != m_startShifts[j] ? 1.0 : 0.0;
            any = any || m_pinned[j] != 0.0;
        }
        if (!any)
            return false;
        for (int j = 0; j < m_nShift; ++j)
            if (m_pinned[j] != 0.0)
                m_shifts[j] = m_startShifts[j];
        return true;
    }
    // The two references whose placements at the last evaluated point
    // overlap most (correlation of the normal equations) among those whose
    // shifts lie at least kSwapDistance energy units apart; false when none
    // overlaps by more than kSwapCorrelation, or there is one shift only.
    bool MostOverlapping(int& j, int& k) const
    {
        if (m_nShift < 2)
            return false;
        const int l = m_nLin, c = m_const;
        double top = kSwapCorrelation;
        bool found = false;
        for (int a = 0; a < m_refs; ++a) {
            for (int b = a + 1; b < m_refs; ++b) {
                if (std::fabs(m_shifts[a] - m_shifts[b]) <
                    kSwapDistance * std::min(m_typical[a], m_typical[b]))
                    continue;
                const double gaa = m_gram0[(a + c) * l + a + c], gbb = m_gram0[(b + c) * l + b + c];
                if (!(gaa > 0.0 && gbb > 0.0))
                    continue;
                const double r = m_gram0[(a + c) * l + b + c] / std::sqrt(gaa * gbb);
                if (r > top) {
                    top = r;
                    j = a;
                    k = b;
                    found = true;
                }
            }
        }
        return found;
    }
    // With x the last point evaluated: the two references whose placements
    // overlap most, moved together kPairStep channels each way (four
    // evaluations). When the lowest of those lies below 'below', keeps x
    // (see RestoreBest), moves there and returns true.
    bool LowerWithMostOverlappingPair(std::span<double> x, double below, int& evaluations)
    {
        if (m_nShift < 2)
            return false;
        const int l = m_nLin, c = m_const;
        int j = -1, k = -1;
        double top = -1.0;
        for (int a = 0; a < m_refs; ++a) {
            for (int b = a + 1; b < m_refs; ++b) {
                const double gaa = m_gram0[(a + c) * l + a + c], gbb = m_gram0[(b + c) * l + b + c];
                if (!(gaa > 0.0 && gbb > 0.0))
                    continue;
                const double r = std::fabs(m_gram0[(a + c) * l + b + c]) / std::sqrt(gaa * gbb);
                if (r > top) {
                    top = r;
                    j = a;
                    k = b;
                }
            }
        }
        if (j < 0)
            return false;
        SaveBest();
        const double xj = x[std::size_t(j)], xk = x[std::size_t(k)];
        double toJ = xj, toK = xk;
        const std::span<double> r = Scratch();
        for (const double dj : {-kPairStep, kPairStep}) {
            for (const double dk : {-kPairStep, kPairStep}) {
                x[std::size_t(j)] = xj + dj;
                x[std::size_t(k)] = xk + dk;
                if (!Residuals(x, r))
                    break;
                ++evaluations;
                const double v = LsqDot(r.data(), r.data(), m_n);
                if (v < below) {
                    below = v;
                    toJ = x[std::size_t(j)];
                    toK = x[std::size_t(k)];
                }
            }
        }
        x[std::size_t(j)] = toJ;
        x[std::size_t(k)] = toK;
        if (toJ != xj || toK != xk)
            return true;
        RestoreBest();
        return false;
    }
    void SaveBest() { std::copy(m_shifts, m_shifts + m_nShift, m_bestShifts); }
    void Unpin() { std::fill_n(m_pinned, m_nShift, 0.0); }
    // With x the last point evaluated: the lowest point along each shift
    // alone within kRippleReach, with the constant and intensities held
    // (see LowestAlongShift). When it lies below 'below', keeps x (see
    // RestoreBest), moves that shift there and returns true. Each sweep
    // counts as an evaluation.
    bool LowerAlongOneShift(std::span<double> x, double below, RippleWork& w, int& evaluations)
    {
        w.amp.resize(std::size_t(m_refs));
        for (int k = 0; k < m_refs; ++k)
            w.amp[std::size_t(k)] = std::fabs(m_coef[k + m_const]);
        double move = 0.0;
        int j = -1;
        for (int s = 0; s < m_nShift; ++s) {
            double v = 0.0;
            const double t = LowestAlongShift(m_fit, m_nShift > 1 ? s : -1, w.amp, x[std::size_t(s)],
                                              {m_lastR, std::size_t(m_n)}, kRippleReach, w, v);
            ++evaluations;
            if (t != 0.0 && v < below) {
                below = v;
                move = t;
                j = s;
            }
        }
        if (j < 0)
            return false;
        SaveBest();
        x[std::size_t(j)] += move;
        return true;
    }
    // Where many points cross a channel at once (data on the references'
    // own grid), the kink can part two minima that the search along the
    // shift with the intensities held does not see as such (the other
    // intensities, and the constant, follow the moved reference): with them solved
    // for anew, the far side's may lie lower. Each shift is tried mirrored
    // across its strongest kink within kRippleReach either way, with all
    // intensities solved for; x moves to the lowest place below 'below'
    // (true), otherwise it is as it was. Each trial counts as an evaluation,
    // and none is made once 'evaluations' reaches 'budget'.
    bool LowerAcrossStrongestKink(std::span<double> x, double below, RippleWork& w, int budget,
                                  int& evaluations)
    {
        w.amp.resize(std::size_t(m_refs));
        for (int k = 0; k < m_refs; ++k)
            w.amp[std::size_t(k)] = std::fabs(m_coef[k + m_const]);
        SaveBest();
        double to = 0.0;
        int j = -1;
        // The trials are placed aside: where none gains, the current point
        // stays evaluated and the phases after this one need no evaluation
        // to find it again.
        for (int s = 0; s < m_nShift; ++s) {
            double up = 0.0, down = 0.0;
            const double from = m_bestShifts[s];
            StrongestKinks(m_fit, m_nShift > 1 ? s : -1, w.amp, from, {m_lastR, std::size_t(m_n)},
                           kRippleReach, up, down);
            for (const double t : {2.0 * up, -2.0 * down}) {
                if (t == 0.0)
                    continue;
                if (m_fit.StopRequested())
                    return false;
                if (evaluations >= budget)
                    break; // the places found so far stand
                ++evaluations;
                const double v = TrialSumOfSquares(s, from + t);
                if (v < below) {
                    below = v;
                    to = from + t;
                    j = s;
                }
            }
        }
        if (j < 0)
            return false;
        x[std::size_t(j)] = to;
        return true;
    }
    // With x the last point evaluated: overlapping references whose shifts
    // can move together at little cost leave a shallow valley, along which
    // the ripple's cells lie one beside the other, a few tenths of a channel
    // apart, each parted from the next by a ridge that no local step
    // crosses. The valley runs along the softest direction of the normal
    // equations of the projected residual (their eigenvector of least
    // eigenvalue): x is moved along it by kSoftFirst to kSoftLast channels
    // either way, all intensities solved for at each place, and goes to the
    // lowest place below 'below' (true); otherwise it is as it was. One
    // Jacobian (counted in 'jacobians') and up to one evaluation per
    // distance and way, none once 'evaluations' reaches 'budget'.
    bool LowerAlongSoftest(std::span<double> x, double below, std::span<double> work, int budget,
                           int& evaluations, int& jacobians)
    {
        const int ns = m_nShift;
        if (ns < 2 || !IsCurrent(x))
            return false;
        const std::size_t nn = std::size_t(ns);
        if (work.size() < SoftSize(m_n, ns))
            return false;
        double* jac = work.data();
        double* g = jac + nn * std::size_t(m_n);
        double* v = g + nn * nn;
        SaveBest();
        ++jacobians;
        if (!Jacobian(x, {m_lastR, std::size_t(m_n)}, {jac, nn * std::size_t(m_n)}, Scratch(), FineSteps()))
            return false;
        for (int a = 0; a < ns; ++a)
            for (int b = a; b < ns; ++b)
                g[a * ns + b] = g[b * ns + a] =
                    LsqDot(jac + std::size_t(a) * m_n, jac + std::size_t(b) * m_n, m_n);
        // Cyclic Jacobi rotations: the matrix is small, and its eigenvalues
        // may lie many decades apart.
        std::fill_n(v, nn * nn, 0.0);
        for (int a = 0; a < ns; ++a)
            v[a * ns + a] = 1.0;
        for (int sweep = 0; sweep < 30; ++sweep) {
            double off = 0.0, diag = 0.0;
            for (int a = 0; a < ns; ++a) {
                diag += g[a * ns + a] * g[a * ns + a];
                for (int b = a + 1; b < ns; ++b)
                    off += g[a * ns + b] * g[a * ns + b];
            }
            if (!(off > 1e-30 * diag))
                break;
            for (int a = 0; a < ns; ++a) {
                for (int b = a + 1; b < ns; ++b) {
                    const double gab = g[a * ns + b];
                    if (gab == 0.0)
                        continue;
                    const double th = 0.5 * std::atan2(2.0 * gab, g[b * ns + b] - g[a * ns + a]);
                    const double c = std::cos(th), sn = std::sin(th);
                    for (int k = 0; k < ns; ++k) {
                        const double ka = g[k * ns + a], kb = g[k * ns + b];
                        g[k * ns + a] = c * ka - sn * kb;
                        g[k * ns + b] = sn * ka + c * kb;
                    }
                    for (int k = 0; k < ns; ++k) {
                        const double ak = g[a * ns + k], bk = g[b * ns + k];
                        g[a * ns + k] = c * ak - sn * bk;
                        g[b * ns + k] = sn * ak + c * bk;
                    }
                    for (int k = 0; k < ns; ++k) {
                        const double ka = v[k * ns + a], kb = v[k * ns + b];
                        v[k * ns + a] = c * ka - sn * kb;
                        v[k * ns + b] = sn * ka + c * kb;
                    }
                }
            }
        }
        int soft = 0;
        for (int a = 1; a < ns; ++a)
            if (g[a * ns + a] < g[soft * ns + soft])
                soft = a;
        const std::span<double> r = Scratch();
        double bestStep = 0.0;
        const double from = below;
        for (const double sign : {-1.0, 1.0}) {
            for (double d = kSoftFirst; d <= kSoftLast * (1.0 + 1e-9); d *= 2.0) {
                if (evaluations >= budget)
                    break;
                for (int j = 0; j < ns; ++j)
                    x[std::size_t(j)] = m_bestShifts[j] + sign * d * v[j * ns + soft];
                if (!Residuals(x, r)) {
                    RestoreBest();
                    return false;
                }
                ++evaluations;
                const double sum = LsqDot(r.data(), r.data(), m_n);
                if (sum < below) {
                    below = sum;
                    bestStep = sign * d;
                }
                if (!(sum <= from * (1.0 + kSoftRise)))
                    break;
            }
        }
        if (bestStep == 0.0) {
            RestoreBest();
            return false;
        }
        for (int j = 0; j < ns; ++j)
            x[std::size_t(j)] = m_bestShifts[j] + bestStep * v[j * ns + soft];
        return true;
    }
    // With x the last point evaluated, at sum of squares sse: a reference
    // whose end point stands on its window's edge (within kWallReach) can fit
    // that point's residual with the window's penalty, when the residual is
    // positive (the penalty is subtracted): its shift is moved past the edge
    // by the amount whose penalty equals the residual, and then, with the
    // intensities solved again, by the amount that the two evaluations put
    // the best penalty at (the residual falls linearly with it). A place that
    // lowers the sum of squares stands: x and sse are updated and true is
    // returned; otherwise x is as it was. Costs nothing when no end point is
    // on an edge, two evaluations per one that is, within 'budget'.
    bool LowerAtWindowWall(std::span<double> x, double& sse, int budget, int& evaluations)
    {
        bool lowered = false;
        const std::span<double> r = Scratch();
        for (int k = 0; k < m_refs; ++k) {
            const CRefFitModel::Reference& e = m_fit.Ref(k);
            const std::size_t j = std::size_t(ShiftOf(k));
            for (const bool up : {false, true}) {
                if (budget - evaluations < 2 || !IsCurrent(x))
                    return lowered;
                // The end point nearest this edge, at the arithmetic of Place.
                const int i = (e.a >= 0.0) == up ? m_n - 1 : 0;
                const double dir = up ? 1.0 : -1.0;
                const double past = (e.a * i + e.b + x[j] - (up ? e.high : e.low)) * dir;
                const double res = m_lastR[i];
                if (!(std::fabs(past) <= kWallReach && res > 0.0))
                    continue;
                const double p0 = std::max(past, 0.0) * CRefFitModel::kWindowPenalty;
                const double from = x[j];
                double bestShift = from, best = sse;
                double p = p0 + res, rp = 0.0;
                for (int look = 0; look < 2; ++look) {
                    x[j] = from + dir * ((p - p0) / CRefFitModel::kWindowPenalty - std::min(past, 0.0));
                    if (!Residuals(x, r))
                        return lowered;
                    ++evaluations;
                    const double v = LsqDot(r.data(), r.data(), m_n);
                    if (v < best) {
                        best = v;
                        bestShift = x[j];
                    }
                    // The residual at p on the line through (p0, res) and
                    // (p, rp): zero there.
                    rp = r[std::size_t(i)];
                    if (!(res - rp > 0.0))
                        break;
                    p = p0 + (p - p0) * res / (res - rp);
                }
                x[j] = bestShift;
                if (bestShift != from) {
                    sse = best;
                    lowered = true;
                }
                if (!IsCurrent(x)) {
                    if (!Residuals(x, r))
                        return lowered;
                    ++evaluations;
                }
            }
        }
        return lowered;
    }
    bool Pinned(int j) const { return m_pinned[j] != 0.0; }
    double StartShift(int j) const { return m_startShifts[j]; }
    void RestoreBest() { std::copy(m_bestShifts, m_bestShifts + m_nShift, m_shifts); }

    bool IsCurrent(std::span<const double> x) const
    {
        return std::equal(x.begin(), x.end(), m_fit.m_cacheX.begin());
    }

    bool Residuals(std::span<const double> x, std::span<double> r) override
    {
        if (m_fit.StopRequested())
            return false;
        // A new phase of a solve starts where the last one ended.
        if (IsCurrent(x)) {
            CopyN(m_lastR, m_n, r.data());
            return true;
        }
        // A reference whose shift did not move since the last evaluation
        // (a held shift, a search along one) keeps its placement, and only
        // the rows of the normal equations of those that moved change. A
        // moved reference that is penalised, before or after, changes the
        // target, and with it every row's right-hand side.
        std::array<int, kMaxRows> rows{};
        int moved = 0;
        bool sameTarget = m_gram0Ready; // the penalties are known only after a first placement
        for (int k = 0; k < m_refs; ++k) {
            const std::size_t j = std::size_t(ShiftOf(k));
            if (x[j] == m_fit.m_cacheX[j])
                continue;
            sameTarget = sameTarget && m_penAny[k] == 0.0;
            m_penAny[k] = Place(k, x[j], m_y + Offset(k), m_pen + Offset(k), m_sumY[k]);
            sameTarget = sameTarget && m_penAny[k] == 0.0;
            if (moved < kMaxRows)
                rows[std::size_t(moved)] = k;
            ++moved;
        }
        m_penAny[m_refs] = 0.0;
        // The changed rows alone, when they cost fewer products than all rows.
        const int all = m_refs * (m_refs + 3) / 2;
        const int some = moved * (m_refs + 1) + (sameTarget ? 0 : m_refs - moved);
        if (m_gram0Ready && moved <= kMaxRows && some < all)
            Project(kNone, r.data(), m_coef, true, {rows.data(), std::size_t(moved)}, sameTarget);
        else
            Project(kNone, r.data(), m_coef, true);
        CopyN(r.data(), m_n, m_lastR);
        std::copy(x.begin(), x.end(), m_fit.m_cacheX.begin());
        return true;
    }

    // Column j: the forward difference of the projected residual, with only
    // the references that shift j moves placed anew. r holds the residuals at x.
    bool Jacobian(std::span<const double> x, std::span<const double> r, std::span<double> jac,
                  std::span<double> work, const LsqSteps& steps) override
    {
        if (!IsCurrent(x) && !Residuals(x, work))
            return false;
        if (!m_baseReady) {
            for (int k = 0; k < m_refs; ++k) {
                const CRefFitModel::Reference& e = m_fit.Ref(k);
                for (int i = 0; i < m_n; ++i)
                    m_base[Offset(k) + std::size_t(i)] = e.a * i + e.b;
            }
            m_baseReady = true;
        }
        for (int j = 0; j < m_nShift; ++j) {
            if (m_fit.StopRequested())
                return false;
            double* col = jac.data() + std::size_t(j) * std::size_t(m_n);
            if (m_pinned[j] != 0.0) {
                std::fill_n(col, m_n, 0.0); // held: no step moves it
                continue;
            }
            const double v = x[std::size_t(j)];
            double h = steps.For(std::size_t(j), v);
            double vh = v + h;
            const int moved = m_nShift == 1 ? kAll : j;
            const auto placeTrial = [&] {
                m_penAny[m_refs] = 0.0; // any trial placement penalised
                for (int k = 0; k < m_refs; ++k)
                    if (moved == kAll || moved == k)
                        m_penAny[m_refs] = std::max(
                            m_penAny[m_refs], Place(k, vh, m_y2 + Offset(k), m_pen2 + Offset(k), m_sumY2[k]));
                return m_penAny[m_refs] != 0.0;
            };
            // A step from a shift that stands on its window's edge into the
            // wall sees only the penalty: the column said every move was
            // steep and the solve stopped there, however far the minimum
            // lay on the other side. The difference is taken on that side
            // when the sum of squares falls that way; when it falls towards
            // the wall the minimum is on the edge, and the wall's column
            // stands.
            if (placeTrial() && !PlacedPenalised(moved)) {
                const double forward = h;
                const volatile double back = v - h; // exact step, as For makes it
                h = back - v;
                vh = back;
                placeTrial();
                Project(moved, work.data(), m_trial, false);
                double slope = 0.0; // of the sum of squares, towards the wall
                for (int i = 0; i < m_n; ++i)
                    slope += (work[std::size_t(i)] - r[std::size_t(i)]) * r[std::size_t(i)];
                if (!(slope / h * forward > 0.0)) {
                    h = forward;
                    vh = v + h;
                    placeTrial();
                    Project(moved, work.data(), m_trial, false);
                }
            } else {
                Project(moved, work.data(), m_trial, false);
            }
            const double invh = 1.0 / h;
            for (int i = 0; i < m_n; ++i)
                col[i] = (work[std::size_t(i)] - r[std::size_t(i)]) * invh;
        }
        return true;
    }

    // The window scan's view of the last point evaluated, and its side of
    // the scan (see WindowScan.h).
    ScanPoint ScanView(int budget)
    {
        return {m_n, m_refs, m_const != 0, m_lastR, m_coef, m_shifts, m_look, budget};
    }
    const double* Placed(int k, double& sum) override
    {
        sum = m_sumY[k];
        return m_penAny[k] == 0.0 ? m_y + Offset(k) : nullptr;
    }
    void Sums(int k, double s, const double* u, int stride, double& sum, double& squares,
              double& dot) override
    {
        // Range keeps every point a channel short of the array's end.
        const CRefFitModel::Reference& e = m_fit.Ref(k);
        const double* ref = e.ref;
        const auto at = [&](int i) {
            const double v = e.a * i + e.b + s;
            const int i0 = int(v);
            const double y0 = ref[i0];
            return y0 + (v - double(i0)) * (ref[i0 + 1] - y0);
        };
        double s0 = 0.0, q0 = 0.0, d0 = 0.0, s1 = 0.0, q1 = 0.0, d1 = 0.0;
        int i = 0;
        for (; i + stride < m_n; i += 2 * stride) {
            const double y0 = at(i), y1 = at(i + stride);
            s0 += y0;
            q0 += y0 * y0;
            d0 += y0 * u[i];
            s1 += y1;
            q1 += y1 * y1;
            d1 += y1 * u[i + stride];
        }
        if (i < m_n) {
            const double y0 = at(i);
            s0 += y0;
            q0 += y0 * y0;
            d0 += y0 * u[i];
        }
        sum = s0 + s1;
        squares = q0 + q1;
        dot = d0 + d1;
    }
    bool Range(int k, double& low, double& high, double& spacing, int& stride) const override
    {
        const CRefFitModel::Reference& e = m_fit.Ref(k);
        const double first = e.b, last = e.a * (m_n - 1) + e.b;
        low = e.low - std::min(first, last);
        high = std::min(e.high, double(e.nRef - 2)) - std::max(first, last);
        spacing = kScanSpacing * e.unit;
        // Points per kScanSample energy units (e.a channels apart).
        const double per = kScanSample * e.unit / std::fabs(e.a);
        stride = per >= 2.0 && per < double(m_n) ? int(per) : 1;
        return m_nShift == m_refs && e.nRef >= 2 && e.low >= 0.0 && std::isfinite(first) &&
               std::isfinite(last) && std::isfinite(low) && std::isfinite(high) && std::isfinite(spacing) &&
               spacing > 0.0;
    }
    // With x the last point evaluated: the reference that contributes least
    // (intensity times the norm of its placement), and its lowest place, all
    // intensities solved for, among places 'spacing' energy units apart from
    // 'skip' to 'reach' either way of its shift, and its sum of squares in
    // best. False when there is no such place or one shift serves all.
    bool NearPlaceOfWeakest(std::span<const double> x, double skip, double reach, double spacing, int budget,
                            int& evaluations, int& ref, double& place, double& best)
    {
        if (m_nShift < 2)
            return false;
        const int l = m_nLin, c = m_const;
        ref = -1;
        double least = HUGE_VAL;
        for (int k = 0; k < m_refs; ++k) {
            const double g = m_gram0[(k + c) * l + k + c];
            const double v = std::fabs(m_coef[k + c]) * std::sqrt(std::max(g, 0.0));
            if (v < least) {
                least = v;
                ref = k;
            }
        }
        if (ref < 0)
            return false;
        const double from = x[std::size_t(ref)], unit = m_typical[ref];
        best = HUGE_VAL;
        for (double d = skip; d <= reach + 1e-9; d += spacing) {
            for (const double sign : {-1.0, 1.0}) {
                if (m_fit.StopRequested() || evaluations >= budget)
                    return best < HUGE_VAL;
                ++evaluations;
                const double v = SumOfSquares(ref, from + sign * d * unit);
                if (v < best) {
                    best = v;
                    place = from + sign * d * unit;
                }
            }
        }
        return best < HUGE_VAL;
    }
    // With x the last point evaluated: the reference with intensity whose
    // shift lies farthest from its start, and that distance in energy units
    // (-1 when there is none, or one shift serves all).
    int Farthest(std::span<const double> x, double& far) const
    {
        int ref = -1;
        far = -1.0;
        if (m_nShift < 2)
            return ref;
        for (int k = 0; k < m_refs; ++k) {
            const double d = std::fabs(x[std::size_t(k)] - m_startShifts[k]) / m_typical[k];
            if (d > far && m_coef[k + m_const] != 0.0) {
                far = d;
                ref = k;
            }
        }
        if (ref < 0)
            far = -1.0;
        return ref;
    }
    // With x the last point evaluated: reference ref's lowest basin apart
    // from its own among places 'spacing' energy units apart from 'skip' to
    // 'reach' either way of its shift, every intensity solved for at each.
    // A place counts only where both its neighbours on the same side lie
    // higher: next to its own basin the sum of squares mostly just rises
    // away from it. False when there is no such place.
    bool OtherBasinOf(int ref, std::span<const double> x, double skip, double reach, double spacing,
                      int budget, int& evaluations, double& place)
    {
        if (m_nShift < 2 || ref < 0 || ref >= m_refs)
            return false;
        const double from = x[std::size_t(ref)], unit = m_typical[ref];
        double best = HUGE_VAL;
        for (const double sign : {-1.0, 1.0}) {
            double before = HUGE_VAL, last = HUGE_VAL; // the two places inside the last one looked at
            for (double d = skip; d <= reach + 1e-9; d += spacing) {
                if (m_fit.StopRequested() || evaluations >= budget)
                    return best < HUGE_VAL;
                ++evaluations;
                const double v = SumOfSquares(ref, from + sign * d * unit);
                if (before < HUGE_VAL && last <= before && last <= v && last < best) {
                    best = last;
                    place = from + sign * (d - spacing) * unit;
                }
                before = last;
                last = v;
            }
        }
        return best < HUGE_VAL;
    }
    // The sum of squares with shift j at s and the others as placed, every
    // intensity solved for anew; the placed references stay as they are.
    double TrialSumOfSquares(int j, double s)
    {
        if (m_nShift > 1)
            return SumOfSquares(j, s);
        m_penAny[m_refs] = 0.0;
        for (int k = 0; k < m_refs; ++k)
            m_penAny[m_refs] =
                std::max(m_penAny[m_refs], Place(k, s, m_y2 + Offset(k), m_pen2 + Offset(k), m_sumY2[k]));
        Project(kAll, m_look, m_trial, false);
        return LsqDot(m_look, m_look, m_n);
    }
    double SumOfSquares(int k, double s) override
    {
        m_penAny[m_refs] = Place(k, s, m_y2 + Offset(k), m_pen2 + Offset(k), m_sumY2[k]);
        Project(k, m_look, m_trial, false);
        return LsqDot(m_look, m_look, m_n);
    }

private:
    static constexpr int kNone = -1;   // no reference moved: the placed ones
    static constexpr int kMaxRows = 8; // changed rows that Residuals names at most
    static constexpr int kAll = -2;    // every reference moved

    std::size_t Offset(int k) const { return std::size_t(k) * std::size_t(m_n); }
    int ShiftOf(int k) const { return m_nShift == 1 ? 0 : k; }
    // Whether the current placement of the references a shift moves is
    // penalised anywhere.
    bool PlacedPenalised(int moved) const
    {
        if (moved != kAll)
            return m_penAny[moved] != 0.0;
        return std::any_of(m_penAny, m_penAny + m_refs, [](double p) { return p != 0.0; });
    }

    // y[i] = at(i) for every point (at may read y[i] first), two at a
    // time. Returns their sum, the even and the odd points' apart, when the
    // constant's equations need it (else 0): a chain of additions that
    // would otherwise set the pace of the loop.
    template <class At> double Values(double* y, At at) const
    {
        const auto run = [&](auto withSum) {
            double s0 = 0.0, s1 = 0.0;
            int i = 0;
            for (; i + 1 < m_n; i += 2) {
                const double v0 = at(i), v1 = at(i + 1);
                y[i] = v0;
                y[i + 1] = v1;
                if constexpr (withSum) {
                    s0 += v0;
                    s1 += v1;
                }
            }
            if (i < m_n) {
                y[i] = at(i);
                if constexpr (withSum)
                    s0 += y[i];
            }
            return s0 + s1;
        };
        return m_const ? run(std::true_type()) : run(std::false_type());
    }

    // Reference k at shift s on every data point: its values, and only when
    // some point is penalised (returns 1, else 0) the penalties of all.
    double Place(int k, double s, double* y, double* pen, double& sum) const
    {
        const CRefFitModel::Reference& e = m_fit.Ref(k);
        const double* ref = e.ref;
        const int n = m_n;
        // The position rises or falls with i, rounding included, so when both
        // ends lie in the window every point does, and the loop needs no test.
        // Once the solve needs Jacobians, each point's channel at shift 0 is
        // kept (an exact fit ends before, and does without).
        const double* base = m_baseReady ? m_base + Offset(k) : nullptr;
        const auto position = [&](int i) { return base ? base[i] + s : e.a * i + e.b + s; };
        const double uFirst = position(0), uLast = position(n - 1);
        // Short of the last channel, every point has a right neighbour, and
        // one on a channel takes it with weight 0: no test per point.
        const double top = std::min(e.high, double(e.nRef - 1) * (1.0 - DBL_EPSILON));
        // A reference of one channel has no neighbour, and a window reaching below channel 0
        // would truncate towards it: both take the tested loop.
        const bool fast = e.nRef >= 2 && e.low >= 0.0;
        if (fast && uFirst >= e.low && uFirst <= top && uLast >= e.low && uLast <= top) {
            // A reference on the data's own grid puts point i on channel
            // c0 + i, as a rule: with the fractions found first, the values
            // come from consecutive channels, a loop that vectorises. The
            // positions and fractions are the same as below.
            if (base && e.a == 1.0) {
                const int c0 = int(uFirst);
                int off = 0;
                for (int i = 0; i < n; ++i) {
                    const double u = base[i] + s;
                    const int i0 = int(u);
                    y[i] = u - double(i0);
                    off |= (i0 - i) ^ c0;
                }
                if (off == 0) {
                    const double* r0 = ref + c0;
                    sum = Values(y, [&](int i) { return r0[i] + y[i] * (r0[i + 1] - r0[i]); });
                    return 0.0;
                }
            }
            if (base) {
                int* channel = m_fit.m_channel.data();
                for (int i = 0; i < n; ++i) {
                    const double u = base[i] + s;
                    const int i0 = int(u);
                    channel[i] = i0;
                    y[i] = u - double(i0);
                }
                sum = Values(y, [&](int i) {
                    const int c = channel[i];
                    return ref[c] + y[i] * (ref[c + 1] - ref[c]);
                });
                return 0.0;
            }
            sum = Values(y, [&](int i) {
                const double u = position(i);
                const int i0 = int(u);
                const double v = ref[i0];
                return v + (u - double(i0)) * (ref[i0 + 1] - v);
            });
            return 0.0;
        }
        // The penalties are written in the same pass: a reference shorter
        // than the data's stretch is penalised at every placement.
        bool any = false;
        const auto at = [&](int i) {
            const double u = position(i);
            if (u >= e.low && u <= e.high) {
                const int i0 = int(u);
                const double j0 = double(i0);
                double v = ref[i0];
                if (u != j0)
                    v += (u - j0) * (ref[i0 + 1] - v);
                pen[i] = 0.0;
                return v;
            }
            any = true;
            return Interpolate(e, u, pen[i]);
        };
        sum = Values(y, at);
        return any ? 1.0 : 0.0;
    }

    const double* Y(int k, int moved) const { return (moved == kAll || moved == k ? m_y2 : m_y) + Offset(k); }
    const double* Pen(int k, int moved) const
    {
        return (moved == kAll || moved == k ? m_pen2 : m_pen) + Offset(k);
    }

    // Best constant and non-negative intensities for the placed references
    // (those that 'moved' replaced by the trial placement) into coef, and
    // the residual into r. The placed references' normal equations are kept,
    // so a trial that moves one reference without penalties recomputes only
    // its row. A warm start from the current coefficients saves the
    // active-set iterations when the signs do not change.
    // With moved kNone, a non-empty 'changed' names the only placed
    // references that changed since the last such call (sameTarget: the
    // target stayed as it was): the other rows of the normal equations are
    // kept, and with a new target only their right-hand sides are made anew.
    // Every product is the same sum in the same order whichever rows are
    // made anew, so the result does not depend on the choice.
    void Project(int moved, double* r, double* coef, bool fresh, std::span<const int> changed = {},
                 bool sameTarget = false)
    {
        const int n = m_n, l = m_nLin, c = m_const;
        const bool rows = moved == kNone && !changed.empty();
        const bool one = moved >= 0 && m_gram0Ready;
        const bool keepTarget =
            rows ? sameTarget : moved >= 0 && m_penAny[moved] == 0.0 && m_penAny[m_refs] == 0.0;
        // Target t = data minus the penalties (the data itself when none).
        const double* t = m_t0;
        double sumT = m_sumT0;
        if (!keepTarget) {
            bool penalised = false;
            for (int k = 0; k < m_refs; ++k)
                penalised =
                    penalised || (moved == kAll || moved == k ? m_penAny[m_refs] : m_penAny[k]) != 0.0;
            const double* data = m_fit.m_data;
            if (!penalised) {
                t = data;
                sumT = m_sumData;
            } else {
                double* tt = moved == kNone ? m_target : m_scratch;
                CopyN(data, n, tt);
                for (int k = 0; k < m_refs; ++k) {
                    if ((moved == kAll || moved == k ? m_penAny[m_refs] : m_penAny[k]) == 0.0)
                        continue;
                    const double* pen = Pen(k, moved);
                    for (int i = 0; i < n; ++i)
                        tt[i] -= pen[i];
                }
                t = tt;
                sumT = Sum(tt);
            }
            if (moved == kNone) {
                m_t0 = t;
                m_sumT0 = sumT;
            }
        }
        if (rows || one) {
            CopyN(m_gram0, l * l, m_gram);
            CopyN(m_rhs0, l, m_rhs);
            const int single[1] = {moved};
            const std::span<const int> made = rows ? changed : std::span<const int>(single);
            for (int k : made)
                RefRow(k, moved, t, m_refs);
            if (!keepTarget)
                TargetRows(made, moved, t);
        } else {
            for (int k = 0; k < m_refs; ++k)
                RefRow(k, moved, t, k + 1);
        }
        if (c) {
            m_gram[0] = double(n);
            for (int k = 0; k < m_refs; ++k)
                m_gram[k + 1] = m_gram[(k + 1) * l] = SumY(k, moved);
            m_rhs[0] = sumT;
        }
        if (moved == kNone) {
            CopyN(m_gram, l * l, m_gram0);
            CopyN(m_rhs, l, m_rhs0);
            m_gram0Ready = true;
        }
        // Scaled to a unit diagonal.
        for (int a = 0; a < l; ++a)
            m_scale[a] = m_gram[a * l + a] > 0.0 ? 1.0 / std::sqrt(m_gram[a * l + a]) : 0.0;
        for (int a = 0; a < l; ++a) {
            for (int b = 0; b < l; ++b)
                m_gram[a * l + b] *= m_scale[a] * m_scale[b];
            m_rhs[a] *= m_scale[a];
        }
        // Start from the current coefficients' signs, unless this is a fresh
        // evaluation without any.
        for (int a = 0; a < l; ++a)
            m_z[a] = fresh ? 1.0 : m_coef[a];
        Nnls(coef);
        for (int a = 0; a < l; ++a)
            coef[a] *= m_scale[a];
        // r = t - c - sum a_k y_k, four references per group. Up to eight
        // references take one pass; more, one pass per group.
        const double c0 = c ? coef[0] : 0.0;
        const double* y[8];
        double w[8];
        const int fused = std::min(m_refs, 8);
        for (int k = 0; k < fused; ++k) {
            y[k] = Y(k, moved);
            w[k] = coef[c + k];
        }
        if (m_refs == 0) {
            for (int i = 0; i < n; ++i)
                r[i] = t[i] - c0;
            return;
        }
        // One pass for up to eight references, of one group or two.
        using ResidualOf = void (*)(const double*, double, const double* const*, const double*, double*, int);
        static constexpr ResidualOf kResidual[] = {&Residual<1, 0>, &Residual<2, 0>, &Residual<3, 0>,
                                                   &Residual<4, 0>, &Residual<4, 1>, &Residual<4, 2>,
                                                   &Residual<4, 3>, &Residual<4, 4>};
        if (m_refs <= 8)
            return kResidual[m_refs - 1](t, c0, y, w, r, n);
        Residual<4, 4>(t, c0, y, w, r, n);
        for (int k = 8; k < m_refs; k += 4) {
            const int cnt = std::min(4, m_refs - k);
            for (int j = 0; j < cnt; ++j) {
                y[j] = Y(k + j, moved);
                w[j] = coef[c + k + j];
            }
            for (int i = 0; i < n; ++i) {
                switch (cnt) {
                case 1:
                    r[i] -= Group<1>(y, w, i);
                    break;
                case 2:
                    r[i] -= Group<2>(y, w, i);
                    break;
                case 3:
                    r[i] -= Group<3>(y, w, i);
                    break;
                default:
                    r[i] -= Group<4>(y, w, i);
                    break;
                }
            }
        }
    }

    // w_0 y_0 + ... + w_{C-1} y_{C-1} at point i, in pairs.
    template <int C> static double Group(const double* const* y, const double* w, int i)
    {
        if constexpr (C == 1)
            return w[0] * y[0][i];
        else if constexpr (C == 2)
            return w[0] * y[0][i] + w[1] * y[1][i];
        else if constexpr (C == 3)
            return (w[0] * y[0][i] + w[1] * y[1][i]) + w[2] * y[2][i];
        else
            return (w[0] * y[0][i] + w[1] * y[1][i]) + (w[2] * y[2][i] + w[3] * y[3][i]);
    }
    // r = t - c0 minus a group of A references, then one of B (none when 0).
    template <int A, int B>
    static void Residual(const double* t, double c0, const double* const* y, const double* w, double* r,
                         int n)
    {
        for (int i = 0; i < n; ++i) {
            double v = t[i] - c0;
            v -= Group<A>(y, w, i);
            if constexpr (B > 0)
                v -= Group<B>(y + 4, w + 4, i);
            r[i] = v;
        }
    }

    // Row of reference k in the normal equations: its products with the
    // first 'count' references and with the target, eight per pass (up to
    // seven references read the row's own values once).
    void RefRow(int k, int moved, const double* t, int count)
    {
        const int n = m_n, l = m_nLin, row = k + m_const;
        const double* yk = Y(k, moved);
        for (int b = 0; b <= count; b += 8) {
            const int cnt = std::min(8, count + 1 - b);
            const double* y[8];
            for (int j = 0; j < cnt; ++j) {
                const int col = b + j;
                y[j] = col < count ? Y(col, moved) : t;
            }
            double sums[8];
            // One pass over the points for each width.
            using DotsOf = void (*)(const double*, const double* const*, int, double*);
            static constexpr DotsOf kDots[] = {&Dots<1>, &Dots<2>, &Dots<3>, &Dots<4>,
                                               &Dots<5>, &Dots<6>, &Dots<7>, &Dots<8>};
            kDots[cnt - 1](yk, y, n, sums);
            for (int j = 0; j < cnt; ++j) {
                const int col = b + j;
                if (col < count)
                    m_gram[row * l + col + m_const] = m_gram[(col + m_const) * l + row] = sums[j];
                else
                    m_rhs[row] = sums[j];
            }
        }
    }

    // The right-hand sides of the rows not in 'made', with target t.
    void TargetRows(std::span<const int> made, int moved, const double* t)
    {
        using DotsOf = void (*)(const double*, const double* const*, int, double*);
        static constexpr DotsOf kDots[] = {&Dots<1>, &Dots<2>, &Dots<3>, &Dots<4>,
                                           &Dots<5>, &Dots<6>, &Dots<7>, &Dots<8>};
        const double* y[8];
        int ks[8], cnt = 0;
        double sums[8];
        for (int k = 0; k <= m_refs; ++k) {
            if (cnt == 8 || (k == m_refs && cnt > 0)) {
                kDots[cnt - 1](t, y, m_n, sums);
                for (int j = 0; j < cnt; ++j)
                    m_rhs[ks[j] + m_const] = sums[j];
                cnt = 0;
            }
            if (k == m_refs || std::find(made.begin(), made.end(), k) != made.end())
                continue;
            y[cnt] = Y(k, moved);
            ks[cnt++] = k;
        }
    }

    // The products of v with the first C of y, each summed in the order of
    // the points.
    template <int C> static void Dots(const double* v, const double* const* y, int n, double* sums)
    {
        double acc[C] = {};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < C; ++j)
                acc[j] += v[i] * y[j][i];
        for (int j = 0; j < C; ++j)
            sums[j] = acc[j];
    }

    double SumY(int k, int moved) const { return (moved == kAll || moved == k ? m_sumY2 : m_sumY)[k]; }
    double Sum(const double* v) const
    {
        double s = 0.0;
        for (int i = 0; i < m_n; ++i)
            s += v[i];
        return s;
    }
    bool Free(int a) const { return m_const && a == 0; }

    // Solves the normal equations restricted to the passive set into m_z by
    // Cholesky; false when they are singular to working precision.
    bool SolvePassive()
    {
        const int l = m_nLin;
        for (int a = 0; a < l; ++a) {
            if (m_passive[a] == 0.0)
                continue;
            for (int b = 0; b <= a; ++b) {
                if (m_passive[b] == 0.0)
                    continue;
                double v = m_gram[a * l + b];
                for (int c = 0; c < b; ++c)
                    if (m_passive[c] != 0.0)
                        v -= m_chol[a * l + c] * m_chol[b * l + c];
                if (a == b) {
                    if (!(v > 1.0e-13))
                        return false;
                    m_chol[a * l + a] = std::sqrt(v);
                } else {
                    m_chol[a * l + b] = v / m_chol[b * l + b];
                }
            }
        }
        for (int a = 0; a < l; ++a) {
            if (m_passive[a] == 0.0) {
                m_z[a] = 0.0;
                continue;
            }
            double v = m_rhs[a];
            for (int c = 0; c < a; ++c)
                if (m_passive[c] != 0.0)
                    v -= m_chol[a * l + c] * m_z[c];
            m_z[a] = v / m_chol[a * l + a];
        }
        for (int a = l - 1; a >= 0; --a) {
            if (m_passive[a] == 0.0)
                continue;
            double v = m_z[a];
            for (int c = a + 1; c < l; ++c)
                if (m_passive[c] != 0.0)
                    v -= m_chol[c * l + a] * m_z[c];
            m_z[a] = v / m_chol[a * l + a];
        }
        return true;
    }

    // Active-set non-negative least squares on the scaled normal equations
    // (the constant is free). On entry m_z holds the start's signs: its
    // positive entries form the first passive set. x receives the solution.
    void Nnls(double* x)
    {
        const int l = m_nLin;
        for (int a = 0; a < l; ++a) {
            m_passive[a] = (Free(a) || m_z[a] > 0.0) && m_gram[a * l + a] > 0.0 ? 1.0 : 0.0;
            x[a] = 0.0;
        }
        // A warm passive set is kept only if its solution is feasible.
        if (SolvePassive()) {
            bool feasible = true;
            for (int a = 0; a < l; ++a)
                if (m_passive[a] != 0.0 && !Free(a) && !(m_z[a] > 0.0))
                    feasible = false;
            if (feasible) {
                CopyN(m_z, l, x);
            } else {
                for (int a = 0; a < l; ++a)
                    m_passive[a] = Free(a) && m_gram[a * l + a] > 0.0 ? 1.0 : 0.0;
                if (SolvePassive())
                    CopyN(m_z, l, x);
            }
        } else {
            for (int a = 0; a < l; ++a)
                m_passive[a] = Free(a) && m_gram[a * l + a] > 0.0 ? 1.0 : 0.0;
            if (SolvePassive())
                CopyN(m_z, l, x);
        }
        double bnorm = 0.0;
        for (int a = 0; a < l; ++a)
            bnorm = std::max(bnorm, std::fabs(m_rhs[a]));
        const double tol = 1.0e-13 * std::max(bnorm, 1.0e-300);
        for (int outer = 0; outer < 3 * l + 3; ++outer) {
            // Most promising intensity held at zero: largest gradient component.
            int best = -1;
            double bestW = tol;
            for (int a = 0; a < l; ++a) {
                if (m_passive[a] != 0.0 || Free(a) || m_gram[a * l + a] <= 0.0)
                    continue;
                double w = m_rhs[a];
                for (int b = 0; b < l; ++b)
                    w -= m_gram[a * l + b] * x[b];
                if (w > bestW) {
                    bestW = w;
                    best = a;
                }
            }
            if (best < 0)
                return;
            m_passive[best] = 1.0;
            for (int inner = 0; inner <= l; ++inner) {
                if (!SolvePassive()) {
                    // The new column depends on the passive ones: leave it out.
                    m_passive[best] = 0.0;
                    m_scale[best] = 0.0;
                    m_gram[best * l + best] = 0.0;
                    SolvePassive();
                    break;
                }
                double alpha = 2.0;
                for (int a = 0; a < l; ++a)
                    if (m_passive[a] != 0.0 && !Free(a) && m_z[a] <= 0.0)
                        alpha = std::min(alpha, x[a] / (x[a] - m_z[a]));
                if (alpha > 1.0) {
                    CopyN(m_z, l, x);
                    break;
                }
                for (int a = 0; a < l; ++a) {
                    if (m_passive[a] == 0.0)
                        continue;
                    x[a] += alpha * (m_z[a] - x[a]);
                    if (!Free(a) && x[a] <= 0.0) {
                        x[a] = 0.0;
                        m_passive[a] = 0.0;
                    }
                }
            }
        }
    }

    CRefFitModel& m_fit;
    int m_mode, m_n, m_refs, m_const, m_nShift, m_nLin;
    double *m_y, *m_pen, *m_y2, *m_pen2, *m_target, *m_scratch;
    double *m_gram, *m_chol, *m_rhs, *m_coef, *m_trial, *m_z, *m_scale, *m_passive, *m_shifts, *m_typical;
    double *m_gram0, *m_rhs0;             // normal equations of the placed references, unscaled
    double *m_startShifts, *m_bestShifts; // of a second solve, below
    double* m_lastR;                      // residuals at the shifts of the last evaluation
    double *m_sumY, *m_sumY2;             // sums of the placed and trial references
    double* m_pinned;                     // per shift: 1 while held at its start
    double* m_look;                       // residuals of a look aside
    double* m_base;                       // per reference: its channel of each point at shift 0
    double* m_row;                        // a parameter row in the caller's layout
    const double* m_t0;                   // target of the placed references
    double m_sumT0 = 0.0, m_sumData = 0.0;
    double* m_penAny;          // per placed reference, then for the trial: 1 if penalised
    bool m_baseReady = false;  // m_base filled
    bool m_gram0Ready = false; // m_gram0 and m_rhs0 hold the placed references'
};

// The fit in its full parameter space (constant, intensities and shifts
// together), as the caller's layout has it. Its Levenberg-Marquardt path
// from the caller's start, with the intensities moving beside the shifts,
// passes through places that the projected solve never sees.
class CRefFitFullSpace : public IResiduals
{
public:
    CRefFitFullSpace(const CRefFitModel& fit, int mode) : m_fit(fit), m_mode(mode) {}

    // As the model's own residuals, with the same values.
    bool Residuals(std::span<const double> x, std::span<double> r) override
    {
        if (m_fit.StopRequested())
            return false;
        const int n = m_fit.Points();
        const int ci = ConstIndex(m_mode);
        const double c = ci >= 0 ? x[std::size_t(ci)] : 0.0;
        const double* data = m_fit.Data();
        for (int i = 0; i < n; ++i)
            r[std::size_t(i)] = data[i] - c;
        for (int k = 0; k < m_fit.RefCount(); ++k) {
            const CRefFitModel::Reference& e = m_fit.Ref(k);
            const double s = x[std::size_t(ShiftIndex(m_mode, k))];
            const double a = std::fabs(x[std::size_t(IntensityIndex(m_mode, k))]);
            double* ri = r.data();
            if (Inside(e, s, e.high)) {
                // Off a channel or on one (weight 0 for its neighbour), the
                // value Interpolate gives, without its tests.
                const double* ref = e.ref;
                for (int i = 0; i < n; ++i) {
                    const double u = e.a * i + e.b + s;
                    const int i0 = int(u);
                    const double v = ref[i0];
                    ri[i] -= a * (v + (u - double(i0)) * (ref[i0 + 1] - v));
                }
                continue;
            }
            for (int i = 0; i < n; ++i) {
                double pen;
                const double y = Interpolate(e, e.a * i + e.b + s, pen);
                ri[i] = (ri[i] - pen) - a * y;
            }
        }
        return true;
    }

    // Exact columns from one pass over each reference: the constant and the
    // intensities enter linearly (an intensity at 0 counts as positive, as
    // its forward difference does), and a placed reference is linear in its
    // shift within each channel, so a shift's column is the segment's slope,
    // the one a forward difference sees.
    bool Jacobian(std::span<const double> x, std::span<const double>, std::span<double> jac,
                  std::span<double>, const LsqSteps&) override
    {
        if (m_fit.StopRequested())
            return false;
        const int n = m_fit.Points();
        const std::size_t m = std::size_t(n);
        const int ci = ConstIndex(m_mode);
        if (ci >= 0)
            std::fill_n(jac.begin() + std::ptrdiff_t(std::size_t(ci) * m), n, -1.0);
        // With a shift per reference, each shift's column is its reference's
        // alone; a common shift sums them.
        const bool common = !(m_mode & 2);
        if (common)
            std::fill_n(jac.begin() + std::ptrdiff_t(std::size_t(ShiftIndex(m_mode, 0)) * m), n, 0.0);
        for (int k = 0; k < m_fit.RefCount(); ++k) {
            const CRefFitModel::Reference& e = m_fit.Ref(k);
            const int si = ShiftIndex(m_mode, k), ai = IntensityIndex(m_mode, k);
            const double s = x[std::size_t(si)], a = x[std::size_t(ai)];
            const double absA = std::fabs(a), sign = a < 0.0 ? 1.0 : -1.0;
            double* colA = jac.data() + std::size_t(ai) * m;
            double* colS = jac.data() + std::size_t(si) * m;
            // Strictly below the upper wall, where the slope is the channel's.
            if (Inside(e, s, std::nextafter(e.high, -DBL_MAX))) {
                const double* ref = e.ref;
                for (int i = 0; i < n; ++i) {
                    const double u = e.a * i + e.b + s;
                    const int i0 = int(u);
                    const double v = ref[i0], dy = ref[i0 + 1] - v;
                    colA[i] = sign * (v + (u - double(i0)) * dy);
                    colS[i] = (common ? colS[i] : 0.0) - absA * dy;
                }
                continue;
            }
            for (int i = 0; i < n; ++i) {
                double dy, dpen;
                const double y = InterpolateWithSlope(e, e.a * i + e.b + s, dy, dpen);
                colA[i] = sign * y;
                colS[i] = (common ? colS[i] : 0.0) - (dpen + absA * dy);
            }
        }
        return true;
    }

private:
    // Whether every point of reference e at shift s lies in [low, high] and
    // short of its last channel, so that each has a right neighbour. The
    // position rises or falls with the point, rounding included: the ends
    // decide.
    bool Inside(const CRefFitModel::Reference& e, double s, double high) const
    {
        if (e.nRef < 2 || e.low < 0.0)
            return false;
        const double top = std::min(high, double(e.nRef - 1) * (1.0 - DBL_EPSILON));
        const double first = e.b + s, last = e.a * (m_fit.Points() - 1) + e.b + s;
        return first >= e.low && first <= top && last >= e.low && last <= top;
    }

    const CRefFitModel& m_fit;
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
    e.unit = std::isfinite(margin) && margin > 0.0 ? 0.25 * margin : 1.0;
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
    m_cache.reset();
    m_cacheSize = 0;
    std::vector<double>().swap(m_cacheX);
    std::vector<int>().swap(m_channel);
    m_ws = LsqWorkspace();
    m_ripple = RippleWork();
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
    Evaluate(*this, mode, theta.data(), m_data, r.data());
}

void CRefFitModel::ResetCache(int mode)
{
    // Every solve writes what it reads of the work space: none of it is
    // cleared, which cost the small fits a few hundredths of their time.
    const std::size_t size = CRefFitProjected::WorkSize(m_n, RefCount(), mode);
    if (m_cacheSize < size) {
        m_cache = std::make_unique_for_overwrite<double[]>(size);
        m_cacheSize = size;
    }
    // The full-space path runs only with a shift per reference.
    if (mode & 2)
        LsqReserve(m_ws, m_n, ParameterCount(mode, RefCount()));
    m_channel.resize(std::size_t(m_n));
    m_soft.resize(CRefFitProjected::SoftSize(m_n, mode & 2 ? RefCount() : 1));
    // Never equal to a real x, so the first Jacobian cannot use a stale cache.
    m_cacheX.assign(mode & 2 ? std::size_t(RefCount()) : 1, std::nan(""));
}

void CRefFitModel::ProjectedJacobian(int mode, std::span<const double> shifts, std::span<double> r,
                                     std::span<double> jac, bool plain)
{
    ResetCache(mode);
    std::vector<double> work(static_cast<std::size_t>(m_n));
    CRefFitProjected problem(*this, mode);
    problem.Residuals(shifts, r);
    if (plain)
        problem.IResiduals::Jacobian(shifts, r, jac, work, FineSteps());
    else
        problem.Jacobian(shifts, r, jac, work, FineSteps());
}

void CRefFitModel::FullSpaceJacobian(int mode, std::span<const double> theta, std::span<double> r,
                                     std::span<double> jac) const
{
    CRefFitFullSpace full(*this, mode);
    full.Residuals(theta, r);
    full.Jacobian(theta, r, jac, {}, FineSteps());
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
        ResetCache(mode);
    } catch (const std::exception&) { // bad_alloc, or length_error for absurd sizes
        return kOutcomeTerminal;
    }

    CRefFitProjected problem(*this, mode);
    const std::span<double> x = problem.Shifts(theta);
    // The interpolated references make the residual piecewise linear in each
    // shift, with a kink wherever a point crosses a channel: the sum of
    // squares ripples with many shallow local minima, and a concave kink
    // leaves a false minimum just before it. The fine solve settles in one;
    // a path over all the parameters from the caller's start gives another
    // start; references that wandered off are tried again from their start;
    // then an exact search along each shift alone across the kinks within a
    // third of a channel, and the most overlapping pair of shifts moved together;
    // where they find a lower point the fine solve goes on from it. All
    // phases share the limits of one solve.
    LsqResult total;
    const auto left = [&] {
        LsqLimits l;
        l.maxIterations = limits.maxIterations - total.iterations;
        l.maxEvaluations = limits.maxEvaluations - total.evaluations;
        l.maxJacobians = limits.maxJacobians - total.jacobians;
        return l;
    };
    const auto enough = [](const LsqLimits& l) {
        return l.maxIterations >= kPhaseReserve && l.maxEvaluations >= 2 * kPhaseReserve &&
               l.maxJacobians >= kPhaseReserve;
    };
    const auto run = [&](const LsqOptions& o, const LsqLimits& l) {
        const LsqResult r = SolveLeastSquares(problem, x, m_n, l, m_ws, o);
        total.iterations += r.iterations;
        total.evaluations += r.evaluations;
        total.jacobians += r.jacobians;
        return r;
    };
    const auto accepted = [](LsqStatus st) {
        return st == LsqStatus::Converged || st == LsqStatus::StepTolerance;
    };
    const auto fatal = [](LsqStatus st) {
        return st == LsqStatus::Stopped || st == LsqStatus::BadInput || st == LsqStatus::NoStorage;
    };
    // A later phase that ends below an accepted point stands, whatever ended
    // it; one that ends higher (only a second start can) is dropped.
    const auto keep = [&](LsqResult& best, const LsqResult& later) {
        if (fatal(later.status)) {
            best = later;
            return true;
        }
        if (!(later.sse < best.sse))
            return false;
        const LsqStatus status = accepted(later.status) ? later.status : best.status;
        best = later;
        best.status = status;
        return true;
    };
    LsqOptions fine;
    fine.typical = problem.Typical();
    fine.commonScale = true;
    fine.kinkZigzag = true;
    fine.extrapolate = true;

    LsqResult last = run(fine, left());
    // A start placed in x, the current point kept (SaveBest): a fine solve
    // given up after 'cap' iterations unless it is below the current point
    // by then. A lower end stands (true); otherwise x goes back.
    const auto trialFrom = [&](int cap) {
        LsqLimits l = left();
        l.maxIterations = std::min(l.maxIterations, cap);
        LsqResult trial = run(fine, l);
        if (trial.status == LsqStatus::IterationLimit && trial.sse < last.sse && enough(left()))
            trial = run(fine, left());
        if (keep(last, trial))
            return true;
        problem.RestoreBest();
        return false;
    };
    // A reference, or two, may have settled in another basin than their best,
    // where no local step leaves them: the fine solve starts again from the
    // best place that the window scan finds for any one reference, then from
    // the best two together, and the lower end stands. Only where a
    // reference was left without intensity, the plainest sign of one in the
    // wrong place: done after every solve, the restarts cost the ordinary
    // fits of overlapping references three quarters of their speed. Also
    // after a first solve that wandered long before it settled (see
    // kWanderingIterations), or where a shift travelled far from its start
    // (see kScanTravel).
    const bool ready = x.size() > 1 && accepted(last.status) && !LsqIsExact(last.sse) &&
                       (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()));
    const bool unused = ready && problem.AnyUnused();
    const bool wandered = ready && total.iterations >= kWanderingIterations;
    const bool travelled = ready && problem.Travelled(x) > kScanTravel;
    const bool searchFar = unused || wandered || travelled;
    // The full-space path from the caller's start (see
    // kFullSpaceIterations): its shifts start a fine solve, and the lower end
    // stands. The intensities of the path are left behind: the fine solve
    // solves for its own. The path's iterations count against the limits but
    // not as the fine solves' own: those tell the later phases how rugged the
    // fit is.
    int pathIterations = 0;
    if (ready && enough(left())) {
        const std::span<double> row = problem.Row();
        std::copy(theta.begin(), theta.end(), row.begin());
        CRefFitFullSpace full(*this, mode);
        LsqLimits l = left();
        l.maxIterations = std::min(l.maxIterations, kFullSpaceIterations);
        LsqOptions plain;
        plain.probeKinks = false;
        plain.normalEquations = true;
        const LsqResult path = SolveLeastSquares(full, row, m_n, l, m_ws, plain);
        total.iterations += path.iterations;
        total.evaluations += path.evaluations;
        total.jacobians += path.jacobians;
        pathIterations = path.iterations;
        if (path.status == LsqStatus::Stopped) {
            last.status = path.status;
        } else if (path.evaluations > 0 && path.status != LsqStatus::BadInput && enough(left())) {
            problem.SaveBest();
            for (std::size_t j = 0; j < x.size(); ++j)
                x[j] = row[std::size_t(ShiftIndex(mode, int(j)))];
            trialFrom(kFullSpaceTrialIterations);
        }
    }
    // The scan weighs each reference's places against the residual of the
    // last evaluation, which must be that of x: a full-space trial that was
    // given up left its own.
    if (searchFar && enough(left()) && (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()))) {
        // After the plainest signs of a reference in the wrong place, the
        // scan weighs more places per reference (see kHardScanPeaks).
        ScanPoint view = problem.ScanView(left().maxEvaluations - 2 * kPhaseReserve);
        if (unused || wandered)
            view.peaks = kHardScanPeaks;
        const Relocations moves = BestRelocations(view, problem);
        total.evaluations += moves.evaluations;
        const int firstIterations = total.iterations - pathIterations;
        const bool travelOnly = !unused && !wandered;
        bool singleLower = false;
        for (int count = 1; count <= 2 && moves.best[count - 1].ref >= 0; ++count) {
            if (!accepted(last.status) || !enough(left()))
                break;
            // Started for distance only, the best two together are tried
            // only after the best one alone ended lower: that start found
            // a better basin near which the second may settle too. After a
            // single start that ended no lower, the pair seldom did, and it
            // cost the ordinary fits of six overlapping references (where a
            // third of the levels travel this far) a sixth of their speed.
            if (travelOnly &&
                (!(moves.best[count - 1].sse < kRestartRise * last.sse) || (count > 1 && !singleLower)))
                continue;
            problem.SaveBest();
            for (int m = 0; m < count; ++m)
                x[std::size_t(moves.best[m].ref)] = moves.best[m].shift;
            // A start that is not below the current point after a few
            // iterations (as many as the first solve took, within bounds)
            // seldom ends below it: it is given up there.
            const bool lower =
                trialFrom(std::clamp(firstIterations, kTrialIterations[0], kTrialIterations[1]));
            singleLower = singleLower || (count == 1 && lower);
        }
    }
    // Overlapping references of similar shape may each have settled where
    // another fits best: the pairs whose exchange fits best at once are
    // exchanged, each a start of its own, and the lower end stands. Only
    // where the scan runs (the ordinary fits lose nothing), and each start
    // given up unless it is below the current point after a few iterations.
    if (searchFar && accepted(last.status) && enough(left())) {
        std::array<ShiftSwap, kSwapStarts> swaps;
        const int spent = LowestSwaps(problem, x, problem.Typical(), problem.Scratch(),
                                      left().maxEvaluations - 2 * kPhaseReserve, swaps);
        if (spent < 0)
            last.status = LsqStatus::Stopped;
        else
            total.evaluations += spent;
        for (const ShiftSwap& swap : swaps) {
            if (swap.a < 0 || !(swap.sse < kSwapRise * last.sse) || !accepted(last.status) || !enough(left()))
                break;
            problem.SaveBest();
            ApplySwap(x, problem.Typical(), swap);
            trialFrom(kSwapTrialIterations);
        }
    }
    // The weakest reference's looks (see below), and the sum of squares of
    // the point they were taken from: while no phase in between has gained,
    // the point is the same, and so are the looks and the start they lead
    // to (one already tried ends as before).
    struct
    {
        double from = -1.0, place = 0.0, lowest = HUGE_VAL;
        int ref = -1;
        bool found = false, tried = false;
    } weak;
    // The weakest reference's phase: a fine solve from its lowest near
    // place, when that is below the current point or, with every lowest
    // place taken, after a hard first solve. True when the solve ended
    // lower.
    const auto tryWeakest = [&](bool belowOnly) {
        if (!(searchFar && accepted(last.status) && enough(left()) &&
              (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()))))
            return false;
        const bool hard = unused || wandered;
        if (weak.from != last.sse) {
            weak.from = last.sse;
            weak.tried = false;
            weak.found =
                problem.NearPlaceOfWeakest(x, kWeakSkip, kWeakReach, hard ? kWeakSpacing : kWeakTravelSpacing,
                                           limits.maxEvaluations - 2 * kPhaseReserve, total.evaluations,
                                           weak.ref, weak.place, weak.lowest);
        }
        if (!weak.found || weak.tried || !((hard && !belowOnly) || weak.lowest < last.sse) || !enough(left()))
            return false;
        weak.tried = true;
        const int ref = weak.ref;
        const double place = weak.place;
        problem.SaveBest();
        x[std::size_t(ref)] = place;
        return trialFrom(kSwapTrialIterations);
    };
    // A place of the weakest reference that is already below the current
    // point is a likely winner for a few evaluations: it is tried before the
    // far reference's and the strays' phases, which often spend all that the
    // solve has left (a fit could stop with the lower place found but no
    // Jacobians left to settle there). Where it ends lower, the strays'
    // phase is skipped: the moved reference may now stand an energy unit
    // from its start, and holding it there again spent the rest of the solve
    // that the later looks needed.
    const bool weakLower = tryWeakest(true);
    // After a hard first solve, a reference that travelled well beyond the
    // true shifts' range (see kFarLeast) may have stopped in another basin
    // than its best, one to three energy units away: farther than the
    // search along a shift reaches, and finer than the window scan's places.
    // It need not be the weakest reference. Its lowest other basin starts a
    // fine solve, given up unless it is below the current point after some
    // iterations (see kFarTrialIterations). Placed before the strays' phase,
    // which often spends most of what the solve has left.
    if ((unused || wandered) && accepted(last.status) && enough(left()) &&
        (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()))) {
        double far = 0.0;
        const int ref = problem.Farthest(x, far);
        double place = 0.0;
        if (far > kFarLeast && far <= kFarMost &&
            problem.OtherBasinOf(ref, x, kFarSkip, kFarReach, kFarSpacing,
                                 limits.maxEvaluations - 2 * kPhaseReserve, total.evaluations, place) &&
            enough(left())) {
            problem.SaveBest();
            x[std::size_t(ref)] = place;
            trialFrom(kFarTrialIterations);
        }
    }
    // A second solve with the strays held at their start until the others
    // have settled, then free. (The intensities that tell a stray are those
    // of the last evaluation.)
    const bool current =
        accepted(last.status) && (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()));
    if (current && !weakLower && enough(left()) && problem.PinStrays()) {
        // Each stray is held where it fits best among a few places near its
        // start, the others as they are.
        const std::span<const double> typical = problem.Typical();
        const std::span<double> r = problem.Scratch();
        for (int j = 0; j < int(x.size()); ++j) {
            if (!problem.Pinned(j))
                continue;
            double best = -1.0, bestShift = x[std::size_t(j)];
            for (int c = -kStrayReach; c <= kStrayReach; ++c) {
                if (total.evaluations >= limits.maxEvaluations - 2 * kPhaseReserve)
                    break;
                x[std::size_t(j)] =
                    problem.StartShift(j) + typical[std::size_t(j)] * double(c) / kStrayPlaces;
                if (!problem.Residuals(x, r))
                    break;
                ++total.evaluations;
                double sum = 0.0;
                for (const double v : r)
                    sum += v * v;
                if (best < 0.0 || sum < best) {
                    best = sum;
                    bestShift = x[std::size_t(j)];
                }
            }
            x[std::size_t(j)] = bestShift;
        }
        LsqResult again = run(fine, left());
        problem.Unpin();
        if (!fatal(again.status) && enough(left()))
            again = run(fine, left());
        if (!keep(last, again))
            problem.RestoreBest();
    }
    // After a hard first solve, the reference that contributes least may sit
    // a few tenths of an energy unit to one and a half from a lower basin:
    // nearer than the window scan looks (it passes over each reference's own
    // basin), farther than the search along a shift reaches. Its lowest place
    // in that range, every intensity solved for, starts a fine solve that is
    // given up unless it is below the current point after a few iterations.
    // Also where the scan ran for a far-travelled shift alone: such a fit
    // now and then leaves the weakest reference behind a basin too. There
    // its places lie farther apart, and only one already below the current
    // point starts a solve: tried from every lowest place, the fits with a
    // constant lost a tenth of their speed.
    tryWeakest(false);
    // Along each shift alone, with the intensities held, the exact lowest
    // point within a third of a channel either way, across every kink in
    // between (a false minimum just before a kink, above or below): the fine
    // solve goes on from the lowest, as long as that gains.
    while (accepted(last.status) && !LsqIsExact(last.sse) && enough(left()) &&
           (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch())) &&
           problem.LowerAlongOneShift(x, last.sse * (1.0 - kAsideGain), m_ripple, total.evaluations)) {
        if (!keep(last, run(fine, left()))) {
            problem.RestoreBest();
            break;
        }
    }
    // Two overlapping shifts that must cross their kinks together, which
    // neither the fine steps nor one shift alone does: the most overlapping
    // pair is moved a few tenths of a channel each way at once, and the fine
    // solve goes on from the lowest of those that is lower. After a long
    // solve the look along the softest direction (below) moves the
    // overlapping shifts together instead: there the pair found nothing more
    // over ten sets of hard problems, and its trials cost the ordinary fits
    // of six references a hundredth of their speed.
    if (total.iterations - pathIterations < kSoftIterations && accepted(last.status) && !LsqIsExact(last.sse) &&
        enough(left()) && (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()))) {
        if (problem.LowerWithMostOverlappingPair(x, last.sse * (1.0 - kAsideGain), total.evaluations)) {
            if (!keep(last, run(fine, left())))
                problem.RestoreBest();
        } else if (StopRequested()) {
            last.status = LsqStatus::Stopped;
        }
    }
    // Two strongly overlapping references may each have settled in a
    // minimum that fits the other's place, which no local step leaves: the
    // most overlapping pair is tried with its shifts swapped, and the lower
    // end stands. That start is given up unless it is below the current
    // point after kLastSwapTrialIterations. Not where the exchanges above
    // ran: they tried the pairs that fit best exchanged.
    int swapA = 0, swapB = 0;
    if (!searchFar && accepted(last.status) && enough(left()) &&
        (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch())) &&
        problem.MostOverlapping(swapA, swapB)) {
        problem.SaveBest();
        std::swap(x[std::size_t(swapA)], x[std::size_t(swapB)]);
        trialFrom(kLastSwapTrialIterations);
    }
    // A shift parted by a strong kink from a lower minimum on its far side
    // (see LowerAcrossStrongestKink): the fine solve goes on from there.
    // Not after a long solve, which the look along the softest direction
    // follows: there, over ten sets of hard problems, the mirrored shifts
    // left no end above an unstructured solver's that is above it without
    // them (three of six thousand ended a little higher, still below that
    // solver's), and they cost the ordinary fits of six references as much
    // speed as that look.
    if (total.iterations - pathIterations < kSoftIterations && accepted(last.status) && !LsqIsExact(last.sse) &&
        enough(left()) && (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()))) {
        if (problem.LowerAcrossStrongestKink(x, last.sse * (1.0 - kAsideGain), m_ripple,
                                             limits.maxEvaluations - kPhaseReserve, total.evaluations)) {
            if (!keep(last, run(fine, left())))
                problem.RestoreBest();
        } else if (StopRequested()) {
            last.status = LsqStatus::Stopped;
        }
    }
    // Overlapping references whose shifts must move together across the
    // ripple's ridges (see LowerAlongSoftest): the fine solve goes on from
    // the lowest place along the softest direction, when that is lower.
    if (total.iterations - pathIterations >= kSoftIterations && accepted(last.status) && !LsqIsExact(last.sse) &&
        enough(left()) && (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch()))) {
        if (problem.LowerAlongSoftest(x, last.sse * (1.0 - kSoftGain), m_soft,
                                      limits.maxEvaluations - 2 * kPhaseReserve, total.evaluations,
                                      total.jacobians)) {
            if (!keep(last, run(fine, left())))
                problem.RestoreBest();
        } else if (StopRequested()) {
            last.status = LsqStatus::Stopped;
        }
    }
    // A solve that ends with an end point against its window's wall may fit
    // that point a little better with the wall's penalty (see
    // LowerAtWindowWall); the shift moves by a few billionths of a channel.
    if (!fatal(last.status) && !LsqIsExact(last.sse) &&
        (problem.IsCurrent(x) || problem.Residuals(x, problem.Scratch())))
        problem.LowerAtWindowWall(x, last.sse, limits.maxEvaluations, total.evaluations);
    m_last = last;
    m_last.iterations = total.iterations;
    m_last.evaluations = total.evaluations;
    m_last.jacobians = total.jacobians;
    if (m_last.evaluations == 0 || m_last.status == LsqStatus::BadInput)
        return OutcomeOf(m_last.status); // refused like the calls above: theta and sse untouched
    // The intensities and constant that belong to the final shifts: from the
    // last evaluation if that was there, else from one more.
    bool linear = problem.IsCurrent(x);
    if (!linear && m_last.status != LsqStatus::Stopped) {
        linear = problem.Residuals(x, problem.Scratch());
    }
    problem.WriteBack(theta, linear);
    sse = m_last.sse;
    return OutcomeOf(m_last.status);
}

} // namespace pelomar
