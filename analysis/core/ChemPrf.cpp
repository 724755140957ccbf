#include "analysis/core/ChemPrf.h"

#include "platform/AtomicFileWriter.h"
#include "reffit/pelomar.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>

// ---------------------------------------------------------------- parameters

CChemPrfParams::CChemPrfParams(int nLevels) : m_nLevels(nLevels)
{
    assert(nLevels >= 1);
    m_pbDone.assign(size_t(std::max(nLevels, 1)), 0);
}

void CChemPrfParams::SetNumRefs(int nRefs, bool bReset)
{
    assert(nRefs >= 0);
    const int len = nRefs + (IsMultiShift() ? nRefs : 1) + (IsConstant() ? 1 : 0);
    std::vector<double> rows;
    if (nRefs >= 1)
        rows.assign(size_t(m_nLevels) * size_t(len), 0.0);
    m_pdParams.swap(rows);
    m_nRefs = nRefs;
    m_nRowLen = len;
    if (bReset)
        ResetAll();
}

void CChemPrfParams::ResetAll()
{
    for (int i = 0; i < m_nLevels; ++i)
        ResetLevel(i);
}

void CChemPrfParams::ResetLevel(int level)
{
    SetDone(level, false);
    double* row = GetRow(level);
    if (!row)
        return;
    const bool c = IsConstant(), multi = IsMultiShift(), zero = IsInitZero();
    // Constant, independent shifts and zero start: the whole row is 0; the
    // other zero-start layouts start the intensities just above 0.
    const double a0 = !zero ? 1.0 : (c && multi ? 0.0 : 1.0e-8);
    std::fill(row, row + m_nRowLen, 0.0);
    double* p = row + (c ? 1 : 0);
    if (multi) {
        for (int k = 0; k < m_nRefs; ++k)
            p[2 * k] = a0;
    } else {
        for (int k = 0; k < m_nRefs; ++k)
            p[1 + k] = a0;
    }
}

void CChemPrfParams::SetInitialOffset(int level, double value)
{
    if (IsConstant() && IsInitZero() && !IsDone(level))
        if (double* row = GetRow(level))
            row[0] = value;
}

double* CChemPrfParams::GetRow(int level)
{
    return m_pdParams.empty() ? nullptr : m_pdParams.data() + size_t(level) * size_t(m_nRowLen);
}

const double* CChemPrfParams::GetRow(int level) const
{
    return m_pdParams.empty() ? nullptr : m_pdParams.data() + size_t(level) * size_t(m_nRowLen);
}

int CChemPrfParams::CountDone() const
{
    return int(std::count(m_pbDone.begin(), m_pbDone.end(), uint8_t(1)));
}

double CChemPrfParams::GetConstant(int level) const
{
    assert(m_nRefs > 0 && level >= 0 && level < m_nLevels);
    return IsConstant() ? GetRow(level)[0] : 0.0;
}

double CChemPrfParams::GetIntensity(int level, int ref) const
{
    assert(m_nRefs > 0 && level >= 0 && level < m_nLevels && ref >= 0 && ref < m_nRefs);
    const double* p = GetRow(level) + (IsConstant() ? 1 : 0);
    return std::fabs(IsMultiShift() ? p[2 * ref] : p[1 + ref]);
}

double CChemPrfParams::GetShift(int level, int ref) const
{
    assert(m_nRefs > 0 && level >= 0 && level < m_nLevels && ref >= 0 && ref < m_nRefs);
    const double* p = GetRow(level) + (IsConstant() ? 1 : 0);
    return IsMultiShift() ? p[2 * ref + 1] : p[0];
}

// ------------------------------------------------------------------- mapping

bool ChemPrfGridMapping(double refStart, double refFinish, int nRef, double ts, double tf, int nT, double& b0,
                        double& a)
{
    if (nRef < 2 || nT < 2 || !(refFinish != refStart))
        return false;
    const double e = (nRef - 1) / (refFinish - refStart);
    const double bb = (ts - refStart) * e, aa = e * (tf - ts) / (nT - 1);
    if (!std::isfinite(bb) || !std::isfinite(aa))
        return false;
    b0 = bb;
    a = aa;
    return true;
}

double ChemPrfNormalise(const double* y, int n, double min, double max, double* out)
{
    const double range = max != min ? max - min : 1.0;
    const bool flat = max == min;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        out[i] = flat ? 0.0 : (y[i] - min) / range;
        sum += out[i];
    }
    return n > 0 ? sum / n : 0.0;
}

bool ChemPrfFittedCurve(const CChemPrfParams& params, int level, const std::vector<SChemPrfRefCurve>& refs,
                        const SChemPrfTarget& target, const double* y, double ymin, double ymax,
                        double* result, double* residual)
{
    const int n = target.n;
    std::fill(result, result + n, 0.0);
    if (level < 0 || level >= params.GetNumLevels() || !params.IsDone(level) || params.GetNumRefs() == 0)
        return true;
    struct Map
    {
        double b0, a;
    };
    std::vector<Map> maps(refs.size());
    for (size_t k = 0; k < refs.size(); ++k)
        if (refs[k].n < 1 || !ChemPrfGridMapping(refs[k].start, refs[k].finish, refs[k].n, target.start,
                                                 target.finish, n, maps[k].b0, maps[k].a))
            return false;
    const double c = params.GetConstant(level);
    std::fill(result, result + n, c);
    for (size_t k = 0; k < refs.size() && int(k) < params.GetNumRefs(); ++k) {
        const SChemPrfRefCurve& r = refs[k];
        const double range = r.max != r.min ? r.max - r.min : 1.0;
        const double a = params.GetIntensity(level, int(k)), s = params.GetShift(level, int(k));
        for (int i = 0; i < n; ++i) {
            const double x = maps[k].b0 + s + maps[k].a * i;
            double v;
            if (x < 0)
                v = r.y[0];
            else if (x > r.n - 1)
                v = r.y[r.n - 1];
            else {
                const double f = std::floor(x), cl = std::ceil(x);
                const int j0 = int(f), j1 = int(cl);
                v = j0 == j1 ? r.y[j0] : r.y[j0] + (x - f) * (r.y[j1] - r.y[j0]) / (cl - f);
            }
            result[i] += a * (v - r.min) / range;
        }
    }
    for (int i = 0; i < n; ++i) {
        result[i] = (ymax - ymin) * result[i] + ymin;
        residual[i] = result[i] - y[i];
    }
    return true;
}

bool ChemPrfReferenceOverlay(const SChemPrfRefCurve& r, const SChemPrfTarget& target, double s, double ymin,
                             double ymax, double* out)
{
    double b0 = 0.0, a = 0.0;
    if (!r.y || !ChemPrfGridMapping(r.start, r.finish, r.n, target.start, target.finish, target.n, b0, a))
        return false;
    const double range = r.max != r.min ? r.max - r.min : 1.0;
    for (int i = 0; i < target.n; ++i) {
        const double x = std::clamp(b0 + s + a * i, 0.0, double(r.n - 1));
        const double f = std::floor(x), c = std::ceil(x);
        const int j0 = int(f), j1 = int(c);
        const double v = j0 == j1 ? r.y[j0] : r.y[j0] + (x - f) * (r.y[j1] - r.y[j0]) / (c - f);
        out[i] = ymin + (ymax - ymin) * (v - r.min) / range;
    }
    return true;
}

bool ChemPrfCoveredStretch(const std::vector<SChemPrfRefCurve>& refs, const SChemPrfTarget& target, int& lo,
                           int& hi)
{
    // Per reference, the channels the stretch's ends may take: its own
    // channels, and at an end that the cursors reach past, the library's
    // margin inside it, so that the shift keeps its reach that way.
    struct Map
    {
        double b0, a, low, high;
    };
    std::vector<Map> maps;
    for (const SChemPrfRefCurve& r : refs) {
        double b0 = 0.0, a = 0.0;
        if (r.n < 2 ||
            !ChemPrfGridMapping(r.start, r.finish, r.n, target.start, target.finish, target.n, b0, a))
            return true;
        const double top = r.n - 1, margin = std::fabs(4.0 / r.step);
        const double u0 = std::min(a * lo + b0, a * hi + b0), u1 = std::max(a * lo + b0, a * hi + b0);
        Map m{b0, a, 0.0, top};
        if (u0 < 0.0)
            m.low = std::isfinite(margin) ? std::min(margin, top) : top;
        if (u1 > top)
            m.high = std::isfinite(margin) ? std::max(top - margin, 0.0) : 0.0;
        maps.push_back(m);
    }
    int l = lo, h = hi;
    // First estimate from the straight line u(i) = a i + b0, clamped before
    // it becomes an int.
    const auto clampIndex = [&](double i) { return int(std::clamp(i, double(lo) - 1.0, double(hi) + 1.0)); };
    for (const Map& m : maps) {
        double i0 = (m.low - m.b0) / m.a, i1 = (m.high - m.b0) / m.a;
        if (!std::isfinite(i0) || !std::isfinite(i1)) // a flat target: the check below decides
            continue;
        if (i0 > i1)
            std::swap(i0, i1);
        l = std::max(l, clampIndex(std::ceil(i0)));
        h = std::min(h, clampIndex(std::floor(i1)));
    }
    // Then the ends as the library places them (origin b = l a + b0), which
    // may round a point at a bound to just outside it.
    const auto outside = [&](int i) {
        for (const Map& m : maps) {
            const double u = m.a * (i - l) + (l * m.a + m.b0);
            if (!(u >= m.low && u <= m.high))
                return true;
        }
        return false;
    };
    for (bool moved = true; moved && l <= h;) {
        moved = false;
        if (outside(l))
            ++l, moved = true;
        else if (outside(h))
            --h, moved = true;
    }
    if (l > h)
        return false;
    lo = l;
    hi = h;
    return true;
}

// ------------------------------------------------------------------ the fit

const SPelomarApi& SPelomarApi::Library()
{
    static const SPelomarApi api = [] {
        SPelomarApi a;
        a.SetupFit = &SETUPREFERENCEFIT;
        a.SetupRef = &SETUPREFERENCE;
        a.Calc = &CALCREFERENCEFIT;
        a.Release = &RELEASEREFERENCEMEMORY;
        return a;
    }();
    return api;
}

CChemPrfFitSetup::CChemPrfFitSetup(const SPelomarApi& api, const std::vector<SChemPrfRefCurve>& refs,
                                   const SChemPrfTarget& target, int lo, int hi, int* stop)
    : m_api(api), m_stop(stop), m_lo(lo), m_n(hi - lo + 1)
{
    struct Map
    {
        double b, a;
    };
    std::vector<Map> maps(refs.size());
    for (size_t k = 0; k < refs.size(); ++k) {
        double b0 = 0.0, a = 0.0;
        if (refs[k].n < 2 || !ChemPrfGridMapping(refs[k].start, refs[k].finish, refs[k].n, target.start,
                                                 target.finish, target.n, b0, a)) {
            m_error = IDS_ERR_CHMPRF_MAPPING;
            return;
        }
        maps[k] = {lo * a + b0, a};
    }
    m_data.assign(size_t(m_n), 0.0);
    m_refs.resize(refs.size());
    for (size_t k = 0; k < refs.size(); ++k) {
        m_refs[k].resize(size_t(refs[k].n));
        ChemPrfNormalise(refs[k].y, refs[k].n, refs[k].min, refs[k].max, m_refs[k].data());
        m_scale.push_back(maps[k].a);
    }
    const int m = int(refs.size());
    if (m_api.SetupFit(m_data.data(), &m_n, &m, m_stop) != 0)
        throw std::bad_alloc();
    m_setUp = true;
    for (int k = 0; k < m; ++k) {
        const int nRef = refs[size_t(k)].n;
        m_api.SetupRef(m_refs[size_t(k)].data(), &nRef, &k, &maps[size_t(k)].a, &maps[size_t(k)].b,
                       &refs[size_t(k)].step);
    }
}

CChemPrfFitSetup::~CChemPrfFitSetup()
{
    if (m_setUp)
        m_api.Release();
}

double CChemPrfFitSetup::LoadLevel(const double* y, double min, double max)
{
    return ChemPrfNormalise(y + m_lo, m_n, min, max, m_data.data());
}

int CChemPrfFitSetup::Solve(double* row, int nparm, int mode, double* sse, int* tries, int traceLevel)
{
    double dummy = 0.0;
    int outcome = 0, i = 0;
    while (i < 6) {
        outcome = m_api.Calc(row, &nparm, sse ? sse : &dummy, &mode);
        ++i;
        if (RefFitSucceeded(outcome) || (m_stop && ChemPrfStopRequested(*m_stop)))
            break;
        if (traceLevel >= 0 && i < 6)
            ChemPrfTrace("%12i%12x%12i\n", traceLevel, unsigned(outcome), i);
    }
    if (tries)
        *tries = i;
    return outcome;
}

unsigned ChemPrfRunProfile(const SPelomarApi& api, const CChemPrfParams& params,
                           const std::vector<SChemPrfRefCurve>& refs, const SChemPrfTarget& target,
                           const std::vector<SChemPrfLevelCurve>& levels, int lo, int hi, int* stop,
                           const std::function<void(SChemPrfLevelResult&&)>& report)
{
    const int nparm = params.GetRowLength(), mode = params.GetMode();
    // The same refusal as for a single level: no fit with fewer points than
    // parameters.
    if (params.GetNumRefs() < 1 || !ChemPrfCoveredStretch(refs, target, lo, hi) || nparm >= hi - lo + 1)
        return IDS_ERR_CHMPRF_SRCPTS;
    // Private rows: the receiver writes the table while the run goes on.
    std::vector<std::vector<double>> rows(levels.size());
    std::vector<bool> done(levels.size());
    for (size_t l = 0; l < levels.size(); ++l) {
        const double* r = params.GetRow(int(l));
        rows[l].assign(r, r + nparm);
        done[l] = params.IsDone(int(l));
    }
    CChemPrfFitSetup setup(api, refs, target, lo, hi, stop);
    if (setup.Error())
        return setup.Error();
    const bool zeroOffset = params.IsConstant() && params.IsInitZero();
    for (size_t l = 0; l < levels.size(); ++l) {
        const double mean = setup.LoadLevel(levels[l].y, levels[l].min, levels[l].max);
        if (zeroOffset && !done[l])
            rows[l][0] = mean;
        SChemPrfLevelResult res;
        res.level = int(l);
        res.outcome = setup.Solve(rows[l].data(), nparm, mode, nullptr, nullptr, int(l));
        res.stopped = stop && ChemPrfStopRequested(*stop);
        if (!res.stopped)
            res.row = std::move(rows[l]);
        report(std::move(res));
    }
    return 0;
}

void ChemPrfStoreResult(CChemPrfParams& params, const SChemPrfLevelResult& res)
{
    if (res.level < 0 || res.level >= params.GetNumLevels())
        return;
    double* row = params.GetRow(res.level);
    if (res.stopped || !row || int(res.row.size()) != params.GetRowLength()) {
        params.ResetLevel(res.level);
        return;
    }
    if (RefFitNotSolved(res.outcome))
        return;
    std::copy(res.row.begin(), res.row.end(), row);
    params.SetDone(res.level, true);
}

// ------------------------------------------------------------------- export

namespace {

// printf's "%<width>g" in the C locale, whatever locale the program runs in.
void AppendG(std::string& out, double v, int width)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    const size_t len = size_t(r.ptr - buf);
    if (int(len) < width)
        out.append(size_t(width) - len, ' ');
    out.append(buf, len);
}

void AppendInt(std::string& out, int v, int width)
{
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    const size_t len = size_t(r.ptr - buf);
    if (int(len) < width)
        out.append(size_t(width) - len, ' ');
    out.append(buf, len);
}

void AppendHeading(std::string& out, const char* text, int i)
{
    // 18 characters: the text, a blank and the reference's number.
    std::string h = text;
    h += ' ';
    h += std::to_string(i);
    out.append(18 - std::min<size_t>(18, h.size()), ' ');
    out += h;
}

} // namespace

std::string FormatChemPrfExport(const CChemPrfParams& params, const std::vector<double>& steps)
{
    const int m = params.GetNumRefs();
    const bool multi = params.IsMultiShift();
    std::string out = " Level";
    for (int i = 0; i < m; ++i)
        AppendHeading(out, "Intensity", i);
    if (multi)
        for (int i = 0; i < m; ++i)
            AppendHeading(out, "Shift (eV)", i);
    else
        out += "        Shift (eV)";
    out += "\r\n";
    if (m == 0)
        return out;
    for (int j = 0; j < params.GetNumLevels(); ++j) {
        if (!params.IsDone(j))
            continue;
        AppendInt(out, j, 6);
        for (int i = 0; i < m; ++i)
            AppendG(out, params.GetIntensity(j, i), 18);
        if (multi)
            for (int i = 0; i < m; ++i)
                AppendG(out, params.GetShift(j, i) * steps.at(size_t(i)), 18);
        else
            AppendG(out, params.GetShift(j, 0) * steps.at(0), 18);
        out += "\r\n";
    }
    return out;
}

void WriteChemPrfExport(const std::string& path, const CChemPrfParams& params,
                        const std::vector<double>& steps)
{
    const std::string text = FormatChemPrfExport(params, steps);
    CAtomicFileWriter writer(path);
    writer.File().Write(text.data(), text.size());
    writer.Commit();
}

SChemPrfDialogSize ChemPrfDialogSize(int gridW, int gridH, const SChemPrfDialogMetrics& m)
{
    SChemPrfDialogSize s;
    s.gridW = gridW;
    s.gridH = gridH;
    s.clientW = std::max(m.templW + gridW + m.marginX, m.templW);
    s.clientH = std::max(gridH + 2 * m.marginY, m.templH);
    const int availW = m.workW - 2, availH = m.workH - 2;
    int winW = s.clientW + m.frameW, winH = s.clientH + m.frameH;
    s.hScroll = m.hScrollH;
    s.vScroll = m.vScrollW;
    if (winW <= availW && winH <= availH) {
        s.hScroll = s.vScroll = 0;
    } else if (winH > availH && winW + m.vScrollW <= availW) {
        winW += m.vScrollW;
        s.gridW += m.vScrollW;
        s.hScroll = 0;
    } else if (winW > availW && winH + m.hScrollH <= availH) {
        winH += m.hScrollH;
        s.gridH += m.hScrollH;
        s.vScroll = 0;
    }
    if (winW > availW) {
        s.gridW = std::max(0, s.gridW - (winW - availW));
        winW = availW;
    }
    if (winH > availH) {
        s.gridH = std::max(0, s.gridH - (winH - availH));
        winH = availH;
    }
    s.clientW = winW - m.frameW;
    s.clientH = winH - m.frameH;
    return s;
}

// -------------------------------------------------------------------- trace

namespace {
std::mutex g_traceMutex;
std::function<void(const std::string&)> g_traceSink;

// One formatted number or short line (every format here is a few fields).
__attribute__((format(printf, 1, 2))) std::string Sprintf(const char* format, ...)
{
    char buf[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return std::string(buf, size_t(std::clamp(n, 0, int(sizeof buf) - 1)));
}
} // namespace

void SetChemPrfTraceSink(std::function<void(const std::string&)> sink)
{
    const std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceSink = std::move(sink);
}

void ChemPrfTrace(const char* format, ...)
{
    const std::lock_guard<std::mutex> lock(g_traceMutex);
    if (!g_traceSink)
        return;
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size_t(std::max(n, 0)), '\0');
    if (n > 0)
        std::vsnprintf(text.data(), size_t(n) + 1, format, args);
    va_end(args);
    g_traceSink(text);
}

void ChemPrfTraceLevel(const CChemPrfParams& params, int level)
{
    if (params.GetNumRefs() < 1 || level < 0 || level >= params.GetNumLevels())
        return;
    std::string text = Sprintf("Offset = %18g\n", params.GetConstant(level));
    for (int k = 0; k < params.GetNumRefs(); ++k) {
        text += Sprintf("I0      =%18g\n", params.GetIntensity(level, k));
        text += Sprintf("X0      =%18g\n", params.GetShift(level, k));
    }
    ChemPrfTrace("%s", text.c_str());
}

void ChemPrfTraceProfileLevel(const CChemPrfParams& params, int level, int outcome)
{
    if (params.GetNumRefs() < 1 || level < 0 || level >= params.GetNumLevels())
        return;
    std::string text = Sprintf("%9i%9x%18g", level, unsigned(outcome), params.GetConstant(level));
    for (int k = 0; k < params.GetNumRefs(); ++k)
        text += Sprintf("%18g%18g", params.GetIntensity(level, k), params.GetShift(level, k));
    ChemPrfTrace("%s\n", text.c_str());
}
