#pragma once
// Chemical-state profiling without the user interface: the fit parameters of
// every level, the mapping of a reference onto the data's energy grid, the
// fitted curve, the fit of one level or of a whole profile through the
// reference-fit library, and the export of the results.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Messages of the fit (string table ids).
constexpr unsigned IDS_ERR_CHMPRF_DATATYPE = 2368;
constexpr unsigned IDS_ERR_CHMPRF_SRCPTS = 2369;
constexpr unsigned IDS_ERR_CHMPRF_MAPPING = 2370;
constexpr unsigned IDS_ERR_CHMPRF_NOSOLVE = 2372;

// The fit parameters of every level: a done flag and one row in the layout of
// the fit mode ([s, a1..aM], [c, s, a1..aM], [a1, s1, ...], [c, a1, s1, ...]).
class CChemPrfParams
{
public:
    enum Flags
    {
        Constant = 1,
        MultiShift = 2,
        InitZero = 4,
    };

    explicit CChemPrfParams(int nLevels);
    virtual ~CChemPrfParams() = default;

    void SetConstant(bool b) { SetFlag(Constant, b); }
    void SetMultiShift(bool b) { SetFlag(MultiShift, b); }
    void SetInitZero(bool b) { SetFlag(InitZero, b); }
    bool IsConstant() const { return (m_iFlags & Constant) != 0; }
    bool IsMultiShift() const { return (m_iFlags & MultiShift) != 0; }
    bool IsInitZero() const { return (m_iFlags & InitZero) != 0; }
    // The library's fit mode.
    int GetMode() const { return (IsConstant() ? 1 : 0) + (IsMultiShift() ? 2 : 0); }

    // Lays the rows out for M references (no rows for 0). Without bReset the
    // rows hold no defined values until the caller resets them.
    void SetNumRefs(int nRefs, bool bReset);
    void ResetAll();
    // Clears the done flag and writes the start values.
    void ResetLevel(int level);
    // With a constant and zero initial values, an unfitted level's c = value.
    void SetInitialOffset(int level, double value);

    double* GetRow(int level);
    const double* GetRow(int level) const;
    bool IsDone(int level) const { return m_pbDone[size_t(level)] != 0; }
    void SetDone(int level, bool bDone) { m_pbDone[size_t(level)] = bDone ? 1 : 0; }
    int CountDone() const;
    int GetNumRefs() const { return m_nRefs; }
    int GetRowLength() const { return m_nRowLen; }
    int GetNumLevels() const { return m_nLevels; }

    double GetConstant(int level) const;
    // |a|: the library fits intensities by absolute value.
    double GetIntensity(int level, int ref) const;
    double GetShift(int level, int ref) const;

private:
    void SetFlag(int bit, bool b) { m_iFlags = b ? (m_iFlags | bit) : (m_iFlags & ~bit); }

    std::vector<uint8_t> m_pbDone;
    std::vector<double> m_pdParams;
    int m_nRefs = 0;
    int m_nRowLen = 0;
    int m_nLevels = 1;
    int m_iFlags = 0;
};

// True for the outcomes that count as a successful solve.
inline bool RefFitSucceeded(int outcome)
{
    return outcome == 0 || outcome == 0x20007;
}

// True for the library's terminal outcome: no solve took place (values that
// are not numbers, no storage, a stop), so the row holds no estimate at all,
// unlike the other solver conditions, which leave the last estimates.
inline bool RefFitNotSolved(int outcome)
{
    return outcome == 0x50000;
}

// The mapping of a target region (nT points from ts to tf) onto the channels
// of a reference (nRef points from refStart to refFinish): b0 the fractional
// reference channel of target point 0, a reference channels per target
// channel. False (nothing written) when a range or point count would make it
// divide by zero or give no finite mapping.
bool ChemPrfGridMapping(double refStart, double refFinish, int nRef, double ts, double tf, int nT, double& b0,
                        double& a);

// (y - min) / (max - min) into out, y - min (all 0) for a flat curve; returns
// the mean of out.
double ChemPrfNormalise(const double* y, int n, double min, double max, double* out);

// One reference spectrum as the fit and the overlays see it: its curve with
// the curve's own extremes and its region's energies.
struct SChemPrfRefCurve
{
    const double* y = nullptr;
    int n = 0;
    double min = 0.0, max = 0.0;
    double start = 0.0, finish = 0.0, step = 0.0;
};

// The fitted region: its energies and number of points.
struct SChemPrfTarget
{
    double start = 0.0, finish = 0.0;
    int n = 0;
};

// The fitted curve of a level over the whole current curve (n points, data
// y with extremes ymin, ymax) and its residual (fit minus data). A level that
// is not fitted gets a result of zeros and keeps its residual. False when a
// reference cannot be mapped (the result is zeros then).
bool ChemPrfFittedCurve(const CChemPrfParams& params, int level, const std::vector<SChemPrfRefCurve>& refs,
                        const SChemPrfTarget& target, const double* y, double ymin, double ymax,
                        double* result, double* residual);

// A reference drawn over the data (n points of the target): moved by its
// fitted shift s (reference channels, so s / A data channels) and scaled
// from its own range to the data's range ymin..ymax. False when the
// reference cannot be mapped.
bool ChemPrfReferenceOverlay(const SChemPrfRefCurve& ref, const SChemPrfTarget& target, double s, double ymin,
                             double ymax, double* out);

// The four operations of the reference-fit library. The program uses the
// shared library's; tests put in their own.
struct SPelomarApi
{
    int (*SetupFit)(const double* data, const int* n, const int* m, int* stop) = nullptr;
    void (*SetupRef)(const double* ref, const int* nref, const int* k, const double* a, const double* b,
                     const double* step) = nullptr;
    int (*Calc)(double* theta, const int* nparm, double* sse, const int* mode) = nullptr;
    void (*Release)() = nullptr;

    // The shared library's operations.
    static const SPelomarApi& Library();
};

// The stretch lo..hi of the data between two cursor indices, in either order.
inline void ChemPrfStretch(int i0, int i1, int& lo, int& hi)
{
    lo = i0 < i1 ? i0 : i1;
    hi = i0 < i1 ? i1 : i0;
}

// Holds lo..hi to the points that every reference covers unshifted, and an
// end that reaches past a reference to four energy units inside it, the
// shift's reach. A point beyond a reference's ends starts in the library's
// window penalty, which then outweighs the data and drives the fit; a
// stretch that ends at a reference's end leaves the shift no room that way.
// False when no point remains; lo and hi stay as they are when a reference
// cannot be mapped (the fit's set-up reports that).
bool ChemPrfCoveredStretch(const std::vector<SChemPrfRefCurve>& refs, const SChemPrfTarget& target, int& lo,
                           int& hi);

// Requests a stop of a running fit from another thread: the library reads the
// flag atomically at every residual.
inline void ChemPrfRequestStop(int& flag)
{
    std::atomic_ref<int>(flag).exchange(1);
}
inline bool ChemPrfStopRequested(int& flag)
{
    return std::atomic_ref<int>(flag).load() != 0;
}

// A fit set up in the library: the normalised data stretch and references
// it keeps by address, alive from construction until destruction, which
// releases the library. One exists at a time (the library has one state).
class CChemPrfFitSetup
{
public:
    // Maps every reference onto the stretch lo..hi of the target, normalises
    // them and sets the library up. Error() is 0 when that worked, otherwise
    // the message id (a reference that cannot be mapped); a failed set-up of
    // the library throws std::bad_alloc.
    CChemPrfFitSetup(const SPelomarApi& api, const std::vector<SChemPrfRefCurve>& refs,
                     const SChemPrfTarget& target, int lo, int hi, int* stop);
    ~CChemPrfFitSetup();
    CChemPrfFitSetup(const CChemPrfFitSetup&) = delete;
    CChemPrfFitSetup& operator=(const CChemPrfFitSetup&) = delete;

    unsigned Error() const { return m_error; }
    int NumPoints() const { return m_n; }
    // Refills the data from a level's curve (the whole curve; its points lo..hi
    // are used); returns their normalised mean.
    double LoadLevel(const double* y, double min, double max);
    // Reference channels per data channel of reference k.
    double Scale(int k) const { return m_scale[size_t(k)]; }

    // Up to six solves of row (NPARM values, in and out), each from the
    // estimates of the one before, until one succeeds or a stop is requested.
    // Returns the last outcome; tries (when given) receives their number.
    // traceLevel >= 0: each try that will be repeated is traced with it.
    int Solve(double* row, int nparm, int mode, double* sse = nullptr, int* tries = nullptr,
              int traceLevel = -1);

private:
    const SPelomarApi m_api; // a copy: callers may pass a temporary
    std::vector<double> m_data;
    std::vector<std::vector<double>> m_refs;
    std::vector<double> m_scale;
    int* m_stop;
    int m_lo, m_n = 0;
    unsigned m_error = 0;
    bool m_setUp = false;
};

// What a profile run reports for every level: its row as fitted (a private
// copy: the receiver stores it) and its outcome, or that the level was
// stopped (the receiver resets it).
struct SChemPrfLevelResult
{
    int level = 0;
    int outcome = 0;
    bool stopped = false;
    std::vector<double> row;
};

// Stores a reported level in the table (on the thread that owns the table):
// its row and done flag, or, for a stopped level, its start values. A level
// that was not solved keeps what it had.
void ChemPrfStoreResult(CChemPrfParams& params, const SChemPrfLevelResult& res);

// A level's curve as the profile run reads it.
struct SChemPrfLevelCurve
{
    const double* y = nullptr;
    double min = 0.0, max = 0.0;
};

// Fits every level in turn, each from its current row (copied before the run
// starts, together with the start offset rule). Every level is tried, a stop
// request ending each solve at once; a level stopped is reported as such.
// Returns 0, or the message id that kept the run from starting (too few
// points, a reference that cannot be mapped); memory failures throw.
unsigned ChemPrfRunProfile(const SPelomarApi& api, const CChemPrfParams& params,
                           const std::vector<SChemPrfRefCurve>& refs, const SChemPrfTarget& target,
                           const std::vector<SChemPrfLevelCurve>& levels, int lo, int hi, int* stop,
                           const std::function<void(SChemPrfLevelResult&&)>& report);

// The export of the fitted levels: a header, then one line per fitted level,
// 18-character columns, "%g" numbers independent of the locale, CR LF.
// steps[k] is reference k's energy step (shifts are written in eV).
std::string FormatChemPrfExport(const CChemPrfParams& params, const std::vector<double>& steps);
// Writes it through the atomic writer (throws CFileException).
void WriteChemPrfExport(const std::string& path, const CChemPrfParams& params,
                        const std::vector<double>& steps);

// The size of the profiling dialog: the result table (gridW × gridH, no
// scroll bars) at the template's margins left of the button column, the
// client never smaller than the template's, the window (client plus frame)
// kept inside the work area less 2 pixels. A table that only overflows one
// way gets the one scroll bar it needs and grows by it; what still does not
// fit is cut from the table.
struct SChemPrfDialogSize
{
    int clientW = 0, clientH = 0; // the dialog's client area
    int gridW = 0, gridH = 0;     // the table, scroll bars included
    int hScroll = 0, vScroll = 0; // the table's scroll bar sizes, 0: none
};
struct SChemPrfDialogMetrics
{
    int templW = 0, templH = 0;     // client area of the template (buttons only)
    int marginX = 0, marginY = 0;   // the buttons' offsets in the template
    int frameW = 0, frameH = 0;     // window less client area
    int vScrollW = 0, hScrollH = 0; // the scroll bars' sizes
    int workW = 0, workH = 0;       // the desktop work area
};
SChemPrfDialogSize ChemPrfDialogSize(int gridW, int gridH, const SChemPrfDialogMetrics& m);

// The fits' diagnostic trace: lines for a developer (the constant, the
// intensities and shifts after a fit, the tries of a level that had to be
// repeated). Written only while a sink is set, none by default; any thread
// may write, one line reaches the sink whole.
void SetChemPrfTraceSink(std::function<void(const std::string&)> sink);
void ChemPrfTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The lines after a level's fit: "Offset = ...", then "I0 ..." and "X0 ..."
// per reference (single level); or one line of level, outcome, constant and
// each reference's intensity and shift (profile).
void ChemPrfTraceLevel(const CChemPrfParams& params, int level);
void ChemPrfTraceProfileLevel(const CChemPrfParams& params, int level, int outcome);
