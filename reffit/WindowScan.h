#pragma once
// A global move for the fits with a shift per reference. The intensities
// enter linearly, so with the other shifts held, how well one reference fits
// anywhere in its window follows from sums over the points: its partial
// residual (the residual with the reference itself and the constant added
// back) projected on the reference placed there. A coarse scan of every
// window with these sums finds, for each reference, its best place in another
// basin than its own; the best of those places, with all intensities solved
// for anew, is where a second local solve starts.

namespace pelomar {

// The fit's side of a scan. Placed: reference k at the current shifts and the
// sum of its values (nullptr when penalised there). Sums: over every stride-th
// point (0, stride, 2 stride, ...), of reference k placed at shift s, its
// values, their squares and their products with u. Range: the shifts at which
// every point lies in k's window, the spacing of candidates, and the stride
// of points that still samples each peak a few times (false when k cannot be
// scanned). SumOfSquares: with k alone moved to s, the sum of squares at the
// best constant and intensities, over every point.
class IScanPlacer
{
public:
    virtual ~IScanPlacer() = default;
    virtual const double* Placed(int k, double& sum) = 0;
    virtual void Sums(int k, double s, const double* u, int stride, double& sum, double& squares,
                      double& dot) = 0;
    virtual bool Range(int k, double& low, double& high, double& spacing, int& stride) const = 0;
    virtual double SumOfSquares(int k, double s) = 0;
};

// The current point of a fit: residuals r at the current shifts (one per
// reference) with the best constant and intensities coef (the constant first
// when there is one).
struct ScanPoint
{
    int n = 0;
    int refs = 0;
    bool constant = false;
    const double* r = nullptr;
    const double* coef = nullptr;
    const double* shift = nullptr;
    double* work = nullptr; // n values
    int budget = 0;         // evaluations the scan may be worth
    // Peaks of each reference's gain tried with every point, highest first:
    // the sampled sums may rank two places of about the same gain the wrong
    // way round.
    static constexpr int kMostPeaks = 2;
    int peaks = 1;
};

// A reference's best place outside its own basin, and the sum of squares
// with it moved there alone.
struct Relocation
{
    int ref = -1; // none
    double shift = 0.0;
    double sse = 0.0;
};

struct Relocations
{
    Relocation best[2];  // the lowest two, of different references
    int evaluations = 0; // residual evaluations the scan is worth
};

// For each reference, the highest peak of its gain over the window (places
// within one spacing of its shift are its own basin and left out), or the
// lower of the highest few (see ScanPoint::peaks), tried with all
// intensities solved for; the lowest two, whether or not they lie below
// the current point (a local solve from there may still end lower).
Relocations BestRelocations(const ScanPoint& p, IScanPlacer& placer);

} // namespace pelomar
