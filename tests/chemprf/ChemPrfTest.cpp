// Chemical profiling without the user interface: the parameter table, the
// mapping of references, the fitted curve, the fit through the reference-fit
// library (a fake one for the retry and stop rules, the real one on measured
// Mn 2p spectra against an independent MINPACK fit) and the export.

#include "analysis/core/ChemPrf.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportReaders.h"
#include "platform/File.h"

#include <cminpack.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

// ------------------------------------------------------------ parameters

TEST(ChemPrfParams, StartValuesFollowTheFlags)
{
    struct Case
    {
        bool c, multi, zero;
        std::vector<double> row; // for two references
    };
    const Case cases[] = {
        {false, false, false, {0, 1, 1}},        {true, false, false, {0, 0, 1, 1}},
        {false, true, false, {1, 0, 1, 0}},      {true, true, false, {0, 1, 0, 1, 0}},
        {false, false, true, {0, 1e-8, 1e-8}},   {true, false, true, {0, 0, 1e-8, 1e-8}},
        {false, true, true, {1e-8, 0, 1e-8, 0}}, {true, true, true, {0, 0, 0, 0, 0}},
    };
    for (const Case& k : cases) {
        CChemPrfParams p(3);
        p.SetConstant(k.c);
        p.SetMultiShift(k.multi);
        p.SetInitZero(k.zero);
        p.SetNumRefs(2, true);
        ASSERT_EQ(p.GetRowLength(), int(k.row.size()));
        EXPECT_EQ(p.GetMode(), (k.c ? 1 : 0) + (k.multi ? 2 : 0));
        for (int l = 0; l < 3; ++l)
            EXPECT_EQ(std::vector<double>(p.GetRow(l), p.GetRow(l) + p.GetRowLength()), k.row)
                << k.c << k.multi << k.zero;
    }
}

TEST(ChemPrfParams, RowsDoneFlagsAndGetters)
{
    CChemPrfParams p(4);
    EXPECT_EQ(p.GetRow(0), nullptr);
    p.SetDone(1, true);
    p.ResetLevel(1); // no rows: only the flag
    EXPECT_FALSE(p.IsDone(1));

    p.SetConstant(true);
    p.SetMultiShift(true);
    p.SetInitZero(true);
    p.SetNumRefs(2, true);
    double* r = p.GetRow(2);
    r[0] = 0.5;
    r[1] = -0.25; // a1 negative: read as its absolute value
    r[2] = -3.0;  // s1 keeps its sign
    r[3] = 2.0;
    r[4] = 7.0;
    p.SetDone(2, true);
    EXPECT_EQ(p.GetConstant(2), 0.5);
    EXPECT_EQ(p.GetIntensity(2, 0), 0.25);
    EXPECT_EQ(p.GetShift(2, 0), -3.0);
    EXPECT_EQ(p.GetShift(2, 1), 7.0);
    EXPECT_EQ(p.CountDone(), 1);

    // The start offset only on a level not yet fitted.
    p.SetInitialOffset(2, 9.0);
    EXPECT_EQ(p.GetConstant(2), 0.5);
    p.SetInitialOffset(0, 9.0);
    EXPECT_EQ(p.GetConstant(0), 9.0);
    p.SetInitZero(false);
    p.SetInitialOffset(1, 9.0);
    EXPECT_EQ(p.GetConstant(1), 0.0);
}

// ---------------------------------------------------------------- mapping

TEST(ChemPrfMapping, ValuesAndRefusals)
{
    double b0 = -1, a = -1;
    // Reference 0.2 eV per channel from 100; target 0.1 eV per point from 101.
    ASSERT_TRUE(ChemPrfGridMapping(100.0, 120.0, 101, 101.0, 111.0, 101, b0, a));
    EXPECT_DOUBLE_EQ(b0, 5.0);
    EXPECT_DOUBLE_EQ(a, 0.5);

    struct Bad
    {
        double rs, rf;
        int nr;
        double ts, tf;
        int nt;
    };
    const Bad bad[] = {
        {100, 100, 101, 101, 111, 101}, // reference without an energy range
        {100, 120, 1, 101, 111, 101},   // reference of one point
        {100, 120, 101, 101, 111, 1},   // target of one point
        {100, 120, 101, 101, 111, 0},   {100, std::nan(""), 101, 101, 111, 101},
    };
    for (const Bad& k : bad) {
        b0 = a = -1;
        EXPECT_FALSE(ChemPrfGridMapping(k.rs, k.rf, k.nr, k.ts, k.tf, k.nt, b0, a));
        EXPECT_EQ(b0, -1);
    }
}

TEST(ChemPrfCurve, FittedCurveShiftsScalesAndZeroFillsUnfitted)
{
    // Reference: a ramp 0..9 over 10 channels of 1 eV from 0 eV; target: 5
    // points of 1 eV from 2 eV, data range 10..20.
    std::vector<double> ref(10);
    for (int i = 0; i < 10; ++i)
        ref[size_t(i)] = i;
    const std::vector<SChemPrfRefCurve> refs = {{ref.data(), 10, 0.0, 9.0, 0.0, 9.0, 1.0}};
    const SChemPrfTarget target{2.0, 6.0, 5};
    const std::vector<double> y = {10, 12, 14, 16, 20};
    std::vector<double> result(5, 7.0), residual(5, 3.0);

    CChemPrfParams p(2);
    p.SetNumRefs(1, true);
    EXPECT_TRUE(ChemPrfFittedCurve(p, 0, refs, target, y.data(), 10, 20, result.data(), residual.data()));
    EXPECT_EQ(result, std::vector<double>(5, 0.0)); // not fitted: zeros
    EXPECT_EQ(residual, std::vector<double>(5, 3.0));

    // [s, a] = [1.5, 0.9]: x = 3.5 + i, value (x / 9) * 0.9 = x / 10.
    p.GetRow(0)[0] = 1.5;
    p.GetRow(0)[1] = -0.9;
    p.SetDone(0, true);
    ASSERT_TRUE(ChemPrfFittedCurve(p, 0, refs, target, y.data(), 10, 20, result.data(), residual.data()));
    for (int i = 0; i < 5; ++i) {
        const double x = std::min(3.5 + i, 9.0); // clamped at the last channel
        EXPECT_NEAR(result[size_t(i)], 10 + 10 * (0.9 * x / 9), 1e-12) << i;
        EXPECT_NEAR(residual[size_t(i)], result[size_t(i)] - y[size_t(i)], 1e-12);
    }
    // A reference that cannot be mapped: no curve.
    const std::vector<SChemPrfRefCurve> flat = {{ref.data(), 10, 0.0, 9.0, 4.0, 4.0, 0.0}};
    EXPECT_FALSE(ChemPrfFittedCurve(p, 0, flat, target, y.data(), 10, 20, result.data(), residual.data()));
    EXPECT_EQ(result, std::vector<double>(5, 0.0));
}

TEST(ChemPrfCurve, OverlaySitsWhereTheFitPutTheReference)
{
    // Reference of 0.05 eV channels with its peak at 105 eV; data of 0.1 eV
    // points from 100 eV (A = 2). A fitted shift of -40 reference channels
    // (2 eV) puts the peak at 107 eV, data point 70: 20 data channels.
    std::vector<double> ref(401, 0.0);
    ref[100] = 5.0; // 100 + 100 * 0.05 = 105 eV
    const SChemPrfRefCurve r{ref.data(), 401, 0.0, 5.0, 100.0, 120.0, 0.05};
    const SChemPrfTarget target{100.0, 110.0, 101};
    std::vector<double> out(101);
    ASSERT_TRUE(ChemPrfReferenceOverlay(r, target, 0.0, 10.0, 20.0, out.data()));
    EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), 50);
    EXPECT_DOUBLE_EQ(out[50], 20.0); // scaled to the data's range
    EXPECT_DOUBLE_EQ(out[0], 10.0);
    ASSERT_TRUE(ChemPrfReferenceOverlay(r, target, -40.0, 10.0, 20.0, out.data()));
    EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), 70);

    const SChemPrfRefCurve flat{ref.data(), 401, 0.0, 5.0, 100.0, 100.0, 0.05};
    EXPECT_FALSE(ChemPrfReferenceOverlay(flat, target, 0.0, 10.0, 20.0, out.data()));
}

// ------------------------------------------------------------ fake library

struct Fake
{
    static inline int calls = 0, setups = 0, releases = 0, n = 0, m = 0;
    static inline int* stop = nullptr;
    static inline const double* data = nullptr;
    static inline std::vector<int> outcomes; // by call, then the last one
    static inline std::vector<double> firstTheta;
    static inline std::function<void()> onCalc;

    static void Reset()
    {
        calls = setups = releases = n = m = 0;
        stop = nullptr;
        data = nullptr;
        outcomes = {0};
        firstTheta.clear();
        onCalc = nullptr;
    }
    static int SetupFit(const double* d, const int* pn, const int* pm, int* s)
    {
        ++setups;
        data = d;
        n = *pn;
        m = *pm;
        stop = s;
        return 0;
    }
    static void SetupRef(const double*, const int*, const int*, const double*, const double*, const double*)
    {
    }
    static int Calc(double* theta, const int*, double* sse, const int*)
    {
        if (onCalc)
            onCalc();
        firstTheta.push_back(theta[0]);
        *sse = 0;
        theta[0] += 1.0; // each try moves on from the one before
        const int out = outcomes[std::min(size_t(calls), outcomes.size() - 1)];
        ++calls;
        if (stop && __atomic_load_n(stop, __ATOMIC_ACQUIRE))
            return 0x50000;
        return out;
    }
    static void Release() { ++releases; }
    static SPelomarApi Api() { return {&SetupFit, &SetupRef, &Calc, &Release}; }
};

struct FakeProfile
{
    std::vector<double> ref;
    std::vector<std::vector<double>> curves;
    std::vector<SChemPrfRefCurve> refs;
    std::vector<SChemPrfLevelCurve> levels;
    SChemPrfTarget target{100.0, 199.0, 100};

    explicit FakeProfile(int nLevels)
    {
        Fake::Reset();
        ref.resize(200);
        for (size_t i = 0; i < ref.size(); ++i)
            ref[i] = std::sin(0.1 * double(i));
        refs = {{ref.data(), 200, -1.0, 1.0, 50.0, 249.0, 1.0}};
        curves.resize(size_t(nLevels), std::vector<double>(100));
        for (int l = 0; l < nLevels; ++l) {
            for (int i = 0; i < 100; ++i)
                curves[size_t(l)][size_t(i)] = l + i;
            levels.push_back({curves[size_t(l)].data(), double(l), double(l + 99)});
        }
    }
};

TEST(ChemPrfFit, SixTriesFromThePreviousEstimates)
{
    struct Case
    {
        std::vector<int> outcomes;
        int tries, last;
    };
    const Case cases[] = {
        {{0x40003}, 6, 0x40003},                   // never converges: six tries, result kept
        {{0x30001, 0x40004, 0x20007}, 3, 0x20007}, // the step-tolerance alert counts as success
        {{0}, 1, 0},
    };
    for (const Case& k : cases) {
        FakeProfile f(1);
        Fake::outcomes = k.outcomes;
        CChemPrfFitSetup setup(Fake::Api(), f.refs, f.target, 10, 59, nullptr);
        ASSERT_EQ(setup.Error(), 0u);
        double row[2] = {0.0, 1.0};
        int tries = 0;
        EXPECT_EQ(setup.Solve(row, 2, 0, nullptr, &tries), k.last);
        EXPECT_EQ(tries, k.tries);
        for (int i = 0; i < tries; ++i)
            EXPECT_EQ(Fake::firstTheta[size_t(i)], double(i)); // each from the one before
    }
    EXPECT_EQ(Fake::releases, 1);
}

TEST(ChemPrfFit, StopAtLevelThreeResetsTheRest)
{
    FakeProfile f(10);
    CChemPrfParams params(10);
    params.SetNumRefs(1, true);
    params.GetRow(0)[0] = 5.0; // level 0 starts from its previous shift
    int stop = 1;              // a run clears nothing itself: the caller does
    stop = 0;
    std::vector<SChemPrfLevelResult> got;
    const unsigned err = ChemPrfRunProfile(Fake::Api(), params, f.refs, f.target, f.levels, 0, 99, &stop,
                                           [&](SChemPrfLevelResult&& r) {
                                               if (r.level == 2)
                                                   ChemPrfRequestStop(stop); // Stop while level 3 runs
                                               got.push_back(std::move(r));
                                           });
    ASSERT_EQ(err, 0u);
    ASSERT_EQ(got.size(), 10u);
    // The table is untouched by the run itself: the receiver stores.
    EXPECT_EQ(params.CountDone(), 0);
    EXPECT_EQ(params.GetRow(0)[0], 5.0);
    for (const auto& r : got)
        ChemPrfStoreResult(params, r);
    for (int l = 0; l < 10; ++l) {
        EXPECT_EQ(got[size_t(l)].stopped, l >= 3) << l;
        EXPECT_EQ(params.IsDone(l), l < 3) << l;
    }
    EXPECT_EQ(params.GetRow(0)[0], 6.0); // solved from 5, one try
    EXPECT_EQ(params.GetRow(5)[0], 0.0); // start values again
    EXPECT_EQ(params.GetRow(5)[1], 1.0);
    // Every remaining level was tried once and ended at once.
    EXPECT_EQ(Fake::calls, 10);
    EXPECT_EQ(Fake::releases, 1);
}

// The library's terminal outcome means no solve took place: the level keeps
// what it had, where any other condition stores the last estimates.
TEST(ChemPrfFit, NoSolveLeavesTheLevelAsItWas)
{
    CChemPrfParams params(2);
    params.SetNumRefs(1, true);
    params.GetRow(1)[0] = 3.0;
    params.SetDone(1, true);
    for (int level : {0, 1})
        ChemPrfStoreResult(params, {level, 0x50000, false, {7.0, 7.0}});
    EXPECT_FALSE(params.IsDone(0));
    EXPECT_EQ(params.GetRow(0)[1], 1.0); // start values
    EXPECT_TRUE(params.IsDone(1));
    EXPECT_EQ(params.GetRow(1)[0], 3.0);
    ChemPrfStoreResult(params, {0, 0x40003, false, {7.0, 7.0}});
    EXPECT_TRUE(params.IsDone(0));
    EXPECT_EQ(params.GetRow(0)[1], 7.0);
}

TEST(ChemPrfFit, TooFewPointsAndUnmappableReferenceAreRefused)
{
    FakeProfile f(2);
    CChemPrfParams params(2);
    params.SetConstant(true);
    params.SetMultiShift(true);
    params.SetNumRefs(1, true); // NPARM 3
    int stop = 0;
    auto none = [](SChemPrfLevelResult&&) { FAIL() << "no level may be reported"; };
    EXPECT_EQ(ChemPrfRunProfile(Fake::Api(), params, f.refs, f.target, f.levels, 40, 42, &stop, none),
              IDS_ERR_CHMPRF_SRCPTS);
    EXPECT_EQ(Fake::setups, 0);

    f.refs[0].finish = f.refs[0].start; // no energy range: would divide by zero
    EXPECT_EQ(ChemPrfRunProfile(Fake::Api(), params, f.refs, f.target, f.levels, 0, 99, &stop, none),
              IDS_ERR_CHMPRF_MAPPING);
    EXPECT_EQ(Fake::setups, 0);
    EXPECT_EQ(Fake::releases, 0);
}

TEST(ChemPrfFit, ReversedCursorsFitTheSameStretch)
{
    FakeProfile f(1);
    int lo = 0, hi = 0;
    ChemPrfStretch(70, 20, lo, hi);
    EXPECT_EQ(lo, 20);
    EXPECT_EQ(hi, 70);
    CChemPrfFitSetup setup(Fake::Api(), f.refs, f.target, lo, hi, nullptr);
    setup.LoadLevel(f.levels[0].y, f.levels[0].min, f.levels[0].max);
    ASSERT_EQ(Fake::n, 51);
    EXPECT_DOUBLE_EQ(Fake::data[0], 20.0 / 99.0);
    EXPECT_DOUBLE_EQ(Fake::data[50], 70.0 / 99.0);
}

TEST(ChemPrfFit, StretchHeldToWhatEveryReferenceCovers)
{
    // Target points 0..99 at 100..199 eV; references of 200 points. An end
    // that reaches past a reference is held four energy units inside it.
    std::vector<double> y(200, 0.0);
    const SChemPrfTarget target{100.0, 199.0, 100};
    const auto ref = [&](double start, double finish) {
        return SChemPrfRefCurve{y.data(), 200, 0.0, 1.0, start, finish, (finish - start) / 199.0};
    };
    struct Case
    {
        const char* what;
        std::vector<SChemPrfRefCurve> refs;
        int lo, hi;
        bool ok;
        int wantLo, wantHi;
    };
    const Case cases[] = {
        {"covers all", {ref(50, 249)}, 0, 99, true, 0, 99},
        {"starts inside", {ref(120, 319)}, 0, 99, true, 24, 99},
        {"cursors inside", {ref(120, 319)}, 30, 90, true, 30, 90},
        {"cursor inside, near the end", {ref(120, 319)}, 22, 99, true, 22, 99},
        {"two: the common part", {ref(120, 319), ref(0, 159.2)}, 0, 99, true, 24, 55},
        {"descending energies", {ref(179, -20)}, 0, 99, true, 0, 75},
        {"no overlap", {ref(300, 499)}, 0, 99, false, 0, 99},
        {"unmappable: left to the set-up", {ref(120, 120)}, 0, 99, true, 0, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int lo = c.lo, hi = c.hi;
        EXPECT_EQ(ChemPrfCoveredStretch(c.refs, target, lo, hi), c.ok);
        if (c.ok) {
            EXPECT_EQ(lo, c.wantLo);
            EXPECT_EQ(hi, c.wantHi);
        }
    }
    // Nothing left: the profile run refuses as for too few points.
    FakeProfile f(1);
    f.refs[0].start = 300.0;
    f.refs[0].finish = 499.0;
    CChemPrfParams params(1);
    params.SetNumRefs(1, true);
    int stop = 0;
    EXPECT_EQ(ChemPrfRunProfile(Fake::Api(), params, f.refs, f.target, f.levels, 0, 99, &stop,
                                [](SChemPrfLevelResult&&) { FAIL(); }),
              IDS_ERR_CHMPRF_SRCPTS);
    EXPECT_EQ(Fake::setups, 0);
}

// -------------------------------------------------- export, byte for byte

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ChemPrfExport, MatchesTheGoldenFile)
{
    CChemPrfParams p(3);
    p.SetConstant(true);
    p.SetNumRefs(2, true);
    const double r0[] = {0.1, -2.5, 0.75, -0.125}, r2[] = {0.0, 1.0, 1234567.0, 0.0001};
    std::copy(r0, r0 + 4, p.GetRow(0));
    std::copy(r2, r2 + 4, p.GetRow(2));
    p.SetDone(0, true);
    p.SetDone(2, true);
    const std::string dir = std::filesystem::temp_directory_path() / "chemprf_export_test";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/out.txt";
    WriteChemPrfExport(path, p, {0.1, 0.5});
    EXPECT_EQ(ReadBytes(path), ReadBytes(CHEMPRF_FIXTURES "/chemprf_export.txt"));
    std::filesystem::remove_all(dir);
}

TEST(ChemPrfExport, ElevenReferencesWithTheirOwnSteps)
{
    CChemPrfParams p(1);
    p.SetMultiShift(true);
    p.SetNumRefs(11, true);
    p.GetRow(0)[1] = 4.0;  // s of reference 0, step 0.5: 2 eV
    p.GetRow(0)[21] = 3.0; // s of reference 10, step 0.25: 0.75 eV
    p.SetDone(0, true);
    std::vector<double> steps(11, 1.0);
    steps[0] = 0.5;
    steps[10] = 0.25;
    const std::string text = FormatChemPrfExport(p, steps);
    const std::string head = text.substr(0, text.find("\r\n"));
    EXPECT_EQ(head.size(), 6u + 22 * 18);
    EXPECT_EQ(head.substr(6 + 9 * 18, 36), "       Intensity 9      Intensity 10");
    EXPECT_EQ(head.substr(6 + 11 * 18, 18), "      Shift (eV) 0");
    EXPECT_EQ(head.substr(6 + 21 * 18), "     Shift (eV) 10");
    const std::string line = text.substr(head.size() + 2);
    EXPECT_EQ(line.substr(6 + 11 * 18, 18), "                 2");
    EXPECT_EQ(line.substr(6 + 21 * 18), "              0.75\r\n");
}

// ------------------------------------- measured Mn 2p against MINPACK

struct Doc
{
    CVeltraneDoc doc;
    explicit Doc(const std::string& path)
    {
        RegisterImportReaders();
        CFile f(path, CFile::modeRead);
        EXPECT_TRUE(doc.ReadFrom(f)) << path;
    }
    CSpecRgn* Rgn(int i) { return doc.GetStagePosn(0)->GetSpecRgn(i); }
};

// The same model as the library's, solved by MINPACK's Levenberg-Marquardt.
struct Model
{
    std::vector<double> data;
    std::vector<std::vector<double>> refs;
    std::vector<double> a, b, low, high;
    int mode = 0;

    double Residual(const double* t, int i) const
    {
        const int m = int(refs.size());
        double e = data[size_t(i)];
        if (mode & 1)
            e -= t[0];
        for (int k = 0; k < m; ++k) {
            double ak, sk;
            switch (mode) {
            case 0:
                sk = t[0], ak = t[1 + k];
                break;
            case 1:
                sk = t[1], ak = t[2 + k];
                break;
            case 2:
                ak = t[2 * k], sk = t[2 * k + 1];
                break;
            default:
                ak = t[2 * k + 1], sk = t[2 * k + 2];
                break;
            }
            const size_t kk = size_t(k);
            double u = a[kk] * i + b[kk] + sk;
            if (u < low[kk])
                e -= (low[kk] - u) * 1e8, u = low[kk];
            else if (u > high[kk])
                e -= (u - high[kk]) * 1e8, u = high[kk];
            const int j0 = int(std::floor(u)), j1 = int(std::ceil(u));
            const double y =
                j0 == j1 ? refs[kk][size_t(j0)]
                         : refs[kk][size_t(j0)] + (u - j0) * (refs[kk][size_t(j1)] - refs[kk][size_t(j0)]);
            e -= std::fabs(ak) * y;
        }
        return e;
    }
    static int Fcn(void* p, int n, int, const double* x, double* fvec, int)
    {
        const Model* m = static_cast<const Model*>(p);
        for (int i = 0; i < n; ++i)
            fvec[i] = m->Residual(x, i);
        return 0;
    }
    double Sse(const double* t) const
    {
        double s = 0;
        for (int i = 0; i < int(data.size()); ++i)
            s += Residual(t, i) * Residual(t, i);
        return s;
    }
};

TEST(ChemPrfMeasured, MnSpectraFittedByOxideReferencesAgreeWithMinpack)
{
    Doc refDoc(VAMAS_FIXTURES "/xpsdl__Mn_references.vms");
    Doc dataDoc(VAMAS_FIXTURES "/xpsdl__mno_gas-phase_removed.vms");
    CSpecRgn* refRgn = refDoc.Rgn(0);
    ASSERT_NE(refRgn, nullptr);
    ASSERT_EQ(refRgn->GetNumTraces(), 3);
    std::vector<SChemPrfRefCurve> refs;
    for (int k = 0; k < 3; ++k) {
        const CTrace* t = refRgn->GetTrace(k);
        refs.push_back({t->GetData(), t->GetNumPoints(), t->GetMinValue(), t->GetMaxValue(),
                        refRgn->GetStart(), refRgn->GetFinish(), refRgn->GetStep()});
    }
    int compared = 0;
    for (int r = 0; r < 4; ++r) {
        CSpecRgn* rgn = dataDoc.Rgn(r);
        ASSERT_NE(rgn, nullptr);
        const CTrace* tr = rgn->GetTrace(0);
        const SChemPrfTarget target{rgn->GetStart(), rgn->GetFinish(), tr->GetNumPoints()};
        // The stretch the references cover, 1 eV inside.
        const double step = (target.finish - target.start) / (target.n - 1);
        const int lo = int(std::ceil((refRgn->GetStart() + 1.0 - target.start) / step));
        const int hi = int(std::floor((refRgn->GetFinish() - 1.0 - target.start) / step));
        for (int mode = 0; mode < 4; ++mode) {
            CChemPrfParams params(1);
            params.SetConstant(mode & 1);
            params.SetMultiShift(mode & 2);
            params.SetNumRefs(3, true);
            const int nparm = params.GetRowLength();
            std::vector<double> start(params.GetRow(0), params.GetRow(0) + nparm);
            double sse = 0.0;
            Model model;
            model.mode = mode;
            {
                CChemPrfFitSetup setup(SPelomarApi::Library(), refs, target, lo, hi, nullptr);
                ASSERT_EQ(setup.Error(), 0u);
                setup.LoadLevel(tr->GetData(), tr->GetMinValue(), tr->GetMaxValue());
                const int out = setup.Solve(params.GetRow(0), nparm, mode, &sse);
                EXPECT_TRUE(RefFitSucceeded(out)) << std::hex << out;
                // The model as handed over, for the independent solve.
                model.data.resize(size_t(hi - lo + 1));
                ChemPrfNormalise(tr->GetData() + lo, hi - lo + 1, tr->GetMinValue(), tr->GetMaxValue(),
                                 model.data.data());
                for (int k = 0; k < 3; ++k) {
                    const SChemPrfRefCurve& c = refs[size_t(k)];
                    model.refs.emplace_back(size_t(c.n));
                    ChemPrfNormalise(c.y, c.n, c.min, c.max, model.refs.back().data());
                    double b0, a;
                    ASSERT_TRUE(ChemPrfGridMapping(c.start, c.finish, c.n, target.start, target.finish,
                                                   target.n, b0, a));
                    EXPECT_DOUBLE_EQ(a, setup.Scale(k));
                    const double b = lo * a + b0, margin = std::fabs(4.0 / c.step);
                    model.a.push_back(a);
                    model.b.push_back(b);
                    model.low.push_back(std::max(b - margin, 0.0));
                    model.high.push_back(std::min((hi - lo) * a + b + margin, c.n - 1.0));
                }
            }
            // MINPACK refines the library's estimates: on this piecewise-linear
            // model (interpolated references) a solve from the start values may
            // settle in another kink, so agreement is asked of the minimum the
            // library found.
            std::vector<double> x(params.GetRow(0), params.GetRow(0) + nparm), fvec(model.data.size());
            std::vector<int> ipvt(static_cast<size_t>(nparm));
            std::vector<double> wa(size_t(nparm) * model.data.size() + 5 * size_t(nparm) + model.data.size());
            const int info = lmdif1(&Model::Fcn, &model, int(model.data.size()), nparm, x.data(), fvec.data(),
                                    1e-12, ipvt.data(), wa.data(), int(wa.size()));
            EXPECT_GE(info, 1);
            const double ref = model.Sse(x.data());
            EXPECT_NEAR(sse, model.Sse(params.GetRow(0)), 1e-9 * sse) << "SSE as reported";
            // Spectra that are exact mixtures fit to rounding: an absolute floor.
            EXPECT_NEAR(sse, ref, std::max(1e-6 * ref, 1e-20)) << "region " << r << " mode " << mode;
            EXPECT_LE(sse, model.Sse(start.data()));
            for (int k = 0; k < 3; ++k) {
                const double ak = std::fabs(x[size_t(mode == 0   ? 1 + k
                                                     : mode == 1 ? 2 + k
                                                     : mode == 2 ? 2 * k
                                                                 : 2 * k + 1)]);
                EXPECT_NEAR(params.GetIntensity(0, k), ak, 1e-4 * std::max(ak, 1e-2) + 1e-9)
                    << "region " << r << " mode " << mode << " ref " << k;
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, 16);
}

// Stretches that reach past the references' ends (the sheet's default
// cursors at points n/10 and 9n/10) fit the data, not the library's penalty
// for leaving a reference. Measured spectra 0 and 3 are the MnO and MnO2
// references on a wider grid, spectrum 2 the Mn2O3 one on a grid one point
// longer. Moved by 2 eV, as charging would, a reference is found by its
// shift in either direction.
TEST(ChemPrfMeasured, StretchPastTheReferencesFitsTheData)
{
    Doc refDoc(VAMAS_FIXTURES "/xpsdl__Mn_references.vms");
    Doc dataDoc(VAMAS_FIXTURES "/xpsdl__mno_gas-phase_removed.vms");
    CSpecRgn* refRgn = refDoc.Rgn(0);
    ASSERT_NE(refRgn, nullptr);
    const auto curve = [&](int k, double moved) {
        const CTrace* t = refRgn->GetTrace(k);
        return SChemPrfRefCurve{t->GetData(),     t->GetNumPoints(),          t->GetMinValue(),
                                t->GetMaxValue(), refRgn->GetStart() + moved, refRgn->GetFinish() + moved,
                                refRgn->GetStep()};
    };
    struct Case
    {
        int region;
        std::vector<int> refs;
        std::vector<double> intensities;
        double moved = 0.0; // eV
    };
    const Case cases[] = {
        {0, {0}, {1.0}},       {3, {2}, {1.0}},      {2, {1}, {1.0}}, {0, {0, 1, 2}, {1.0, 0.0, 0.0}},
        {0, {0}, {1.0}, -2.0}, {0, {0}, {1.0}, 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "region " << c.region << ", " << c.refs.size() << " references moved by " << c.moved);
        CSpecRgn* rgn = dataDoc.Rgn(c.region);
        ASSERT_NE(rgn, nullptr);
        const CTrace* tr = rgn->GetTrace(0);
        const int n = tr->GetNumPoints();
        const SChemPrfTarget target{rgn->GetStart(), rgn->GetFinish(), n};
        std::vector<SChemPrfRefCurve> refs;
        for (int k : c.refs)
            refs.push_back(curve(k, c.moved));
        // Held inside the references, with the ends as the library places
        // them.
        int lo = n / 10, hi = 9 * n / 10;
        ASSERT_TRUE(ChemPrfCoveredStretch(refs, target, lo, hi));
        for (const SChemPrfRefCurve& r : refs) {
            double b0 = 0.0, a = 0.0;
            ASSERT_TRUE(ChemPrfGridMapping(r.start, r.finish, r.n, target.start, target.finish, n, b0, a));
            const double b = lo * a + b0;
            EXPECT_GE(b, 0.0);
            EXPECT_LE(a * (hi - lo) + b, r.n - 1.0);
        }
        // The settings' default: a constant and a common shift.
        CChemPrfParams params(1);
        params.SetConstant(true);
        params.SetNumRefs(int(refs.size()), true);
        int stop = 0;
        SChemPrfLevelResult got;
        ASSERT_EQ(ChemPrfRunProfile(SPelomarApi::Library(), params, refs, target,
                                    {{tr->GetData(), tr->GetMinValue(), tr->GetMaxValue()}}, n / 10,
                                    9 * n / 10, &stop, [&](SChemPrfLevelResult&& r) { got = std::move(r); }),
                  0u);
        ChemPrfStoreResult(params, got);
        ASSERT_TRUE(params.IsDone(0));
        for (size_t k = 0; k < refs.size(); ++k)
            EXPECT_NEAR(params.GetIntensity(0, int(k)), c.intensities[k], 1e-3) << "reference " << k;
        EXPECT_NEAR(params.GetShift(0, 0), c.moved / refRgn->GetStep(), 0.05);
    }
}

// ------------------------------------------- profiles of known mixtures

// Two synthetic references on grids of their own (different lengths and
// steps from the data's), and levels made of them: shifted, scaled, on a
// sloping background, with a little noise. The profile must recover each
// level's shares and shifts as the construction put them.
struct KnownMixture
{
    static double Peak(double e, double centre, double width)
    {
        return std::exp(-0.5 * std::pow((e - centre) / width, 2));
    }
    static double RefA(double e) { return 10.0 + 100.0 * Peak(e, 640.0, 1.2); }
    static double RefB(double e) { return 50.0 * Peak(e, 642.5, 1.6) + 20.0 * Peak(e, 646.0, 2.0); }

    std::vector<double> ya, yb;
    std::vector<SChemPrfRefCurve> refs;
    SChemPrfTarget target{630.0, 659.75, 120}; // 0.25 eV
    std::vector<std::vector<double>> curves;
    std::vector<SChemPrfLevelCurve> levels;

    // A: 0.1 eV over 620..670; B: stepB over 625..665.
    explicit KnownMixture(double stepB = 0.4)
    {
        for (int j = 0; j <= 500; ++j)
            ya.push_back(RefA(620.0 + 0.1 * j));
        for (int j = 0; j <= int(std::lround(40.0 / stepB)); ++j)
            yb.push_back(RefB(625.0 + stepB * j));
        const auto curve = [](const std::vector<double>& y, double start, double step) {
            return SChemPrfRefCurve{y.data(),
                                    int(y.size()),
                                    *std::min_element(y.begin(), y.end()),
                                    *std::max_element(y.begin(), y.end()),
                                    start,
                                    start + step * (y.size() - 1),
                                    step};
        };
        refs = {curve(ya, 620.0, 0.1), curve(yb, 625.0, stepB)};
    }
    // A level wa·A(e − da) + wb·B(e − db) + background; returns its index.
    int AddLevel(double wa, double da, double wb, double db, double noise)
    {
        std::vector<double> y(size_t(target.n));
        unsigned seed = 12345u + unsigned(curves.size());
        for (int i = 0; i < target.n; ++i) {
            const double e = target.start + 0.25 * i;
            seed = seed * 1103515245u + 12345u;
            const double u = double((seed >> 8) & 0xFFFF) / 65535.0 - 0.5;
            y[size_t(i)] = wa * RefA(e - da) + wb * RefB(e - db) + 30.0 + noise * u;
        }
        curves.push_back(std::move(y));
        return int(curves.size()) - 1;
    }
    void Finish()
    {
        for (const auto& y : curves)
            levels.push_back(
                {y.data(), *std::min_element(y.begin(), y.end()), *std::max_element(y.begin(), y.end())});
    }
};

TEST(ChemPrfKnown, ProfileRecoversSharesAndShiftsOfKnownMixtures)
{
    struct Level
    {
        double wa, da, wb, db;
    };
    // Every mode fits a constant: the background is flat and the references'
    // own minima differ. Common shift levels move both references together;
    // the shift is counted in reference channels, so there both references
    // share one step.
    struct Case
    {
        const char* what;
        bool multiShift, initZero;
        double stepB;
        std::vector<Level> levels;
    };
    const Case cases[] = {
        {"common shift",
         false,
         false,
         0.1,
         {{1.0, 0.0, 0.0, 0.0}, {0.5, 0.3, 1.0, 0.3}, {0.2, -0.8, 2.0, -0.8}, {0.0, 0.0, 1.5, 0.0}}},
        {"common shift from zero", false, true, 0.1, {{0.5, 0.3, 1.0, 0.3}, {0.2, -0.8, 2.0, -0.8}}},
        {"independent shifts",
         true,
         false,
         0.4,
         {{1.0, 0.5, 1.0, -1.0}, {0.3, -0.4, 2.0, 0.6}, {0.8, 0.0, 0.0, 0.0}}},
        {"independent shifts from zero", true, true, 0.4, {{1.0, 0.5, 1.0, -1.0}, {0.3, -0.4, 2.0, 0.6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KnownMixture k(c.stepB);
        for (const Level& l : c.levels)
            k.AddLevel(l.wa, l.da, l.wb, l.db, 0.2);
        k.Finish();
        CChemPrfParams params(int(c.levels.size()));
        params.SetConstant(true);
        params.SetMultiShift(c.multiShift);
        params.SetInitZero(c.initZero);
        params.SetNumRefs(2, true);
        int stop = 0;
        int lo = 12, hi = 107;
        ASSERT_TRUE(ChemPrfCoveredStretch(k.refs, k.target, lo, hi));
        ASSERT_EQ(ChemPrfRunProfile(SPelomarApi::Library(), params, k.refs, k.target, k.levels, lo, hi, &stop,
                                    [&](SChemPrfLevelResult&& r) { ChemPrfStoreResult(params, r); }),
                  0u);
        for (size_t j = 0; j < c.levels.size(); ++j) {
            SCOPED_TRACE(testing::Message() << "level " << j);
            const Level& l = c.levels[j];
            const SChemPrfLevelCurve& lc = k.levels[j];
            const double range = lc.max - lc.min;
            ASSERT_TRUE(params.IsDone(int(j)));
            // Shares in the normalised scale: weight × reference range / data range.
            const double wantA = l.wa * (k.refs[0].max - k.refs[0].min) / range;
            const double wantB = l.wb * (k.refs[1].max - k.refs[1].min) / range;
            EXPECT_NEAR(params.GetIntensity(int(j), 0), wantA, 0.01);
            EXPECT_NEAR(params.GetIntensity(int(j), 1), wantB, 0.01);
            const double wantC = (30.0 + l.wa * k.refs[0].min + l.wb * k.refs[1].min - lc.min) / range;
            EXPECT_NEAR(params.GetConstant(int(j)), wantC, 0.01);
            // A level moved up by d eV is fitted by a shift of -d eV, in the
            // export's units (reference channels × step).
            if (l.wa > 0.1)
                EXPECT_NEAR(params.GetShift(int(j), 0) * k.refs[0].step, -l.da, 0.05);
            if (l.wb > 0.1)
                EXPECT_NEAR(params.GetShift(int(j), 1) * k.refs[1].step, -l.db, 0.05);
        }
    }
}

// A level of zeros and a level holding a value that is not a number sit among
// good levels: the bad one fails alone (no estimate, not marked fitted), the
// zeros fit to nothing, the others as if alone. Two copies of one reference
// share its intensity between them.
TEST(ChemPrfKnown, BadLevelsFailAloneAndIdenticalReferencesShare)
{
    KnownMixture k;
    k.AddLevel(1.0, 0.0, 0.5, 0.0, 0.2);
    k.curves.emplace_back(size_t(k.target.n), 0.0);
    k.AddLevel(0.4, 0.0, 1.0, 0.0, 0.2);
    k.curves[2][50] = std::numeric_limits<double>::quiet_NaN();
    k.AddLevel(0.4, 0.0, 1.0, 0.0, 0.2);
    k.Finish();
    k.levels[2].max = std::numeric_limits<double>::quiet_NaN();

    const auto fit = [&](const std::vector<SChemPrfRefCurve>& refs) {
        CChemPrfParams params(int(k.levels.size()));
        params.SetConstant(true);
        params.SetNumRefs(int(refs.size()), true);
        int stop = 0;
        EXPECT_EQ(ChemPrfRunProfile(SPelomarApi::Library(), params, refs, k.target, k.levels, 12, 107, &stop,
                                    [&](SChemPrfLevelResult&& r) { ChemPrfStoreResult(params, r); }),
                  0u);
        return params;
    };
    const CChemPrfParams one = fit(k.refs);
    EXPECT_TRUE(one.IsDone(0));
    EXPECT_TRUE(one.IsDone(1));
    EXPECT_NEAR(one.GetIntensity(1, 0), 0.0, 1e-6);
    EXPECT_NEAR(one.GetIntensity(1, 1), 0.0, 1e-6);
    EXPECT_FALSE(one.IsDone(2));
    EXPECT_TRUE(one.IsDone(3));
    const double range = k.levels[3].max - k.levels[3].min;
    EXPECT_NEAR(one.GetIntensity(3, 0), 0.4 * (k.refs[0].max - k.refs[0].min) / range, 0.01);
    EXPECT_NEAR(one.GetIntensity(3, 1), 1.0 * (k.refs[1].max - k.refs[1].min) / range, 0.01);
    const std::string text = FormatChemPrfExport(one, {0.1, 0.4});
    EXPECT_EQ(text.find("\r\n     2 "), std::string::npos) << text;
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;

    const CChemPrfParams twice = fit({k.refs[0], k.refs[0], k.refs[1]});
    for (int level : {0, 3})
        EXPECT_NEAR(twice.GetIntensity(level, 0) + twice.GetIntensity(level, 1), one.GetIntensity(level, 0),
                    0.01)
            << level;
}

// The measured Mn 2p spectra fitted with the settings' default (a constant,
// one shift) from the sheet's default cursors, checked against a search of
// our own: every shift on a grid of a twentieth of a reference channel, and
// for each the best non-negative intensities (every subset of references
// solved by least squares, the best one with no negative intensity kept).
// The library's minimum is the global one, not a neighbouring kink.
TEST(ChemPrfMeasured, DefaultFitIsTheGlobalMinimumOverShifts)
{
    Doc refDoc(VAMAS_FIXTURES "/xpsdl__Mn_references.vms");
    Doc dataDoc(VAMAS_FIXTURES "/xpsdl__mno_gas-phase_removed.vms");
    CSpecRgn* refRgn = refDoc.Rgn(0);
    ASSERT_NE(refRgn, nullptr);
    std::vector<SChemPrfRefCurve> refs;
    std::vector<std::vector<double>> norm;
    for (int k = 0; k < 3; ++k) {
        const CTrace* t = refRgn->GetTrace(k);
        refs.push_back({t->GetData(), t->GetNumPoints(), t->GetMinValue(), t->GetMaxValue(),
                        refRgn->GetStart(), refRgn->GetFinish(), refRgn->GetStep()});
        norm.emplace_back(size_t(t->GetNumPoints()));
        ChemPrfNormalise(t->GetData(), t->GetNumPoints(), t->GetMinValue(), t->GetMaxValue(),
                         norm.back().data());
    }
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE(testing::Message() << "region " << r);
        CSpecRgn* rgn = dataDoc.Rgn(r);
        ASSERT_NE(rgn, nullptr);
        const CTrace* tr = rgn->GetTrace(0);
        const int n = tr->GetNumPoints();
        const SChemPrfTarget target{rgn->GetStart(), rgn->GetFinish(), n};
        int lo = n / 10, hi = 9 * n / 10;
        ASSERT_TRUE(ChemPrfCoveredStretch(refs, target, lo, hi));
        CChemPrfParams params(1);
        params.SetConstant(true);
        params.SetNumRefs(3, true);
        int stop = 0;
        SChemPrfLevelResult got;
        ASSERT_EQ(ChemPrfRunProfile(SPelomarApi::Library(), params, refs, target,
                                    {{tr->GetData(), tr->GetMinValue(), tr->GetMaxValue()}}, n / 10,
                                    9 * n / 10, &stop,
                                    [&](SChemPrfLevelResult&& res) { got = std::move(res); }),
                  0u);
        ChemPrfStoreResult(params, got);
        ASSERT_TRUE(params.IsDone(0));

        std::vector<double> y(size_t(hi - lo + 1));
        ChemPrfNormalise(tr->GetData() + lo, hi - lo + 1, tr->GetMinValue(), tr->GetMaxValue(), y.data());
        std::vector<double> a(3), b(3);
        for (int k = 0; k < 3; ++k) {
            double b0 = 0.0;
            ASSERT_TRUE(ChemPrfGridMapping(refs[size_t(k)].start, refs[size_t(k)].finish, refs[size_t(k)].n,
                                           target.start, target.finish, n, b0, a[size_t(k)]));
            b[size_t(k)] = lo * a[size_t(k)] + b0;
        }
        // The columns at shift s: a constant and the three references.
        const auto columns = [&](double s, std::vector<std::vector<double>>& col) {
            col.assign(4, std::vector<double>(y.size(), 1.0));
            for (int k = 0; k < 3; ++k)
                for (size_t i = 0; i < y.size(); ++i) {
                    const double u = a[size_t(k)] * double(i) + b[size_t(k)] + s;
                    const std::vector<double>& v = norm[size_t(k)];
                    if (u < 0.0 || u > double(v.size() - 1))
                        return false;
                    const size_t j = std::min(size_t(u), v.size() - 2);
                    col[size_t(k + 1)][i] = v[j] + (u - double(j)) * (v[j + 1] - v[j]);
                }
            return true;
        };
        struct Best
        {
            double sse = 1e300, s = 0.0;
            double x[4] = {};
        } best;
        std::vector<std::vector<double>> col;
        for (double s = -20.0; s <= 20.0; s += 0.05) {
            if (!columns(s, col))
                continue;
            for (int subset = 0; subset < 8; ++subset) {
                std::vector<int> use{0};
                for (int k = 0; k < 3; ++k)
                    if (subset & (1 << k))
                        use.push_back(k + 1);
                const size_t p = use.size();
                // Normal equations, solved by Gaussian elimination.
                std::vector<double> m(p * (p + 1), 0.0);
                for (size_t i = 0; i < y.size(); ++i)
                    for (size_t u = 0; u < p; ++u) {
                        for (size_t v = 0; v < p; ++v)
                            m[u * (p + 1) + v] += col[size_t(use[u])][i] * col[size_t(use[v])][i];
                        m[u * (p + 1) + p] += col[size_t(use[u])][i] * y[i];
                    }
                for (size_t c = 0; c < p; ++c)
                    for (size_t rr = c + 1; rr < p; ++rr) {
                        const double f = m[rr * (p + 1) + c] / m[c * (p + 1) + c];
                        for (size_t v = c; v <= p; ++v)
                            m[rr * (p + 1) + v] -= f * m[c * (p + 1) + v];
                    }
                double x[4] = {};
                for (size_t c = p; c-- > 0;) {
                    double v = m[c * (p + 1) + p];
                    for (size_t w = c + 1; w < p; ++w)
                        v -= m[c * (p + 1) + w] * x[use[w]];
                    x[use[c]] = v / m[c * (p + 1) + c];
                }
                if (x[1] < 0 || x[2] < 0 || x[3] < 0)
                    continue;
                double sse = 0.0;
                for (size_t i = 0; i < y.size(); ++i) {
                    double e = y[i];
                    for (int c = 0; c < 4; ++c)
                        e -= x[c] * col[size_t(c)][i];
                    sse += e * e;
                }
                if (sse < best.sse) {
                    best.sse = sse;
                    best.s = s;
                    std::copy(x, x + 4, best.x);
                }
            }
        }
        // The library's minimum, as the same model sees it.
        ASSERT_TRUE(columns(params.GetShift(0, 0), col));
        double sse = 0.0;
        for (size_t i = 0; i < y.size(); ++i) {
            double e = y[i] - params.GetConstant(0);
            for (int k = 0; k < 3; ++k)
                e -= params.GetIntensity(0, k) * col[size_t(k + 1)][i];
            sse += e * e;
        }
        EXPECT_LE(sse, best.sse * (1.0 + 1e-6) + 1e-12);
        EXPECT_NEAR(params.GetShift(0, 0), best.s, 0.05);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(params.GetIntensity(0, k), best.x[k + 1], 0.02) << "reference " << k;
    }
}
} // namespace

TEST(ChemPrfDialogSize, ScrollBarsAndCutsAgainstTheWorkArea)
{
    // Template 100 × 120 with 7-pixel margins, frame 10 × 30, scroll bars
    // 17, work area 1000 × 800 (998 × 798 usable).
    const SChemPrfDialogMetrics m{100, 120, 7, 7, 10, 30, 17, 17, 1000, 800};
    struct
    {
        const char* what;
        int gridW, gridH;
        SChemPrfDialogSize want;
    } const cases[] = {
        {"fits", 300, 200, {407, 214, 300, 200, 0, 0}},
        {"never below the template", 10, 10, {117, 120, 10, 10, 0, 0}},
        {"too tall: vertical bar, cut in height", 300, 900, {424, 768, 317, 754, 0, 17}},
        {"too wide: horizontal bar, cut in width", 1000, 200, {988, 231, 881, 217, 17, 0}},
        {"both ways: both bars, both cut", 1000, 900, {988, 768, 881, 754, 17, 17}},
        {"too tall, no room for the vertical bar: both bars", 880, 900, {987, 768, 880, 754, 17, 17}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SChemPrfDialogSize s = ChemPrfDialogSize(c.gridW, c.gridH, m);
        EXPECT_EQ(s.clientW, c.want.clientW);
        EXPECT_EQ(s.clientH, c.want.clientH);
        EXPECT_EQ(s.gridW, c.want.gridW);
        EXPECT_EQ(s.gridH, c.want.gridH);
        EXPECT_EQ(s.hScroll, c.want.hScroll);
        EXPECT_EQ(s.vScroll, c.want.vScroll);
    }
}

TEST(ChemPrfTrace, OffUntilASinkIsSetThenRetriesAndResultsAreWritten)
{
    std::vector<std::string> lines;
    ChemPrfTrace("not seen %d\n", 1); // no sink: nothing
    SetChemPrfTraceSink([&](const std::string& s) { lines.push_back(s); });

    // Level 0 needs three tries: the two repeated ones are traced; level 1
    // succeeds at once.
    FakeProfile f(2);
    Fake::outcomes = {0x30001, 0x40004, 0};
    CChemPrfParams params(2);
    params.SetNumRefs(1, true);
    int stop = 0;
    ChemPrfRunProfile(Fake::Api(), params, f.refs, f.target, f.levels, 0, 99, &stop,
                      [](SChemPrfLevelResult&&) {});
    EXPECT_EQ(lines, (std::vector<std::string>{"           0       30001           1\n",
                                               "           0       40004           2\n"}));

    // A level's results: constant, then intensity and shift per reference.
    lines.clear();
    CChemPrfParams p(1);
    p.SetConstant(true);
    p.SetMultiShift(true);
    p.SetNumRefs(2, true);
    const double row[5] = {0.5, -2.0, 3.0, 4.0, -1.5};
    std::copy(row, row + 5, p.GetRow(0));
    ChemPrfTraceLevel(p, 0);
    ChemPrfTraceProfileLevel(p, 0, 0x20007);
    SetChemPrfTraceSink(nullptr);
    ChemPrfTraceLevel(p, 0); // off again
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Offset =                0.5\n"
                        "I0      =                 2\n"
                        "X0      =                 3\n"
                        "I0      =                 4\n"
                        "X0      =              -1.5\n");
    EXPECT_EQ(lines[1], "        0    20007               0.5                 2                 3"
                        "                 4              -1.5\n");
}
