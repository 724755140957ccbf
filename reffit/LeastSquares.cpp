#include "reffit/LeastSquares.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>

namespace pelomar {
namespace {

const double kEps = DBL_EPSILON;
const double kDwarf = DBL_MIN;
// Tolerances derived from the machine precision. The relative function
// tolerance (about 2e-13) is tight enough that ill-conditioned problems still
// reach their parameters to six or more significant digits.
const double kRelFuncTol = 1024.0 * DBL_EPSILON;
// Differences are taken sqrt(eps) relative to the parameter: a step below that
// size is at the resolution of the derivatives themselves.
const double kStepTol = std::sqrt(DBL_EPSILON);
const double kAbsFuncTol = std::max(1.0e-20, DBL_EPSILON* DBL_EPSILON);
const double kFalseConvTol = 100.0 * DBL_EPSILON;
// A piecewise-smooth residual (an interpolated reference is one: linear in its
// shift between channel crossings) has kinks. At a minimum on a kink the one-sided
// derivative promises a small reduction that no step achieves; a promise
// below this fraction of the sum of squares counts as such a minimum rather
// than as false convergence.
const double kApproxDecrement = 1.0e-3;
const double kInitialFactor = 100.0;
const double kFineStep = std::sqrt(DBL_EPSILON);
const double kCoarseStep = std::sqrt(std::sqrt(DBL_EPSILON));
// Relative change of a Jacobian column between the fine and the coarse
// difference step beyond which the parameter is taken to sit on a kink; on
// smooth stretches the two differ by about the coarse step times the
// curvature, orders of magnitude less.
const double kKinkChange = 1.0e-3;
// Forming J^T J rounds each entry to about eps of the products summed, and
// the elimination compounds that over the parameters: what is left of a
// column's squared norm below this many eps per parameter is rounding, and
// the column counts as dependent on those before it.
const double kNormalDependent = 64.0 * DBL_EPSILON;
// Tiny accepted steps from a point whose Gauss-Newton decrement is above this
// are taken for the zigzag about a kink rather than for a smooth minimum.
const double kKinkDecrement = 1.0e-6;
const int kZigzagSteps = 3;
// Very slow progress: this many consecutive accepted steps, each reducing the
// sum of squares by less than this fraction.
const double kSlowProgress = 1.0e-10;
const int kSlowSteps = 5;
// Golden-section search for the bottom of a corner: ratio and iterations.
const double kGolden = 0.6180339887498949;
const int kGoldenSteps = 20;
// Extrapolation along an accepted Gauss-Newton step: when the actual
// reduction exceeded this multiple of the predicted one; at most this many
// further evaluations.
const double kExtrapolateRatio = 1.5;
const int kExtrapolations = 4;

} // namespace

double LsqDot(const double* a, const double* b, int n)
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
    }
    for (; i < n; ++i)
        s0 += a[i] * b[i];
    return (s0 + s1) + (s2 + s3);
}

namespace {

double Dot(const double* a, const double* b, int n)
{
    return LsqDot(a, b, n);
}

// Euclidean norm, scaled so that the huge residuals of window penalties
// neither overflow nor underflow; the plain sum serves when it is safe.
double Norm(const double* v, int n)
{
    const double sum = Dot(v, v, n);
    if (sum > 1.0e-290 && sum < 1.0e290)
        return std::sqrt(sum);
    if (sum == 0.0)
        return 0.0;
    double scale = 0.0, ssq = 1.0;
    for (int i = 0; i < n; ++i) {
        double a = std::fabs(v[i]);
        if (a == 0.0)
            continue;
        if (!(a <= DBL_MAX))
            return a; // inf or NaN propagates
        if (scale < a) {
            ssq = 1.0 + ssq * (scale / a) * (scale / a);
            scale = a;
        } else {
            ssq += (a / scale) * (a / scale);
        }
    }
    return scale * std::sqrt(ssq);
}

// Householder QR with column pivoting of the m x n matrix a (column-major).
// On return the upper triangle holds R, the lower part the reflectors; rdiag
// the diagonal of R, acnorm the norms of the original columns.
void QrFactor(int m, int n, double* a, int* ipvt, double* rdiag, double* acnorm, double* wa)
{
    for (int j = 0; j < n; ++j) {
        acnorm[j] = Norm(a + std::size_t(j) * m, m);
        rdiag[j] = acnorm[j];
        wa[j] = rdiag[j];
        ipvt[j] = j;
    }
    const int minmn = std::min(m, n);
    for (int j = 0; j < minmn; ++j) {
        int kmax = j;
        for (int k = j; k < n; ++k)
            if (rdiag[k] > rdiag[kmax])
                kmax = k;
        if (kmax != j) {
            std::swap_ranges(a + std::size_t(j) * m, a + std::size_t(j + 1) * m, a + std::size_t(kmax) * m);
            rdiag[kmax] = rdiag[j];
            wa[kmax] = wa[j];
            std::swap(ipvt[j], ipvt[kmax]);
        }
        double* aj = a + std::size_t(j) * m;
        double ajnorm = Norm(aj + j, m - j);
        if (ajnorm != 0.0) {
            if (aj[j] < 0.0)
                ajnorm = -ajnorm;
            if (std::fabs(ajnorm) > 1.0e-300) {
                const double inv = 1.0 / ajnorm; // products instead of m divisions
                for (int i = j; i < m; ++i)
                    aj[i] *= inv;
            } else {
                for (int i = j; i < m; ++i)
                    aj[i] /= ajnorm;
            }
            aj[j] += 1.0;
            for (int k = j + 1; k < n; ++k) {
                double* ak = a + std::size_t(k) * m;
                const double temp = Dot(aj + j, ak + j, m - j) / aj[j];
                for (int i = j; i < m; ++i)
                    ak[i] -= temp * aj[i];
                if (rdiag[k] != 0.0) {
                    double t = ak[j] / rdiag[k];
                    rdiag[k] *= std::sqrt(std::max(0.0, 1.0 - t * t));
                    t = rdiag[k] / wa[k];
                    if (0.05 * t * t <= kEps) {
                        rdiag[k] = Norm(ak + j + 1, m - j - 1);
                        wa[k] = rdiag[k];
                    }
                }
            }
        }
        rdiag[j] = -ajnorm;
    }
}

// The factors that QrFactor and the product with Q^T give, from the normal
// equations instead: a Cholesky factor with the same pivoting of the m x n
// matrix a (column-major) has R's upper triangle, with a positive diagonal,
// and qtb = R^-T P^T A^T b takes the place of Q^T b. The upper triangle of a
// receives R, rdiag its diagonal, acnorm the column norms; g takes the n x n
// normal matrix. A column whose rest is within rounding of the span of
// those before it (see kNormalDependent) is never the pivot; once only such
// columns are left, they count as dependent (zero), as the QR would find
// them to the precision that squaring leaves.
void NormalFactor(int m, int n, double* a, const double* b, int* ipvt, double* rdiag, double* acnorm,
                  double* qtb, double* g)
{
    for (int j = 0; j < n; ++j) {
        const double* aj = a + std::size_t(j) * m;
        for (int k = 0; k <= j; ++k)
            g[k + std::size_t(j) * n] = Dot(a + std::size_t(k) * m, aj, m);
        qtb[j] = Dot(aj, b, m);
        acnorm[j] = std::sqrt(g[j + std::size_t(j) * n]);
        ipvt[j] = j;
    }
    // g(i, j) for i <= j of the permuted matrix; a swap of k and j exchanges
    // rows and columns of the upper triangle.
    const auto at = [&](int i, int j) -> double& {
        return i <= j ? g[i + std::size_t(j) * n] : g[j + std::size_t(i) * n];
    };
    // What is left of column k (at position k now) beyond rounding.
    const auto independent = [&](int k) {
        const double norm = acnorm[ipvt[k]];
        return at(k, k) > kNormalDependent * n * norm * norm;
    };
    int rank = n;
    for (int j = 0; j < n; ++j) {
        int kmax = -1;
        for (int k = j; k < n; ++k)
            if (independent(k) && (kmax < 0 || at(k, k) > at(kmax, kmax)))
                kmax = k;
        if (kmax < 0) {
            rank = j;
            break;
        }
        if (kmax != j) {
            for (int i = 0; i < n; ++i)
                if (i != j && i != kmax)
                    std::swap(at(i, j), at(i, kmax));
            std::swap(at(j, j), at(kmax, kmax));
            std::swap(ipvt[j], ipvt[kmax]);
            std::swap(qtb[j], qtb[kmax]);
        }
        const double rjj = std::sqrt(at(j, j));
        at(j, j) = rjj;
        for (int k = j + 1; k < n; ++k)
            at(j, k) /= rjj;
        for (int k = j + 1; k < n; ++k)
            for (int i = j + 1; i <= k; ++i)
                at(i, k) -= at(j, i) * at(j, k);
    }
    for (int j = 0; j < n; ++j) {
        double* col = a + std::size_t(j) * m;
        for (int i = 0; i <= j; ++i)
            col[i] = i < rank && j >= i ? at(i, j) : 0.0;
        rdiag[j] = col[j];
    }
    // Forward substitution R^T qtb = P^T A^T b over the independent part.
    for (int j = 0; j < n; ++j) {
        if (j >= rank) {
            qtb[j] = 0.0;
            continue;
        }
        double sum = qtb[j];
        for (int i = 0; i < j; ++i)
            sum -= at(i, j) * qtb[i];
        qtb[j] = sum / at(j, j);
    }
}

// Solves min |[A; D] x - [b; 0]| given the QR factors of A (R upper triangle
// of r, pivots ipvt) and qtb = first n of Q^T b. The strict lower triangle of
// r receives the factor S of the augmented system, sdiag its diagonal.
void QrSolve(int n, double* r, int ldr, const int* ipvt, const double* diag, const double* qtb, double* x,
             double* sdiag, double* wa)
{
    for (int j = 0; j < n; ++j) {
        for (int i = j; i < n; ++i)
            r[i + std::size_t(j) * ldr] = r[j + std::size_t(i) * ldr];
        x[j] = r[j + std::size_t(j) * ldr];
        wa[j] = qtb[j];
    }
    for (int j = 0; j < n; ++j) {
        const int l = ipvt[j];
        if (diag[l] != 0.0) {
            for (int k = j; k < n; ++k)
                sdiag[k] = 0.0;
            sdiag[j] = diag[l];
            double qtbpj = 0.0;
            for (int k = j; k < n; ++k) {
                if (sdiag[k] == 0.0)
                    continue;
                double& rkk = r[k + std::size_t(k) * ldr];
                double c, s;
                if (std::fabs(rkk) < std::fabs(sdiag[k])) {
                    const double cotan = rkk / sdiag[k];
                    s = 0.5 / std::sqrt(0.25 + 0.25 * cotan * cotan);
                    c = s * cotan;
                } else {
                    const double tan = sdiag[k] / rkk;
                    c = 0.5 / std::sqrt(0.25 + 0.25 * tan * tan);
                    s = c * tan;
                }
                rkk = c * rkk + s * sdiag[k];
                const double temp = c * wa[k] + s * qtbpj;
                qtbpj = -s * wa[k] + c * qtbpj;
                wa[k] = temp;
                for (int i = k + 1; i < n; ++i) {
                    double& rik = r[i + std::size_t(k) * ldr];
                    const double t = c * rik + s * sdiag[i];
                    sdiag[i] = -s * rik + c * sdiag[i];
                    rik = t;
                }
            }
        }
        sdiag[j] = r[j + std::size_t(j) * ldr];
        r[j + std::size_t(j) * ldr] = x[j];
    }
    int nsing = n;
    for (int j = 0; j < n; ++j) {
        if (sdiag[j] == 0.0 && nsing == n)
            nsing = j;
        if (nsing < n)
            wa[j] = 0.0;
    }
    for (int j = nsing - 1; j >= 0; --j) {
        double sum = 0.0;
        for (int i = j + 1; i < nsing; ++i)
            sum += r[i + std::size_t(j) * ldr] * wa[i];
        wa[j] = (wa[j] - sum) / sdiag[j];
    }
    for (int j = 0; j < n; ++j)
        x[ipvt[j]] = wa[j];
}

// Levenberg-Marquardt parameter for the trust region of radius delta: x
// receives the step (to be subtracted), par the parameter, which is refined
// from its value on entry.
void LmPar(int n, double* r, int ldr, const int* ipvt, const double* diag, const double* qtb, double delta,
           double& par, double* x, double* sdiag, double* wa1, double* wa2)
{
    int nsing = n;
    for (int j = 0; j < n; ++j) {
        wa1[j] = qtb[j];
        if (r[j + std::size_t(j) * ldr] == 0.0 && nsing == n)
            nsing = j;
        if (nsing < n)
            wa1[j] = 0.0;
    }
    for (int j = nsing - 1; j >= 0; --j) {
        wa1[j] /= r[j + std::size_t(j) * ldr];
        const double temp = wa1[j];
        for (int i = 0; i < j; ++i)
            wa1[i] -= r[i + std::size_t(j) * ldr] * temp;
    }
    for (int j = 0; j < n; ++j)
        x[ipvt[j]] = wa1[j];

    for (int j = 0; j < n; ++j)
        wa2[j] = diag[j] * x[j];
    double dxnorm = Norm(wa2, n);
    double fp = dxnorm - delta;
    if (fp <= 0.1 * delta) {
        par = 0.0;
        return;
    }

    double parl = 0.0;
    if (nsing == n) {
        for (int j = 0; j < n; ++j) {
            const int l = ipvt[j];
            wa1[j] = diag[l] * (wa2[l] / dxnorm);
        }
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int i = 0; i < j; ++i)
                sum += r[i + std::size_t(j) * ldr] * wa1[i];
            wa1[j] = (wa1[j] - sum) / r[j + std::size_t(j) * ldr];
        }
        const double temp = Norm(wa1, n);
        parl = ((fp / delta) / temp) / temp;
    }

    for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int i = 0; i <= j; ++i)
            sum += r[i + std::size_t(j) * ldr] * qtb[i];
        wa1[j] = sum / diag[ipvt[j]];
    }
    const double gnorm = Norm(wa1, n);
    double paru = gnorm / delta;
    if (paru == 0.0)
        paru = kDwarf / std::min(delta, 0.1);

    par = std::max(par, parl);
    par = std::min(par, paru);
    if (par == 0.0)
        par = gnorm / dxnorm;

    for (int iter = 1;; ++iter) {
        if (par == 0.0)
            par = std::max(kDwarf, 0.001 * paru);
        const double sp = std::sqrt(par);
        for (int j = 0; j < n; ++j)
            wa1[j] = sp * diag[j];
        QrSolve(n, r, ldr, ipvt, wa1, qtb, x, sdiag, wa2);
        for (int j = 0; j < n; ++j)
            wa2[j] = diag[j] * x[j];
        dxnorm = Norm(wa2, n);
        const double temp = fp;
        fp = dxnorm - delta;
        if (std::fabs(fp) <= 0.1 * delta || (parl == 0.0 && fp <= temp && temp < 0.0) || iter == 10)
            break;
        for (int j = 0; j < n; ++j) {
            const int l = ipvt[j];
            wa1[j] = diag[l] * (wa2[l] / dxnorm);
        }
        for (int j = 0; j < n; ++j) {
            wa1[j] /= sdiag[j];
            const double t = wa1[j];
            for (int i = j + 1; i < n; ++i)
                wa1[i] -= r[i + std::size_t(j) * ldr] * t;
        }
        const double tn = Norm(wa1, n);
        const double parc = ((fp / delta) / tn) / tn;
        if (fp > 0.0)
            parl = std::max(parl, par);
        if (fp < 0.0)
            paru = std::min(paru, par);
        par = std::max(parl, par + parc);
    }
}

} // namespace

LsqSteps FineSteps()
{
    return LsqSteps{kFineStep, {}};
}

bool LsqIsExact(double sse)
{
    return sse <= kAbsFuncTol;
}

double LsqSteps::For(std::size_t j, double v) const
{
    double size = std::fabs(v);
    if (j < typical.size())
        size = std::max(size, typical[j]);
    double h = absolute > 0.0 ? absolute : rel * size;
    if (h == 0.0)
        h = rel;
    const volatile double vh = v + h; // keeps the rounding of v + h out of registers
    return vh - v;
}

bool IResiduals::Jacobian(std::span<const double> x, std::span<const double> r, std::span<double> jac,
                          std::span<double> work, const LsqSteps& steps)
{
    const std::size_t m = r.size();
    const std::size_t n = x.size();
    // x is const for callers; a copy would allocate, so perturb in place through
    // a cast and restore each value exactly.
    double* xv = const_cast<double*>(x.data());
    for (std::size_t j = 0; j < n; ++j) {
        const double v = xv[j];
        const double h = steps.For(j, v);
        xv[j] = v + h;
        const bool ok = Residuals(x, work.first(m));
        xv[j] = v;
        if (!ok)
            return false;
        double* col = jac.data() + j * m;
        for (std::size_t i = 0; i < m; ++i)
            col[i] = (work[i] - r[i]) / h;
    }
    return true;
}

namespace {

// Doubles of work space of a solve of m residuals in n parameters.
std::size_t WorkspaceSize(int m, int n)
{
    return 2 * std::size_t(m) * std::size_t(n) + 3 * std::size_t(m) + 10 * std::size_t(n);
}

} // namespace

void LsqReserve(LsqWorkspace& ws, int m, int n)
{
    if (m < 1 || n < 1)
        return;
    ws.d.reserve(WorkspaceSize(m, n));
    ws.ipvt.reserve(std::size_t(n));
}

LsqResult SolveLeastSquares(IResiduals& problem, std::span<double> x, int m, const LsqLimits& limits,
                            LsqWorkspace& ws, const LsqOptions& options)
{
    const std::span<const double> typical = options.typical;
    const double stepTol = options.stepTolerance > 0.0 ? options.stepTolerance : kStepTol;
    LsqResult res;
    const int n = int(x.size());
    if (n < 1 || m < n)
        return res;

    const std::size_t mn = std::size_t(m) * n;
    try {
        // Never shrunk: the solves of one fit alternate between sizes, and
        // each growth would clear what it adds. Every solve writes what it
        // reads.
        if (ws.d.size() < WorkspaceSize(m, n))
            ws.d.resize(WorkspaceSize(m, n));
        ws.ipvt.resize(n);
    } catch (const std::exception&) { // bad_alloc, or length_error for absurd sizes
        res.status = LsqStatus::NoStorage;
        return res;
    }
    double* fjac = ws.d.data();
    double* jfine = fjac + mn; // kept copy of a Jacobian while looking for kinks
    double* fvec = jfine + mn;
    double* ftrial = fvec + m;
    double* wa4 = ftrial + m;
    double* diag = wa4 + m;
    double* qtf = diag + n;
    double* rdiag = qtf + n;
    double* acnorm = rdiag + n;
    double* xtrial = acnorm + n;
    double* wa1 = xtrial + n;
    double* wa2 = wa1 + n;
    double* wa3 = wa2 + n;
    double* sdiag = wa3 + n;
    double* wqr = sdiag + n;
    int* ipvt = ws.ipvt.data();

    const std::span<double> fv(fvec, m), ft(ftrial, m);
    const std::span<const double> xt(xtrial, n);

    if (!problem.Residuals(x, fv)) {
        res.status = LsqStatus::Stopped;
        return res;
    }
    res.evaluations = 1;
    double fnorm = Norm(fvec, m);
    res.sse = fnorm * fnorm;
    if (!std::isfinite(fnorm)) {
        res.status = LsqStatus::BadInput;
        return res;
    }

    double par = 0.0, delta = 0.0, xnorm = 0.0, stepmx = 0.0;
    // Scaled size of x for the step tolerance: each parameter counts at least
    // with its typical size, so that a parameter at 0 still has a scale.
    double xsize = 0.0;
    const auto scaledSize = [&] {
        for (int j = 0; j < n; ++j) {
            const double size =
                std::size_t(j) < typical.size() ? std::max(std::fabs(x[j]), typical[j]) : x[j];
            wa2[j] = diag[j] * size;
        }
        return Norm(wa2, n);
    };
    int maxSteps = 0;
    bool lookForKinks = false; // the next Jacobian looks for kinks at x
    bool kinksFrozen = false;  // x has had its kink parameters frozen
    // Zigzag about a kink: accepted steps, each after a trial that rose, each
    // about half the last. Seen for kZigzagSteps iterations, it calls for the
    // kink search at once rather than after the steps have shrunk to the step
    // tolerance, one halving per iteration.
    int zigzag = 0;
    double lastStep = 0.0;
    int slow = 0; // consecutive accepted steps of next to no gain
    bool zigzagSearch = false;
    double decrement0 = 0.0; // Gauss-Newton decrement with every parameter free
    const LsqSteps fine =
        options.differenceStep > 0.0 ? LsqSteps{0.0, {}, options.differenceStep} : FineSteps();
    for (;;) {
        if (res.sse <= kAbsFuncTol) {
            res.status = LsqStatus::Converged;
            return res;
        }
        if (res.iterations >= limits.maxIterations) {
            res.status = LsqStatus::IterationLimit;
            return res;
        }
        if (res.jacobians >= limits.maxJacobians) {
            res.status = LsqStatus::JacobianLimit;
            return res;
        }
        if (!problem.Jacobian(x, fv, std::span<double>(fjac, mn), std::span<double>(wa4, m), fine)) {
            res.status = LsqStatus::Stopped;
            return res;
        }
        ++res.jacobians;
        ++res.iterations;
        if (lookForKinks) {
            // Parameters whose coarse and fine differences disagree sit on a
            // kink: freeze them (zero column, so no step moves them) and let
            // the others move on from this point.
            lookForKinks = false;
            kinksFrozen = true;
            std::copy(fjac, fjac + mn, jfine);
            // Coarse steps must reach across the collapsed trust region even for
            // a parameter near 0: scale them by its share of the scaled norm.
            // Both sides: a forward step alone misses a kink just below x.
            for (int j = 0; j < n; ++j) {
                wa2[j] = xsize / diag[j];
                wa3[j] = 0.0; // 1 for a parameter on a kink
            }
            for (const double side : {1.0, -1.0}) {
                if (res.jacobians >= limits.maxJacobians) {
                    res.status = LsqStatus::JacobianLimit;
                    return res;
                }
                const LsqSteps coarse{side * kCoarseStep, std::span<const double>(wa2, n)};
                if (!problem.Jacobian(x, fv, std::span<double>(fjac, mn), std::span<double>(wa4, m),
                                      coarse)) {
                    res.status = LsqStatus::Stopped;
                    return res;
                }
                ++res.jacobians;
                for (int j = 0; j < n; ++j) {
                    const double* fineCol = jfine + std::size_t(j) * m;
                    const double* coarseCol = fjac + std::size_t(j) * m;
                    for (int i = 0; i < m; ++i)
                        wa4[i] = coarseCol[i] - fineCol[i];
                    if (Norm(wa4, m) > kKinkChange * Norm(fineCol, m))
                        wa3[j] = 1.0;
                }
            }
            int frozen = 0;
            for (int j = 0; j < n; ++j) {
                if (wa3[j] != 0.0) {
                    std::fill_n(jfine + std::size_t(j) * m, m, 0.0);
                    ++frozen;
                }
            }
            std::copy(jfine, jfine + mn, fjac);
            // Every parameter on a kink: a corner that no step leaves, an
            // approximate local solution. None: the derivatives are smooth at
            // both scales, so a model that promised a sizeable reduction that
            // no step achieved was wrong about this point.
            if (frozen == n && options.kinkZigzag) {
                // A corner of a piecewise smooth residual: x is near it, not
                // necessarily on it. A golden-section search along each
                // parameter, over the coarse step that showed its kink,
                // finds the bottom of the V.
                for (int j = 0; j < n; ++j) {
                    const double c =
                        std::fabs(LsqSteps{kCoarseStep, std::span<const double>(wa2, n)}.For(j, x[j]));
                    double lo = x[j] - c, hi = x[j] + c;
                    const double x0 = x[j];
                    double best = fnorm;
                    double bestX = x0;
                    double t1 = hi - kGolden * (hi - lo), t2 = lo + kGolden * (hi - lo);
                    double f1 = -1.0, f2 = -1.0;
                    for (int it = 0; it < kGoldenSteps && res.evaluations + 1 < limits.maxEvaluations; ++it) {
                        for (int side = 0; side < 2; ++side) {
                            double& f = side == 0 ? f1 : f2;
                            if (f >= 0.0)
                                continue;
                            std::copy(x.begin(), x.end(), xtrial);
                            xtrial[j] = side == 0 ? t1 : t2;
                            if (!problem.Residuals(xt, ft)) {
                                res.status = LsqStatus::Stopped;
                                return res;
                            }
                            ++res.evaluations;
                            f = Norm(ftrial, m);
                            if (f < best) {
                                best = f;
                                bestX = xtrial[j];
                                std::copy(ftrial, ftrial + m, wa4);
                            }
                        }
                        if (f1 < f2) {
                            hi = t2;
                            t2 = t1;
                            f2 = f1;
                            t1 = hi - kGolden * (hi - lo);
                            f1 = -1.0;
                        } else {
                            lo = t1;
                            t1 = t2;
                            f1 = f2;
                            t2 = lo + kGolden * (hi - lo);
                            f2 = -1.0;
                        }
                    }
                    if (best < fnorm) {
                        x[j] = bestX;
                        std::copy(wa4, wa4 + m, fvec);
                        fnorm = best;
                        res.sse = fnorm * fnorm;
                    }
                }
            }
            if (frozen == n || (frozen == 0 && decrement0 <= kApproxDecrement && !zigzagSearch)) {
                res.status = LsqStatus::StepTolerance;
                return res;
            }
            if (frozen == 0 && !zigzagSearch) {
                res.status = LsqStatus::FalseConvergence;
                return res;
            }
            zigzagSearch = false; // no kink after all: go on as before
        }

        if (options.normalEquations) {
            NormalFactor(m, n, fjac, fvec, ipvt, rdiag, acnorm, qtf, jfine);
        } else {
            QrFactor(m, n, fjac, ipvt, rdiag, acnorm, wqr);
            std::copy(fvec, fvec + m, wa4);
            for (int j = 0; j < n; ++j) {
                double* col = fjac + std::size_t(j) * m;
                if (col[j] != 0.0) {
                    const double temp = -Dot(col + j, wa4 + j, m - j) / col[j];
                    for (int i = j; i < m; ++i)
                        wa4[i] += col[i] * temp;
                }
                col[j] = rdiag[j];
                qtf[j] = wa4[j];
            }
        }

        if (res.iterations == 1) {
            for (int j = 0; j < n; ++j)
                diag[j] = acnorm[j] == 0.0 ? 1.0 : acnorm[j];
        } else {
            for (int j = 0; j < n; ++j)
                diag[j] = std::max(diag[j], acnorm[j]);
        }
        if (options.commonScale) {
            // Parameters in one unit share the largest column norm as their
            // scale, so a weakly determined one cannot take a leap that the
            // others could not.
            double top = 0.0;
            for (int j = 0; j < n; ++j)
                top = std::max(top, std::max(acnorm[j], res.iterations == 1 ? 0.0 : diag[j]));
            if (top > 0.0)
                std::fill_n(diag, n, top);
        }
        if (res.iterations == 1) {
            for (int j = 0; j < n; ++j)
                wa3[j] = diag[j] * x[j];
            xnorm = Norm(wa3, n);
            xsize = scaledSize();
            delta = kInitialFactor * xnorm;
            if (delta == 0.0)
                delta = kInitialFactor;
            stepmx = 1.0e3 * std::max(xnorm, Norm(diag, n));
            delta = std::min(delta, stepmx);
            if (!typical.empty()) {
                // The first step goes no further than the typical sizes.
                for (int j = 0; j < n; ++j)
                    wa3[j] = diag[j] * (std::size_t(j) < typical.size() ? typical[j] : 0.0);
                delta = std::min(delta, Norm(wa3, n));
            }
        }

        // Gauss-Newton decrement: the squared cosine between the residual and
        // the range of the Jacobian. Small means no step can reduce the sum of
        // squares by more than that fraction.
        double decrement = 0.0;
        for (int j = 0; j < n && rdiag[j] != 0.0; ++j)
            decrement += (qtf[j] / fnorm) * (qtf[j] / fnorm);
        if (decrement <= kRelFuncTol) {
            res.status = LsqStatus::Converged;
            return res;
        }
        // Has the next Jacobian look for kinks at x, with the trust region
        // reopened so that the frozen problem can move on.
        const auto requestKinkSearch = [&] {
            lookForKinks = true;
            decrement0 = decrement;
            par = 0.0;
            delta = std::min(stepmx, kInitialFactor * std::max(xnorm, 1.0));
        };

        // Moves x to the trial point, whose residual norm is fn.
        const auto acceptTrial = [&](double fn) {
            std::copy(xtrial, xtrial + n, x.begin());
            std::copy(ftrial, ftrial + m, fvec);
            fnorm = fn;
            res.sse = fnorm * fnorm;
            for (int j = 0; j < n; ++j)
                wa2[j] = diag[j] * x[j];
            xnorm = Norm(wa2, n);
            xsize = scaledSize();
        };
        bool rose = false; // a trial of this iteration increased the sum of squares
        for (;;) {
            LmPar(n, fjac, m, ipvt, diag, qtf, delta, par, wa1, sdiag, wa2, wa3);
            for (int j = 0; j < n; ++j) {
                wa1[j] = -wa1[j];
                xtrial[j] = x[j] + wa1[j];
                wa3[j] = diag[j] * wa1[j];
            }
            const double pnorm = Norm(wa3, n);
            if (res.iterations == 1)
                delta = std::min(delta, pnorm);

            if (res.evaluations >= limits.maxEvaluations) {
                res.status = LsqStatus::EvaluationLimit;
                return res;
            }
            if (!problem.Residuals(xt, ft)) {
                res.status = LsqStatus::Stopped;
                return res;
            }
            ++res.evaluations;
            const double fnorm1 = Norm(ftrial, m);

            double actred = -1.0;
            if (std::isfinite(fnorm1) && 0.1 * fnorm1 < fnorm)
                actred = 1.0 - (fnorm1 / fnorm) * (fnorm1 / fnorm);
            for (int j = 0; j < n; ++j) {
                wa3[j] = 0.0;
                const double temp = wa1[ipvt[j]];
                const double* col = fjac + std::size_t(j) * m;
                for (int i = 0; i <= j; ++i)
                    wa3[i] += col[i] * temp;
            }
            const double temp1 = Norm(wa3, n) / fnorm;
            const double temp2 = std::sqrt(par) * pnorm / fnorm;
            const double prered = temp1 * temp1 + temp2 * temp2 / 0.5;
            const double dirder = -(temp1 * temp1 + temp2 * temp2);
            const double ratio = prered != 0.0 ? actred / prered : 0.0;

            if (ratio <= 0.25) {
                double temp = actred >= 0.0 ? 0.5 : 0.5 * dirder / (dirder + 0.5 * actred);
                if (!(0.1 * fnorm1 < fnorm) || temp < 0.1 || !std::isfinite(temp))
                    temp = 0.1;
                delta = temp * std::min(delta, pnorm / 0.1);
                par /= temp;
            } else if (par == 0.0 || ratio >= 0.75) {
                delta = pnorm / 0.5;
                par *= 0.5;
            }
            delta = std::min(delta, stepmx);

            if (ratio >= 1.0e-4) {
                acceptTrial(fnorm1);
                maxSteps = pnorm >= 0.99 * stepmx ? maxSteps + 1 : 0;

                if (res.sse <= kAbsFuncTol) {
                    res.status = LsqStatus::Converged;
                    return res;
                }
                if (pnorm <= stepTol * xsize) {
                    // Tiny steps that still leave a sizeable decrement are the
                    // zigzag about a kink: look for it once before stopping.
                    if (kinksFrozen || decrement <= kKinkDecrement || !options.probeKinks) {
                        res.status = LsqStatus::StepTolerance;
                        return res;
                    }
                    requestKinkSearch();
                    break;
                }
                if (std::fabs(actred) <= kRelFuncTol && prered <= kRelFuncTol && 0.5 * ratio <= 1.0) {
                    // On a piecewise smooth residual, a trust region that has
                    // shrunk onto a kink gives the same picture; there the
                    // steps go on until the decrement or the step tolerance
                    // tells a minimum.
                    if (!options.kinkZigzag) {
                        res.status = LsqStatus::RelativeFunction;
                        return res;
                    }
                }
                if (maxSteps >= 5) {
                    res.status = LsqStatus::MaxSteps;
                    return res;
                }
                // Accepted steps that each gain next to nothing: progress is
                // very slow, which on a kinked residual will not change.
                slow = actred < kSlowProgress ? slow + 1 : 0;
                if (slow >= kSlowSteps && options.kinkZigzag) {
                    res.status = LsqStatus::StepTolerance;
                    return res;
                }
                zigzag = rose && pnorm <= 0.6 * lastStep ? zigzag + 1 : 0;
                lastStep = pnorm;
                if (zigzag >= kZigzagSteps && options.probeKinks && options.kinkZigzag && !kinksFrozen) {
                    zigzag = 0;
                    zigzagSearch = true;
                    requestKinkSearch();
                    break;
                }
                kinksFrozen = false;
                // A full Gauss-Newton step that gained clearly more than the
                // model promised (a slow drift along a weak direction): go on
                // along it while that pays, doubling the distance, at the
                // cost of evaluations only.
                if (options.extrapolate && ratio > kExtrapolateRatio && par == 0.0) {
                    for (int k = 0; k < kExtrapolations; ++k) {
                        if (res.evaluations >= limits.maxEvaluations)
                            break;
                        for (int j = 0; j < n; ++j) {
                            wa1[j] *= (k == 0 ? 1.0 : 2.0);
                            xtrial[j] = x[j] + wa1[j];
                        }
                        if (!problem.Residuals(xt, ft)) {
                            res.status = LsqStatus::Stopped;
                            return res;
                        }
                        ++res.evaluations;
                        const double fnorm2 = Norm(ftrial, m);
                        if (!(fnorm2 < fnorm))
                            break;
                        acceptTrial(fnorm2);
                    }
                }
                break;
            }
            if (actred < 0.0)
                rose = true;

            // Rejected: the trust region has shrunk. Once it is below the step
            // tolerance nothing further can be gained at this precision.
            // With every parameter at 0 and no typical sizes, unit sizes.
            const double xscale = xsize > 0.0 ? xsize : std::max(Norm(diag, n), kDwarf);
            if (delta <= stepTol * xscale && !options.probeKinks) {
                res.status = LsqStatus::StepTolerance;
                return res;
            }
            if (delta <= stepTol * xscale && !kinksFrozen) {
                requestKinkSearch();
                break;
            }
            if (delta <= stepTol * xscale) {
                if (decrement <= kApproxDecrement) {
                    res.status = LsqStatus::StepTolerance;
                    return res;
                }
                if (delta <= kFalseConvTol * xscale) {
                    res.status = LsqStatus::FalseConvergence;
                    return res;
                }
            }
        }
    }
}

} // namespace pelomar
