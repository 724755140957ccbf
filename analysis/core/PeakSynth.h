#pragma once
// Synthetic peaks of the curve-fitting sheet: a Gaussian-Lorentzian product with
// an optional tail on the low kinetic-energy side, placed by a click and sized from the
// curve, and the envelope (background plus every peak) with its residue.
// Everything runs over the n points of one curve; positions are point indices.

#include <vector>

struct CPelomar_Component
{
    CPelomar_Component(double dEnergy, double dPosn, double dHeight, double dValue, double dHalfWidth,
                       int nPts);
    virtual ~CPelomar_Component() = default;

    double m_dHeight;              // above the background at the peak point
    double m_dValue;               // the curve's value at the peak point
    double m_dPosn;                // point index
    double m_dEnergy;              // the position as an energy
    double m_dHalfWidth;           // half width at half maximum, energy units
    double m_dCTR = 0.4;           // tail constant
    double m_dTMR = 0.5;           // tail mixing ratio
    double m_dETR = 0.2;           // exponential tail rate per point
    std::vector<double> m_pdCurve; // the peak plus the background, per point
    int m_nPts;
};

// The product shape's width factor at a Gauss-Lorentz ratio r (1 within 3e-5 at
// r = 0 and r = 1), which keeps the half width at half maximum.
double PeakWidthFactor(double r);

// The shape at point p of a peak (height 1): Gauss-Lorentz product of ratio r
// with the half width taken in points as halfWidth / step; with sherwood set,
// the tail on the side of lower kinetic energy (lower indices when step is
// positive, higher when it is negative). A half width of no points is a single point.
double PeakShape(double p, const CPelomar_Component& c, double step, double r, bool sherwood);

// What a click at point i makes of the curve y over the background bkg: the
// height above the background, the half width from where the curve crosses half
// that height (capped at 2 energy units), and the energy of the point on the
// region's scale (start, finish, count points).
struct SPeakEstimate
{
    int index;
    double energy, height, value, halfWidth;
};
SPeakEstimate EstimatePeak(const double* y, const double* bkg, int n, int i, double start, double finish,
                           int count);

// Recalculates component k (all when k is 0, as the sheet does when it opens and
// for the first peak) and rebuilds sum = background + peaks and residue = y - sum.
void CalcEnvelope(std::vector<CPelomar_Component*>& components, int k, const double* y, const double* bkg,
                  int n, double step, double r, bool gaussLorentz, double* sum, double* residue);
