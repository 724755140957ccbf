#pragma once
// The state of one reference fit: the caller's data and references (kept by
// address, never copied), each reference's mapping onto the data grid and its
// window, and the residual of the four fit modes. The library's exported
// operations drive one process-wide instance; tests and the benchmark may make
// their own.

#include "reffit/LeastSquares.h"
#include "reffit/RippleSearch.h"

#include <memory>
#include <span>
#include <vector>

namespace pelomar {

// Solve outcomes: severity * 65536 + code.
enum RefFitOutcomeCode : int
{
    kOutcomeConverged = 0,
    kOutcomeStepTolerance = 0x20007,
    kOutcomeRelativeFunction = 0x30001,
    kOutcomeFalseConvergence = 0x30002,
    kOutcomeMaxSteps = 0x30006,
    kOutcomeIterationLimit = 0x40003,
    kOutcomeEvaluationLimit = 0x40004,
    kOutcomeJacobianLimit = 0x40005,
    kOutcomeTerminal = 0x50000,
};

int OutcomeOf(LsqStatus status);

class CRefFitModel;

// The residual routines of the four modes; they differ only in where c, s_k
// and a_k are taken from theta. Mode 0: [s, a1..aM]; 1: [c, s, a1..aM];
// 2: [a1, s1, ..., aM, sM]; 3: [c, a1, s1, ..., aM, sM].
void REFRESIDUALSHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r);
void REFRESIDUALCONSTSHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r);
void REFRESIDUALMULTISHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r);
void REFRESIDUALCONSTMULTISHIFT(const CRefFitModel& fit, std::span<const double> theta, std::span<double> r);

// Number of parameters of a mode for M references, or 0 for an unknown mode.
int ParameterCount(int mode, int nRefs);

class CRefFitModel
{
public:
    // One registered reference: its array and length, scale A (reference
    // channels per data channel), origin B (reference channel of data point 0)
    // and window [low, high] of reachable reference channels.
    struct Reference
    {
        const double* ref = nullptr;
        int nRef = 0;
        double a = 0.0;
        double b = 0.0;
        double low = 0.0;
        double high = 0.0;
        double unit = 1.0; // channels per energy unit
    };

    // Penalty per reference channel by which a shift leaves the window.
    static constexpr double kWindowPenalty = 1.0e8;

    // Keeps data, n and stop; replaces the reference tables by M empty ones.
    // Returns 0, or non-zero when the tables cannot be allocated (then none remain).
    int SetupFit(const double* data, int n, int nRefs, const int* stop);
    // Registers reference k; an index outside 0..M-1 or a missing array is ignored.
    void SetupReference(const double* ref, int nRef, int k, double a, double b, double step);
    void Release();

    bool IsReady() const;
    int Points() const { return m_n; }
    const double* Data() const { return m_data; }
    int RefCount() const { return int(m_refs.size()); }
    const Reference& Ref(int k) const { return m_refs[std::size_t(k)]; }
    bool StopRequested() const;

    // Residuals of all N points for parameters theta in the given mode (0..3).
    // Needs IsReady() and theta of ParameterCount(mode, M) values.
    void Residuals(int mode, std::span<const double> theta, std::span<double> r) const;

    // The problem the solver sees, for tests: residuals r over the shifts alone
    // (one, or one per reference in modes 2 and 3), with the constant and the
    // intensities solved for at every point, and its forward-difference
    // Jacobian (column-major, N rows): the structured one that places only the
    // references a shift moves, or with plain set, one whole evaluation per column.
    void ProjectedJacobian(int mode, std::span<const double> shifts, std::span<double> r,
                           std::span<double> jac, bool plain);
    // The problem of the path over all the parameters (see Solve), for tests:
    // residuals r at theta, as Residuals gives them, and the Jacobian over
    // theta (column-major, N rows), whose shift columns come from the
    // references' channel slopes.
    void FullSpaceJacobian(int mode, std::span<const double> theta, std::span<double> r,
                           std::span<double> jac) const;

    // One solve: theta in and out, sse out. Returns the outcome code; an
    // unknown mode, a theta length that does not fit the mode, or a fit that
    // is not fully set up returns kOutcomeTerminal and leaves both untouched.
    // The solver moves the shifts only; the constant and the intensities are
    // solved for at every point (the intensities as non-negative values), so
    // only the shifts of theta matter as a start.
    int Solve(std::span<double> theta, double& sse, int mode, const LsqLimits& limits = {});

    // Iterations, evaluations and Jacobians of the last solve.
    const LsqResult& LastResult() const { return m_last; }

private:
    friend class CRefFitProjected;

    // Sizes the work space of a solve in a mode and marks it empty.
    void ResetCache(int mode);

    bool m_setUp = false;
    const double* m_data = nullptr;
    int m_n = 0;
    const int* m_stop = nullptr;
    std::vector<Reference> m_refs;
    LsqWorkspace m_ws;
    std::unique_ptr<double[]> m_cache; // placed references, linear problem, shifts of a solve
    std::size_t m_cacheSize = 0;
    std::vector<double> m_cacheX; // shifts of the last evaluation
    std::vector<int> m_channel;   // per point: the channel below it, while a reference is placed
    LsqResult m_last;
    RippleWork m_ripple;
    std::vector<double> m_soft; // Jacobian and eigenvectors of the look along the softest direction
};

} // namespace pelomar
