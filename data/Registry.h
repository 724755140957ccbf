#pragma once
// The per-user settings of the program, kept together as one binary value
// "Settings" under the user key "Software\Kestrin (UK) Ltd\Veltrane\1.0".
// Each feature owns one fixed-layout record; the records are static members,
// set to their defaults before start-up, filled from the stored value once at
// start-up and written back once at exit by the application object.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CVeltrane;

// A colour as stored: the bytes red, green, blue, 0 (little-endian).
using COLORREF = uint32_t;

class CRegistry
{
public:
    // Size of the value this layout writes, and the most a stored value may hold.
    static constexpr size_t ValueSize = 92;
    static constexpr size_t BufferSize = 512;

    struct SRect
    {
        int32_t left = 0;
        int32_t top = 0;
        int32_t right = 0;
        int32_t bottom = 0;
        bool IsEmpty() const { return right <= left || bottom <= top; }
        bool operator==(const SRect&) const = default;
    };

    class CMainFrame
    {
        friend class CRegistry;
        CMainFrame() = default;

    public:
        SRect m_rWnd;             // normal position of the main window; empty: let the system place it
        int32_t m_bMaximized = 0; // the main window was maximised at exit
    };

    class CChildFrame
    {
        friend class CRegistry;
        CChildFrame() = default;

    public:
        int32_t m_bMaximized = 0; // the last child window destroyed was maximised
    };

    class CVeltrane
    {
        friend class CRegistry;
        CVeltrane() = default;

    public:
        // Extension of the file-dialog filter chosen last: up to 4 bytes,
        // zero-padded, not necessarily terminated.
        char m_szDefaultExt[4] = {0, 0, 0, 0};
        int32_t m_DefaultXPSUnits = 3; // CVeltrane::Unit, BE

        // The extension as text (bytes up to the first zero, at most 4).
        std::string GetDefaultExt() const;
        // Keeps the first 4 bytes of ext, zero-padded.
        void SetDefaultExt(std::string_view ext);
        // Compares over all 4 bytes, as a zero-padded field.
        bool IsDefaultExt(std::string_view ext) const;
    };

    class COptions
    {
        friend class CRegistry;
        COptions() = default;

    public:
        int32_t m_iFullscaleMode = 0; // 0: the options sheet supplies its default
        int32_t m_iProfileMode = 0;   // 1 stacked, 2 offset; 0: the options sheet's default
    };

    class CChemPrf
    {
        friend class CRegistry;
        CChemPrf() = default;

    public:
        COLORREF m_clrSpectra = 0xFF00FF;
        COLORREF m_clrResult = 0x0000FF;
        COLORREF m_clrResidual = 0x1F1F1F;
        bool m_bShowSpectra = true;
        bool m_bShowBackground = true;
        bool m_bShowResult = true;
        bool m_bShowResidual = true;
        bool m_bConstant = true;
        bool m_bMultiShift = false;
        bool m_bInitZero = false;
        int32_t m_iBackgroundMode = 3; // 0 none, 1 minimum, 2 linear, 3 Shirley
    };

    class CPelomar
    {
        friend class CRegistry;
        CPelomar() = default;

    public:
        bool m_bGaussLorentz = true;
        bool m_bFixRatio = false;
        bool m_bSubBackground = true;
        bool m_bShowSum = true;
        bool m_bShowResidual = true;
        bool m_bShowBackground = true;
        bool m_bShowMarkers = true;
        bool m_bShowPeaks = true;
        COLORREF m_clrBackground = 0;
        COLORREF m_clrComponents = 0x0000FF;
        COLORREF m_clrResidual = 0x3F3F3F;
        COLORREF m_clrSum = 0xFF00FF;
    };

    class CBackground
    {
        friend class CRegistry;
        CBackground() = default;

    public:
        COLORREF m_clrBackground = 0x007F00;
    };

    static CMainFrame m_CMainFrame;
    static CChildFrame m_CChildFrame;
    static CVeltrane m_CVeltrane;
    static COptions m_COptions;
    static CChemPrf m_CChemPrf;
    static CPelomar m_CPelomar;
    static CBackground m_CBackground;

    // The settings value as the records stand now (ValueSize bytes).
    static std::vector<uint8_t> StoreValue();
    // Fills the records from a stored value. A shorter value fills the records
    // in order as far as it goes; bytes past ValueSize are ignored. Fields
    // that hold no usable value afterwards (an unknown unit or mode, a window
    // rectangle no screen can show) take their defaults.
    static void LoadValue(const uint8_t* data, size_t size);

private:
    friend class ::CVeltrane;
    friend struct RegistryTestPeer;

    CRegistry() = default;
    virtual ~CRegistry() = default;

    // 0, or the id of a message for the caller to queue; an unreadable value
    // is reported here and ends in CUserException.
    int Read();
    // Reports its own failures.
    void Write();
    static void ResetDefaults();

    uint8_t m_Buffer[BufferSize] = {};
};
