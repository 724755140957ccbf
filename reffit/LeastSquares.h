#pragma once
// Nonlinear least squares by a Levenberg-Marquardt trust-region method with a
// forward-difference Jacobian. Independent of the reference fit: the caller
// supplies the residuals through IResiduals, so the method can be checked on
// its own against certified problems.

#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace pelomar {

// Difference steps of one Jacobian: h_j = rel * max(|x_j|, typical_j) (rel
// when that is 0), adjusted so that x_j + h_j is exactly x_j plus h_j. The
// solver's own Jacobians are forward differences with empty typical; only its
// probe for kinks uses typical sizes and a negative rel.
struct LsqSteps
{
    double rel = 0.0;
    std::span<const double> typical;
    double absolute = 0.0; // when positive, the step of every parameter instead
    double For(std::size_t j, double v) const;
};

// Residual vector r(x) of m values for n parameters.
class IResiduals
{
public:
    virtual ~IResiduals() = default;

    // Fills r (m values) at x. Returns false when the solve must end at once
    // (a stop request); r is then undefined.
    virtual bool Residuals(std::span<const double> x, std::span<double> r) = 0;

    // Fills jac (column-major, m rows) with forward differences: column j =
    // (r(x + h_j e_j) - r(x)) / h_j with h_j = steps.For(j, x_j); the steps
    // are sqrt(eps) relative except on the retry described at SolveLeastSquares.
    // r holds the residuals at x, and x is the point of the most recent
    // Residuals call. work has room for m values. The default spends one
    // Residuals call per column; problems whose parameters touch few terms
    // override it. Returns false on a stop request.
    virtual bool Jacobian(std::span<const double> x, std::span<const double> r, std::span<double> jac,
                          std::span<double> work, const LsqSteps& steps);
};

// Dot product with independent partial sums, so the loop is not bound by the
// latency of one chain of additions.
double LsqDot(const double* a, const double* b, int n);

// The ordinary steps: sqrt(eps) relative.
LsqSteps FineSteps();

// Whether a sum of squares is small enough that a solve ends at once with
// it: an exact fit, with nothing lower to look for.
bool LsqIsExact(double sse);

enum class LsqStatus
{
    Converged,        // the residual has no component left that a step could remove
    StepTolerance,    // an accepted step, or the trust region, fell below the step tolerance
    RelativeFunction, // actual and predicted relative reductions below the function tolerance
    FalseConvergence, // the trust region collapsed although the model promised progress
    MaxSteps,         // five consecutive steps of the maximum allowed length
    IterationLimit,
    EvaluationLimit,
    JacobianLimit,
    BadInput,  // n < 1, m < n, or non-finite residuals at the starting point
    NoStorage, // the work space could not be allocated
    Stopped,   // the residual routine asked to stop
};

struct LsqLimits
{
    int maxIterations = 100;
    int maxEvaluations = 400; // residual vectors at trial points (Jacobians not included)
    int maxJacobians = 100;
};

struct LsqResult
{
    LsqStatus status = LsqStatus::BadInput;
    double sse = 0.0; // sum of squares at x on return (valid when evaluations > 0)
    int iterations = 0;
    int evaluations = 0;
    int jacobians = 0;
};

// Allocates like std::allocator, but leaves the values of a vector's new
// elements as they are: a solve writes what it reads of its work arrays, and
// clearing them cost the small fits about a hundredth of their time.
template <class T> struct LsqUninitialised : std::allocator<T>
{
    template <class U> struct rebind
    {
        using other = LsqUninitialised<U>;
    };
    LsqUninitialised() = default;
    template <class U> LsqUninitialised(const LsqUninitialised<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Work arrays of one solve. Keep one across solves of the same size and a
// solve allocates nothing.
struct LsqWorkspace
{
    std::vector<double, LsqUninitialised<double>> d;
    std::vector<int> ipvt;
};

// Makes room in ws for solves of up to m residuals in n parameters without
// touching the memory, so that none of them allocates; solves that use less
// of it write no more than before.
void LsqReserve(LsqWorkspace& ws, int m, int n);

struct LsqOptions
{
    // A typical size of each parameter (none if empty): the step tolerance is
    // relative to the larger of it and the parameter's value, so that a
    // parameter at 0 still has a scale, and the first step is no longer.
    std::span<const double> typical;
    // Relative step tolerance; 0 for sqrt(eps).
    double stepTolerance = 0.0;
    // When positive, Jacobians are differences over this absolute step instead
    // of sqrt(eps) relative: secants that see past the nearest kinks of a
    // piecewise smooth residual.
    double differenceStep = 0.0;
    // Whether a stall looks for kinks (see SolveLeastSquares) or simply ends
    // at the step tolerance.
    bool probeKinks = true;
    // Whether a zigzag of halving steps about a kink (three iterations whose
    // step was accepted after one that rose, each about half the last) starts
    // the kink search at once rather than once the steps reach the step
    // tolerance; relative function convergence does not end the solve, as it
    // is also the picture of a trust region shrunk onto a kink; and a point
    // where every parameter sits on a kink is searched along each for the
    // bottom of the corner; five accepted steps in a row that each gain less
    // than 1e-10 of the sum of squares end the solve as very slow progress.
    // For residuals known to be piecewise smooth.
    bool kinkZigzag = false;
    // Whether an undamped step that gained well beyond the model's promise is
    // followed further along its direction (doubling) while that reduces
    // the sum of squares: fast progress on slow drifts.
    bool extrapolate = false;
    // Whether each iteration factors the normal equations (a pivoted
    // Cholesky factor of J^T J) instead of J itself: about half the work
    // with m much larger than n, at the cost of the condition number
    // squared. For rough paths, where the steps need not be precise.
    bool normalEquations = false;
    // Whether all parameters share one unit, and so one scale (the largest
    // column norm) instead of one each.
    bool commonScale = false;
};

// Minimises the sum of squares of the m residuals over x, starting from x.
// x is updated only with accepted points, so on any outcome it holds the
// solver's last estimates. Jacobians are forward differences with steps of
// sqrt(eps) relative (or as options say). When the trust region collapses at
// a point, or the accepted steps become tiny while a sizeable reduction still
// seems possible, two more Jacobians there with steps of -+eps^(1/4) times the
// larger of each parameter and its share of the scaled norm show the
// parameters that sit on a kink of a piecewise-smooth residual (their columns
// change with the step); they are held for one iteration while the others
// move on.
LsqResult SolveLeastSquares(IResiduals& problem, std::span<double> x, int m, const LsqLimits& limits,
                            LsqWorkspace& ws, const LsqOptions& options = {});

} // namespace pelomar
