// The library's exported operations over its one fit state. No exception may
// leave them: the callers are C.

#include "reffit/pelomar.h"

#include "reffit/RefFitModel.h"

namespace {

pelomar::CRefFitModel& Fit()
{
    static pelomar::CRefFitModel fit;
    return fit;
}

} // namespace

extern "C" {

int SETUPREFERENCEFIT(const double* data, const int* n, const int* m, int* stop)
{
    try {
        return Fit().SetupFit(data, n ? *n : 0, m ? *m : 0, stop);
    } catch (...) {
        Fit().Release();
        return 1;
    }
}

void SETUPREFERENCE(const double* ref, const int* nref, const int* k, const double* a, const double* b,
                    const double* step)
{
    if (!nref || !k || !a || !b || !step)
        return;
    Fit().SetupReference(ref, *nref, *k, *a, *b, *step);
}

RefFitOutcome CALCREFERENCEFIT(double* theta, const int* nparm, double* sse, const RefFitMode* mode)
{
    if (!theta || !nparm || !mode || *nparm < 1)
        return PELOMAR_TERMINAL;
    double unused = 0.0;
    try {
        return Fit().Solve(std::span<double>(theta, std::size_t(*nparm)), sse ? *sse : unused, *mode);
    } catch (...) {
        return PELOMAR_TERMINAL;
    }
}

void RELEASEREFERENCEMEMORY(void)
{
    Fit().Release();
}

} // extern "C"
