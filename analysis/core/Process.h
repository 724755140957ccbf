#pragma once
// The numerical kernels of the processing dialogs, on plain arrays of curve
// values. Everything works per point index; the energy step enters only the
// satellite shifts.

#include <cstdint>
#include <vector>

// The curve with each point that is no finite number (an imported "nan" or
// "inf") on the straight line between the nearest finite points on either
// side, or at the nearest one's level beyond the last: as the plot draws it.
// False, and bridged left alone, when every point is finite or none is.
bool BridgeNonFinite(const double* y, int n, std::vector<double>& bridged);

// Moving average of width points (0: a copy); the window holds width/2
// points before i and the rest after it, and shrinks at both ends.
void Smooth(double* out, const double* in, int n, int method, int width);

// order repeated window differences of the curve in y (in place), buf a work
// array of n points. Per point index. A point that is no finite number is
// first put on the line between its finite neighbours, as Integrate does.
void Differentiate(double* y, double* buf, int n, int width, int order);

// Running integral of y by Simpson's rules (trapezoids below 4 points). A
// point that is no finite number counts as on the straight line between the
// nearest finite points on either side (the nearest one's level at an end).
void Integrate(double* I, const double* y, int n);
enum IntegrateOffset
{
    OffsetNone = 0,
    OffsetMean = 1,
    OffsetEnds = 2,
};
// Subtracts the ramp k * c from a running integral: Mean makes it end at 0,
// Ends takes c from the first and last width intervals.
void Offset(double* I, int n, int mode, int width);

enum BackgroundType
{
    BkgShirley = 0,
    BkgLinear = 1,
    BkgMinimum = 2,
};
// Fills all n points of pdBkg with the background of pdY between point
// indices i1 and i2 (clamped to 0 ... n-1, taken in ascending order).
// Returns the number of Shirley passes run (1 for the other types, 0 when
// nothing was done).
int CalcBackground(double* pdBkg, const double* pdY, int i1, int i2, int n, int type);
void Subtract(double* pdY, const double* pdBkg, int n);

// Replaces y[i] by the mean of the other points of the window around it
// that are finite; a window that holds no such point leaves it unchanged.
void RemoveSpike(double* y, int n, int i, int w);

// The X-ray satellites of a non-monochromatic source, in table order.
struct SSatellites
{
    int nCount;
    double ratio[5];
    double offset[5]; // eV above the main line
};
// The table of a source type (10 Mg K-alpha, 18 Al K-alpha), else null.
const SSatellites* GetSatellites(int sourceType);
// The shift in points of a satellite offset at a step, or -1 when the step
// cannot be used (not positive, or the shift does not fit an int).
int SatelliteShift(double offset, double step);
// Subtracts the satellites of orig (the curve before any removal) from y; step
// is the region's energy step, either sign.
void RemoveSatellites(const SSatellites& sat, double step, double* y, const double* orig, int n);
