#include "data/formats/Norvale.h"

#include "data/formats/ImportErrors.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int16_t I16(const uint8_t* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
uint16_t U16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int32_t I32(const uint8_t* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
float F32(const uint8_t* p)
{
    uint32_t bits = static_cast<uint32_t>(I32(p));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool ReadExactly(CFile& file, uint8_t* buffer, size_t count)
{
    return file.Read(buffer, count) == count;
}

void ParseHeader(const uint8_t* p, CNorvale::FileHeader& h)
{
    std::memcpy(h.szProgName, p, sizeof h.szProgName);
    h.wVersion = U16(p + 10);
    h.nSpec = I16(p + 12);
    h.iSpecNo = I16(p + 14);
}

void ParseSpectrum(const uint8_t* p, CNorvale::FileSpectrum& s)
{
    s.Source.lVolts = I32(p + 0);
    s.Source.lCurrent = I32(p + 4);
    s.Source.lSource = I32(p + 8);
    s.Source.iType = I16(p + 12);
    s.wHistory = U16(p + 14);
    std::memcpy(s.szOperator, p + 16, sizeof s.szOperator);
    std::memcpy(s.szMode, p + 40, sizeof s.szMode);
    std::memcpy(s.szComment, p + 44, sizeof s.szComment);
    s.iSpec = I16(p + 172);
    s.nSpec = I16(p + 174);
    s.nRgns = I16(p + 176);
    s.nLevels = I16(p + 178);
    s.iDataType = I16(p + 180);
    s.iPosn = I16(p + 182);
    s.iPosMode = I16(p + 184);
    s.iMode = I16(p + 186);
    s.nPos = I16(p + 188);
    s.lOffset = I32(p + 190);
    s.nPts = I32(p + 194);
    s.lTime = I32(p + 198);
    for (int i = 0; i < 4; ++i)
        s.EtchPrms[i] = static_cast<int8_t>(p[202 + i]);
    s.bXraysAutoOff = I32(p + 206);
}

void ParseRegion(const uint8_t* p, CNorvale::SpecRgn& r)
{
    r.lPass_V = I32(p + 0);
    r.lStart_RV = I32(p + 4);
    r.lStep_RV = I32(p + 8);
    r.nPts = I16(p + 12);
    r.iDwell = I16(p + 14);
    r.lOffset = I32(p + 16);
    r.nScans = I16(p + 20);
    std::memcpy(r.szRegion, p + 22, sizeof r.szRegion);
    std::memcpy(r.szElement, p + 32, sizeof r.szElement);
    r.lUnused = I32(p + 60);
    r.fSF = F32(p + 64);
    r.fMin = F32(p + 68);
    r.fMax = F32(p + 72);
    // "2s1/2" is the whole 2s shell; the older program named it so.
    const std::string name = FieldText(r.szRegion);
    if (name.size() == 5 && name[0] >= '1' && name[0] <= '6' && name.compare(1, 4, "s1/2") == 0)
        std::fill(r.szRegion + 2, r.szRegion + sizeof r.szRegion, '\0');
}

CNorvale::ProfileString& ProfileAccess()
{
    static CNorvale::ProfileString access;
    return access;
}

} // namespace

std::string FieldText(const char* field, size_t size)
{
    const char* end = static_cast<const char*>(std::memchr(field, 0, size));
    return std::string(field, end ? static_cast<size_t>(end - field) : size);
}

void SetField(char* field, size_t size, std::string_view text)
{
    if (size == 0)
        return;
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

void CNorvale::SetProfileAccess(ProfileString access)
{
    ProfileAccess() = std::move(access);
}

std::string VamasProfileString(const std::string& key, const std::string& def)
{
    if (ProfileAccess())
        return ProfileAccess()(key, def);
    return def;
}

double CNorvale::SpecRgn::RetardVoltsToKE(long rv) const
{
    return (static_cast<double>(lOffset) + static_cast<double>(rv)) / 1000.0 + static_cast<double>(lPass_V) -
           120.0;
}

long CNorvale::SpecRgn::EnergyToRetardVolts(double e) const
{
    return static_cast<long>(std::trunc(e * 1000.0)) + 120000L - static_cast<long>(lOffset) -
           1000L * static_cast<long>(lPass_V);
}

const double* CNorvale::Spectrum::GetRgnData(int r, int l) const
{
    if (r < 0 || r >= static_cast<int>(m_pRgns.size()))
        return nullptr;
    const SpecRgn& rgn = m_pRgns[static_cast<size_t>(r)];
    if (l < 0 || l >= rgn.nLevels)
        return nullptr;
    const size_t at = rgn.nDataOffset + static_cast<size_t>(l) * static_cast<size_t>(rgn.nPts);
    if (at + static_cast<size_t>(rgn.nPts) > m_pdData.size())
        return nullptr;
    return m_pdData.data() + at;
}

void CNorvale::Spectrum::AllocateDataArea()
{
    size_t total = 0;
    for (SpecRgn& r : m_pRgns) {
        r.nDataOffset = total;
        total +=
            static_cast<size_t>(std::max<int16_t>(r.nPts, 0)) * static_cast<size_t>(std::max(r.nLevels, 0));
    }
    nPts = static_cast<int32_t>(total);
    m_pdData.assign(total, 0.0);
}

const CNorvale::Spectrum* CNorvale::GetSpectrum(int i) const
{
    if (i < 0 || i >= GetSize())
        return nullptr;
    return m_pSpec[static_cast<size_t>(i)].get();
}

int CNorvale::ErrorCheckHeader(const FileHeader* h) const
{
    if (h->wVersion != 0x1000)
        return IDS_ERR_INCOMPATIBLE;
    if (h->nSpec < 1 || h->nSpec > 128)
        return IDS_ERR_ILLEGAL_PARAMS;
    if (h->iSpecNo < 1 || h->iSpecNo > h->nSpec)
        return IDS_ERR_ILLEGAL_PARAMS;
    return 0;
}

int CNorvale::ErrorCheckSpectrum(const Spectrum* s, int place) const
{
    if (s->iSpec != place)
        return IDS_ERR_ILLEGAL_PARAMS;
    // The older program's own record-size limit; as unsigned, negative counts fail too.
    const uint32_t size =
        static_cast<uint32_t>(s->nRgns) * 108u + static_cast<uint32_t>(s->nLevels) * 4u + 239u;
    if (size >= 65535u)
        return IDS_ERR_ILLEGAL_PARAMS;
    if (s->nRgns < 1 || s->nLevels < 1)
        return IDS_ERR_ILLEGAL_PARAMS;
    const int kind = s->iDataType & 0xFF;
    if (kind != 1 && kind != 2 && kind != 4 && kind != 8 && kind != 16)
        return IDS_ERR_ILLEGAL_PARAMS;
    const int high = (s->iDataType >> 8) & 0xFF;
    if (high != 0 && high != 1)
        return IDS_ERR_ILLEGAL_PARAMS;
    return 0;
}

int CNorvale::ReadNorvale(CFile& file)
{
    m_pSpec.clear();
    const std::string name = file.GetFileTitle();
    std::vector<uint8_t> buf(BufferSize);

    if (!ReadExactly(file, buf.data(), FileHeaderSize))
        return EndOfFirstHeader;
    ParseHeader(buf.data(), m_FileHeader);
    if (int err = ErrorCheckHeader(&m_FileHeader))
        return err;
    const int count = m_FileHeader.nSpec;

    for (int k = 1; k <= count; ++k) {
        if (k > 1) {
            if (!ReadExactly(file, buf.data(), FileHeaderSize))
                return IDS_ERR_EOF;
            ParseHeader(buf.data(), m_FileHeader);
            if (int err = ErrorCheckHeader(&m_FileHeader))
                return err;
            // Every header of a file announces the same number of spectra.
            if (m_FileHeader.nSpec != count)
                return IDS_ERR_ILLEGAL_PARAMS;
        }
        auto spec = std::make_unique<Spectrum>();
        spec->m_csFilename = name;
        if (!ReadExactly(file, buf.data(), FileSpectrumSize))
            return IDS_ERR_EOF;
        ParseSpectrum(buf.data(), *spec);
        if (int err = ErrorCheckSpectrum(spec.get(), k))
            return err;

        const size_t nLevels = static_cast<size_t>(spec->nLevels);
        const size_t nRgns = static_cast<size_t>(spec->nRgns);
        spec->m_pLevels.resize(nLevels);
        spec->m_pRgns.resize(nRgns);

        for (size_t done = 0; done < nLevels;) {
            const size_t run = std::min<size_t>(nLevels - done, BufferSize / FileLevelSize);
            if (!ReadExactly(file, buf.data(), run * FileLevelSize))
                return IDS_ERR_EOF;
            for (size_t i = 0; i < run; ++i)
                spec->m_pLevels[done + i].fTime = F32(buf.data() + i * FileLevelSize);
            done += run;
        }
        for (size_t done = 0; done < nRgns;) {
            const size_t run = std::min<size_t>(nRgns - done, BufferSize / FileRgnSize);
            if (!ReadExactly(file, buf.data(), run * FileRgnSize))
                return IDS_ERR_EOF;
            for (size_t i = 0; i < run; ++i) {
                SpecRgn& r = spec->m_pRgns[done + i];
                ParseRegion(buf.data() + i * FileRgnSize, r);
                r.lSource = spec->Source.lSource;
                r.nLevels = spec->nLevels;
            }
            done += run;
        }
        if (spec->iDataType & (0x02 | 0x04 | 0x08)) {
            if (!ReadExactly(file, buf.data(), nRgns * ProfRgnSize))
                return IDS_ERR_EOF;
            spec->m_pProfRgn.resize(nRgns);
            for (size_t i = 0; i < nRgns; ++i) {
                spec->m_pProfRgn[i].iStart = I16(buf.data() + i * ProfRgnSize);
                spec->m_pProfRgn[i].iEnd = I16(buf.data() + i * ProfRgnSize + 2);
            }
        }

        // The regions' point counts must account for the intensities exactly;
        // otherwise a region would reach outside the data.
        int64_t expected = 0;
        for (const SpecRgn& r : spec->m_pRgns) {
            if (r.nPts < 1)
                return IDS_ERR_ILLEGAL_PARAMS;
            expected += static_cast<int64_t>(r.nPts) * spec->nLevels;
        }
        if (expected != spec->nPts)
            return IDS_ERR_ILLEGAL_PARAMS;
        const uint64_t bytes = static_cast<uint64_t>(spec->nPts) * 4u;
        const uint64_t left = file.GetLength() - std::min(file.GetLength(), file.GetPosition());
        if (bytes > left)
            return IDS_ERR_EOF;
        spec->AllocateDataArea();
        for (size_t done = 0; done < spec->m_pdData.size();) {
            const size_t run = std::min<size_t>(spec->m_pdData.size() - done, BufferSize / 4);
            if (!ReadExactly(file, buf.data(), run * 4))
                return IDS_ERR_EOF;
            for (size_t i = 0; i < run; ++i)
                spec->m_pdData[done + i] = F32(buf.data() + i * 4);
            done += run;
        }
        m_pSpec.push_back(std::move(spec));
    }
    m_csFileName = name;
    return 0;
}

CNorvale::CNorvale(CFile* file)
{
    const int result = ReadNorvale(*file);
    if (result == EndOfFirstHeader)
        throw CFileException(CFileException::endOfFile, file->GetFilePath());
    if (result != 0) {
        m_pSpec.clear();
        ReportImportError(result, file->GetFileTitle());
    }
}
