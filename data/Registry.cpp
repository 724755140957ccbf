#include "data/Registry.h"

#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cstring>

CRegistry::CMainFrame CRegistry::m_CMainFrame;
CRegistry::CChildFrame CRegistry::m_CChildFrame;
CRegistry::CVeltrane CRegistry::m_CVeltrane;
CRegistry::COptions CRegistry::m_COptions;
CRegistry::CChemPrf CRegistry::m_CChemPrf;
CRegistry::CPelomar CRegistry::m_CPelomar;
CRegistry::CBackground CRegistry::m_CBackground;

namespace {

constexpr unsigned IDS_REGISTRY_KEY = 1025;
constexpr int IDS_LOAD_STRING_FAILED = 2048;
constexpr unsigned IDS_REGISTRY_READ_FAILED = 2061;
constexpr unsigned IDS_REGISTRY_ACCESS_FAILED = 2062;
constexpr unsigned IDS_REGISTRY_SAVE_FAILED = 2063;
constexpr const char* ValueName = "Settings";

// Little-endian field writer and reader over the fixed value layout.
class CValueWriter
{
public:
    void Int(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Bool(bool v) { m_bytes.push_back(v ? 1 : 0); }
    void Bytes(const void* p, size_t n)
    {
        auto b = static_cast<const uint8_t*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
    }
    std::vector<uint8_t> m_bytes;
};

class CValueReader
{
public:
    explicit CValueReader(const uint8_t* p) : m_p(p) {}
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(m_p[i]) << (8 * i);
        m_p += 4;
        return v;
    }
    int32_t Int() { return static_cast<int32_t>(U32()); }
    // Any non-zero byte counts as set; a byte is never copied into a bool as it stands.
    bool Bool() { return *m_p++ != 0; }
    void Bytes(void* out, size_t n)
    {
        std::memcpy(out, m_p, n);
        m_p += n;
    }
    void Skip(size_t n) { m_p += n; }

private:
    const uint8_t* m_p;
};

// A rectangle a window manager could place: the empty default, or one of
// positive size within any plausible virtual desktop.
bool IsUsableRect(const CRegistry::SRect& r)
{
    if (r == CRegistry::SRect{})
        return true;
    constexpr int32_t limit = 100000;
    auto inRange = [](int32_t v) { return v > -limit && v < limit; };
    return inRange(r.left) && inRange(r.top) && inRange(r.right) && inRange(r.bottom) && r.right > r.left &&
           r.bottom > r.top;
}

// The word is a set of bits, and a word lacking its minimum or maximum bit is
// still one the options page shows (with no radio checked) and keeps as it is;
// only bits that mean nothing mark a damaged value.
bool IsValidFullscaleMode(int32_t mode)
{
    return (mode & ~0x307) == 0;
}

} // namespace

std::string CRegistry::CVeltrane::GetDefaultExt() const
{
    const char* end = std::find(m_szDefaultExt, m_szDefaultExt + 4, '\0');
    return std::string(m_szDefaultExt, end);
}

void CRegistry::CVeltrane::SetDefaultExt(std::string_view ext)
{
    std::memset(m_szDefaultExt, 0, sizeof m_szDefaultExt);
    std::memcpy(m_szDefaultExt, ext.data(), std::min(ext.size(), sizeof m_szDefaultExt));
}

bool CRegistry::CVeltrane::IsDefaultExt(std::string_view ext) const
{
    if (ext.size() > sizeof m_szDefaultExt)
        return false;
    char padded[4] = {0, 0, 0, 0};
    std::memcpy(padded, ext.data(), ext.size());
    return std::memcmp(padded, m_szDefaultExt, sizeof padded) == 0;
}

std::vector<uint8_t> CRegistry::StoreValue()
{
    CValueWriter w;
    const auto& mf = m_CMainFrame;
    w.Int(mf.m_rWnd.left);
    w.Int(mf.m_rWnd.top);
    w.Int(mf.m_rWnd.right);
    w.Int(mf.m_rWnd.bottom);
    w.Int(mf.m_bMaximized);
    w.Int(m_CChildFrame.m_bMaximized);
    w.Bytes(m_CVeltrane.m_szDefaultExt, sizeof m_CVeltrane.m_szDefaultExt);
    w.Int(m_CVeltrane.m_DefaultXPSUnits);
    w.Int(m_COptions.m_iFullscaleMode);
    w.Int(m_COptions.m_iProfileMode);
    const auto& cp = m_CChemPrf;
    w.U32(cp.m_clrSpectra);
    w.U32(cp.m_clrResult);
    w.U32(cp.m_clrResidual);
    for (bool b : {cp.m_bShowSpectra, cp.m_bShowBackground, cp.m_bShowResult, cp.m_bShowResidual,
                   cp.m_bConstant, cp.m_bMultiShift, cp.m_bInitZero})
        w.Bool(b);
    w.Bool(false); // padding
    w.Int(cp.m_iBackgroundMode);
    const auto& pe = m_CPelomar;
    for (bool b : {pe.m_bGaussLorentz, pe.m_bFixRatio, pe.m_bSubBackground, pe.m_bShowSum, pe.m_bShowResidual,
                   pe.m_bShowBackground, pe.m_bShowMarkers, pe.m_bShowPeaks})
        w.Bool(b);
    w.U32(pe.m_clrBackground);
    w.U32(pe.m_clrComponents);
    w.U32(pe.m_clrResidual);
    w.U32(pe.m_clrSum);
    w.U32(m_CBackground.m_clrBackground);
    return std::move(w.m_bytes);
}

void CRegistry::LoadValue(const uint8_t* data, size_t size)
{
    // A short value overwrites the records only as far as it goes: lay it over
    // the current image and decode the whole image.
    std::vector<uint8_t> image = StoreValue();
    if (data != nullptr && size > 0)
        std::memcpy(image.data(), data, std::min(size, image.size()));

    CValueReader r(image.data());
    auto& mf = m_CMainFrame;
    mf.m_rWnd.left = r.Int();
    mf.m_rWnd.top = r.Int();
    mf.m_rWnd.right = r.Int();
    mf.m_rWnd.bottom = r.Int();
    mf.m_bMaximized = r.Int() != 0;
    m_CChildFrame.m_bMaximized = r.Int() != 0;
    r.Bytes(m_CVeltrane.m_szDefaultExt, sizeof m_CVeltrane.m_szDefaultExt);
    m_CVeltrane.m_DefaultXPSUnits = r.Int();
    m_COptions.m_iFullscaleMode = r.Int();
    m_COptions.m_iProfileMode = r.Int();
    auto& cp = m_CChemPrf;
    cp.m_clrSpectra = r.U32();
    cp.m_clrResult = r.U32();
    cp.m_clrResidual = r.U32();
    for (bool* b : {&cp.m_bShowSpectra, &cp.m_bShowBackground, &cp.m_bShowResult, &cp.m_bShowResidual,
                    &cp.m_bConstant, &cp.m_bMultiShift, &cp.m_bInitZero})
        *b = r.Bool();
    r.Skip(1);
    cp.m_iBackgroundMode = r.Int();
    auto& pe = m_CPelomar;
    for (bool* b : {&pe.m_bGaussLorentz, &pe.m_bFixRatio, &pe.m_bSubBackground, &pe.m_bShowSum,
                    &pe.m_bShowResidual, &pe.m_bShowBackground, &pe.m_bShowMarkers, &pe.m_bShowPeaks})
        *b = r.Bool();
    pe.m_clrBackground = r.U32();
    pe.m_clrComponents = r.U32();
    pe.m_clrResidual = r.U32();
    pe.m_clrSum = r.U32();
    m_CBackground.m_clrBackground = r.U32();

    // Values no feature can use fall back to their defaults, so a damaged or
    // foreign value never puts the window off screen or a mode out of range.
    if (!IsUsableRect(mf.m_rWnd))
        mf.m_rWnd = SRect{};
    const int32_t units = m_CVeltrane.m_DefaultXPSUnits;
    if (units != 2 && units != 3) // KE or BE
        m_CVeltrane.m_DefaultXPSUnits = CVeltrane().m_DefaultXPSUnits;
    if (!IsValidFullscaleMode(m_COptions.m_iFullscaleMode))
        m_COptions.m_iFullscaleMode = COptions().m_iFullscaleMode;
    if (m_COptions.m_iProfileMode < 0 || m_COptions.m_iProfileMode > 2)
        m_COptions.m_iProfileMode = COptions().m_iProfileMode;
    if (cp.m_iBackgroundMode < 0 || cp.m_iBackgroundMode > 3)
        cp.m_iBackgroundMode = CChemPrf().m_iBackgroundMode;
}

void CRegistry::ResetDefaults()
{
    m_CMainFrame = CMainFrame();
    m_CChildFrame = CChildFrame();
    m_CVeltrane = CVeltrane();
    m_COptions = COptions();
    m_CChemPrf = CChemPrf();
    m_CPelomar = CPelomar();
    m_CBackground = CBackground();
}

int CRegistry::Read()
{
    std::string keyPath;
    if (!TryLoadString(IDS_REGISTRY_KEY, keyPath))
        return IDS_LOAD_STRING_FAILED;
    CSettingsKey key(CSettingsKey::CurrentUser, keyPath);
    if (!key.KeyExists())
        return 0; // first start: the defaults stay
    std::vector<uint8_t> value;
    if (!key.ReadBinary(ValueName, value) || value.size() > BufferSize) {
        AfxMessageBox(IDS_REGISTRY_READ_FAILED, MB_ICONERROR);
        throw CUserException();
    }
    if (!value.empty())
        std::memcpy(m_Buffer, value.data(), value.size());
    LoadValue(m_Buffer, value.size());
    return 0;
}

void CRegistry::Write()
{
    const std::vector<uint8_t> value = StoreValue();
    std::memcpy(m_Buffer, value.data(), std::min(value.size(), sizeof m_Buffer));
    std::string keyPath;
    if (!TryLoadString(IDS_REGISTRY_KEY, keyPath))
        return;
    CSettingsKey key(CSettingsKey::CurrentUser, keyPath);
    if (!key.IsWritable()) {
        AfxMessageBox(IDS_REGISTRY_ACCESS_FAILED, MB_ICONERROR);
        return;
    }
    if (!key.WriteBinary(ValueName, value))
        AfxMessageBox(IDS_REGISTRY_SAVE_FAILED, MB_ICONERROR);
}
