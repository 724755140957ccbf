#pragma once
// What the records read of the acquisition sheets when a new document is
// built. The sheets and their pages live in the user interface (acquire/);
// they implement these classes, so the records stay toolkit-free and can be
// tested with plain test doubles. Only what the records read is here.

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

class CRegion;

class CAcquireProfile
{
public:
    enum Method
    {
        DepthProfile = 0,
        AngleResolved = 1,
        TotalReflection = 2,
        Rotary = 3,
    };
    static constexpr int nMethods = 4;

    // One row of a level list: for a depth profile first level, last level and
    // etch time in seconds; for the angle methods from, to and step in degrees.
    class CLevelInfo
    {
    public:
        // Marks an absent value.
        static constexpr double NotValid = std::numeric_limits<double>::infinity();

        CLevelInfo() = default;
        CLevelInfo(double first, double to, double third) : m_dFrom(first), m_dTo(to), m_dStep(third) {}

        // None of the three is absent (NaN counts as absent).
        bool IsValid() const { return Set(m_dFrom) && Set(m_dTo) && Set(m_dStep); }
        bool IsEmpty() const { return !Set(m_dFrom) && !Set(m_dTo); }
        bool operator<(const CLevelInfo& o) const
        {
            return m_dFrom < o.m_dFrom || (m_dFrom == o.m_dFrom && m_dTo < o.m_dTo);
        }
        // How many angles from, from + step, ... up to to make (an angle row's
        // levels). A to that decimal steps miss by a rounding error counts as
        // reached: 0 to 0.7 by 0.1 is eight angles, though 0.7 / 0.1 is a hair
        // under 7 in binary. Zero or less, infinite or not a number for a row
        // that makes no angles (a step of 0 or of the wrong sign); the callers
        // clamp.
        static double AngleCount(double from, double to, double step)
        {
            const double q = (to - from) / step;
            return std::floor(q + 1e-9 * std::max(1.0, std::fabs(q))) + 1.0;
        }

        double m_dFrom = NotValid;
        double m_dTo = NotValid;
        double m_dStep = NotValid;

    private:
        static bool Set(double v) { return v < NotValid || v > NotValid; }
    };

    virtual ~CAcquireProfile() = default;
    // The rows of a method (0..3), valid rows followed by one empty row.
    virtual const std::vector<CLevelInfo>* GetLevelList(int method) const = 0;
};

class CAcquireGroup
{
public:
    virtual ~CAcquireGroup() = default;
    virtual const CAcquireProfile* GetProfile() const = 0;
    virtual const std::vector<CRegion*>* GetRegions() const = 0;
};

// --- XPS sheet -------------------------------------------------------------

class CAcquireXPS_Exp
{
public:
    virtual ~CAcquireXPS_Exp() = default;
    virtual int GetNumPosns() const = 0; // positions entered for the current movement type

    std::string m_csComment;
};

class CAcquireXPS_Src
{
public:
    virtual ~CAcquireXPS_Src() = default;

    int m_iType = 0;        // anode: Mg Ka 0, Al Ka 1, other energy 2
    int m_bAuto = 0;        // switch the X-rays off at the end
    double m_dEnergy = 0.0; // photon energy, eV
    double m_dCurrent = 0.0;
    double m_dVoltage = 0.0;
};

class CAcquireXPS_Stg
{
public:
    // One table row: a range of position numbers (for Planar the X and Y of a
    // point, for Linear the first and last point), its group and a comment.
    struct CGridRow
    {
        double m_dFirst = CAcquireProfile::CLevelInfo::NotValid;
        double m_dLast = CAcquireProfile::CLevelInfo::NotValid;
        std::string m_csGroup = "Default";
        std::string m_csComment;
    };

    virtual ~CAcquireXPS_Stg() = default;
    // The group of that name, or null.
    virtual const CAcquireGroup* GetGroup(const std::string& name) const = 0;

    // One list of rows per movement type (CAcquireXPS::MoveType).
    std::vector<CGridRow> m_GridData[6];
};

class CAcquireXPS_Prf
{
public:
    virtual ~CAcquireXPS_Prf() = default;

    int m_bManual = 0; // etching by hand
    int m_iGun = 0;    // MIED 0, HSIG 1
    int m_iPreset = 0; // position of the chosen preset in the page's list, from 0
    int m_iDuty = 0;   // position of the chosen duty cycle in the page's list, from 0
};

class CAcquireXPS_Rgn
{
public:
    virtual ~CAcquireXPS_Rgn() = default;

    int m_iAnalyserMode = 0;   // 0 "CAE", 1 "CRR"
    int m_iWidescanMode = 0;   // 0 average, 1 refresh
    int m_iNarrowscanMode = 0; // 0 across, 1 down
    std::vector<CRegion*> m_WidescanRegions;
    std::vector<CRegion*> m_ImageRegions;
};

class CAcquireXPS_Img
{
public:
    virtual ~CAcquireXPS_Img() = default;
    virtual double GetStep() const = 0; // the step in step mode, else 1.0
    virtual double GetXStep() const = 0;
    virtual double GetYStep() const = 0;
    virtual int GetXSize() const = 0;
    virtual int GetYSize() const = 0;

    int m_iMode = 0; // image 0, line scan 1
    double m_dX1 = 0.0;
    double m_dX2 = 0.0;
    double m_dY1 = 0.0;
    double m_dY2 = 0.0;
};

class CAcquireXPS
{
public:
    enum ExpType
    {
        Widescan = 0,
        Narrowscan = 1,
        DepthProfile = 2,
        AngleResolved = 3,
        TotalReflection = 4,
        Image = 5,
    };
    enum MoveType
    {
        None = 0,
        Planar = 1,
        Normal = 2,
        Linear = 3,
        Memory = 4,
        Rotary = 5,
    };

    virtual ~CAcquireXPS() = default;
    virtual const CAcquireXPS_Exp* GetExpPage() const = 0;
    virtual const CAcquireXPS_Src* GetSrcPage() const = 0;
    virtual const CAcquireXPS_Stg* GetStgPage() const = 0;
    virtual const CAcquireXPS_Prf* GetPrfPage() const = 0;
    virtual const CAcquireXPS_Rgn* GetRgnPage() const = 0;
    virtual const CAcquireXPS_Img* GetImgPage() const = 0;
    virtual int GetExpType() const = 0;
    virtual int GetMoveType() const = 0;
    // The profiling page's fast-scan flag for the profile types or a Rotary movement, else 0.
    virtual int FastScanMode() const = 0;
};

// --- AES sheet -------------------------------------------------------------

class CAcquireAES_Exp
{
public:
    virtual ~CAcquireAES_Exp() = default;

    std::string m_csComment;
};

class CAcquireAES_Prf
{
public:
    virtual ~CAcquireAES_Prf() = default;

    int m_bManual = 0; // etching by hand
    // Depth-profile rows (first level, last level, etch time), valid rows then one empty row.
    const std::vector<CAcquireProfile::CLevelInfo>* m_pLevelList = nullptr;
};

class CAcquireAES_Scn
{
public:
    enum ScanControl
    {
        None = 0,
        Point = 1,
        AreaScan = 2,
        FullScan = 3,
    };
    // Beam coordinates on the 1024 x 1024 grid from -512 to 511.
    struct CScanPoint
    {
        int x = 0;
        int y = 0;
        bool operator==(const CScanPoint&) const = default;
    };
    struct CScanArea
    {
        int x0 = 0;
        int y0 = 0;
        int x1 = 0;
        int y1 = 0;
        bool operator==(const CScanArea&) const = default;
    };

    virtual ~CAcquireAES_Scn() = default;
    // The scan control for the spectrum and profile types, None for the two image types.
    virtual int GetMoveType() const = 0;
    virtual int GetSize() const = 0;  // image size in pixels: 256, 512 or 1024
    virtual int GetResol() const = 0; // resolution divisor
    virtual int GetMag() const = 0;
    virtual bool UseAreas() const = 0;
    virtual bool UsePts() const = 0;
    // In entry order.
    virtual const std::vector<CScanPoint>& GetPointList() const = 0;
    virtual const std::vector<CScanArea>& GetAreaList() const = 0;

    int m_bLinescan = 0;
};

class CAcquireAES_Rgn
{
public:
    virtual ~CAcquireAES_Rgn() = default;

    int m_iAnalyserMode = 0;   // 0 "CAE", 1 "CRR"
    int m_iWidescanMode = 0;   // 0 average, 1 refresh
    int m_iNarrowscanMode = 0; // 0 across, 1 down
    std::vector<CRegion*> m_WidescanRegions;
    std::vector<CRegion*> m_NarrowscanRegions;
    std::vector<CRegion*> m_ImageRegions;
};

class CAcquireAES
{
public:
    enum ExpType
    {
        Widescan = 0,
        Narrowscan = 1,
        Profile = 2,
        FastProfile = 3,
        AugerImage = 4,
        SEImage = 5,
    };

    virtual ~CAcquireAES() = default;
    virtual const CAcquireAES_Exp* GetExpPage() const = 0;
    virtual const CAcquireAES_Scn* GetScnPage() const = 0;
    virtual const CAcquireAES_Prf* GetPrfPage() const = 0;
    virtual const CAcquireAES_Rgn* GetRgnPage() const = 0;
    virtual int GetExpType() const = 0;
    virtual bool FastScanMode() const = 0; // true for the fast profile
};
