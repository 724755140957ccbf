#include "data/Utility.h"

#include "data/Update.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "platform/System.h"

#include <cmath>
#include <cstdint>

namespace {

// The corrected value of one point in real arithmetic; planes present decide
// which backgrounds are subtracted.
double Corrected(const int* pk, const int* bk1, const int* bk2, int i)
{
    if (bk1 && bk2)
        return double(pk[i]) - (double(bk1[i]) + double(bk2[i])) / 2.0;
    if (bk1)
        return double(pk[i]) - double(bk1[i]);
    if (bk2)
        return double(pk[i]) - double(bk2[i]);
    return double(pk[i]);
}

int ClampToInt(int64_t v)
{
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(v);
}

} // namespace

int CUtility::Reverse(int value)
{
    const uint32_t v = static_cast<uint32_t>(value);
    return static_cast<int>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24));
}

void CUtility::Reverse(int* value)
{
    *value = Reverse(*value);
}

double CUtility::CalcIntensity(const int* v, int planes)
{
    const double d[3] = {double(v[0]), planes >= 2 ? double(v[1]) : 0.0, planes >= 3 ? double(v[2]) : 0.0};
    return CalcIntensity(d, planes);
}

double CUtility::CalcIntensity(const double* v, int planes)
{
    double r;
    switch (planes) {
    case 3:
        r = v[0] - (v[1] + v[2]) / 2.0;
        return r > 0.0 ? r : 0.0;
    case 2:
        r = v[0] - v[1];
        return r > 0.0 ? r : 0.0;
    default:
        return v[0];
    }
}

void CUtility::CalcIntensity(int* dst, const int* pk, const int* bk1, const int* bk2, int n, int* pMin,
                             int* pMax)
{
    for (int i = 0; i < n; ++i) {
        int64_t v;
        if (bk1 && bk2)
            v = int64_t(pk[i]) - (int64_t(bk1[i]) + int64_t(bk2[i])) / 2;
        else if (bk1)
            v = int64_t(pk[i]) - bk1[i];
        else if (bk2)
            v = int64_t(pk[i]) - bk2[i];
        else
            v = pk[i];
        const int stored = v < 0 ? 0 : ClampToInt(v);
        dst[i] = stored;
        if (i == 0 || stored < *pMin)
            *pMin = stored;
        if (i == 0 || stored > *pMax)
            *pMax = stored;
    }
}

void CUtility::CalcIntensity(double* dst, const int* pk, const int* bk1, const int* bk2, int n, double* pMin,
                             double* pMax)
{
    for (int i = 0; i < n; ++i) {
        double v = Corrected(pk, bk1, bk2, i);
        if (v < 0.0)
            v = 0.0;
        dst[i] = v;
        if (i == 0 || v < *pMin)
            *pMin = v;
        if (i == 0 || v > *pMax)
            *pMax = v;
    }
}

void CUtility::CalcIntensity(double* dst, const int* pk, const int* bk1, const int* bk2, const SAcqUpdate* u)
{
    const int n = u->m_iEnd - u->m_iStart + 1;
    const double scans = u->m_iScan;
    for (int i = 0; i < n; ++i) {
        const double v = Corrected(pk, bk1, bk2, i);
        if (u->m_iScan == 0)
            dst[i] = v < 0.0 ? 0.0 : v;
        else if (v >= 0.0)
            dst[i] = (scans * dst[i] + v) / (scans + 1.0);
    }
}

void CUtility::CalcIntensity(int* dst, const int* pk, const int* bk1, const int* bk2, const SAcqUpdate* u)
{
    const int n = u->m_iEnd - u->m_iStart + 1;
    for (int i = 0; i < n; ++i) {
        const double v = Corrected(pk, bk1, bk2, i);
        if (u->m_iScan == 0)
            dst[i] = v < 0.0 ? 0 : ToInt(v);
        else if (v >= 0.0)
            dst[i] = ToInt(v / (double(u->m_iScan) + 1.0));
    }
}

void CUtility::ThrowError(int id, const char* text)
{
    if (id == 0 && text == nullptr)
        return;
    if (text == nullptr)
        AfxMessageBox(static_cast<unsigned>(id), MB_OK);
    else if (id == 0)
        AfxMessageBox(std::string(text), MB_OK);
    else
        AfxMessageBox(FormatMessageId(static_cast<unsigned>(id), {text}), MB_OK);
    throw CUserException();
}

std::string CUtility::GetModulePath()
{
    return GetProgramDirectory();
}

std::string CUtility::GetFilePath(const std::string& path)
{
    const size_t at = path.find_last_of("\\/:");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

int CUtility::ToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int>(value);
}
