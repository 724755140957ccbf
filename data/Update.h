#pragma once
// The hints passed with a document's update of its views. The sender builds
// the record on its own stack and passes its address as the long hint
// argument; no receiver keeps the address after the update returns.

#include <cstdint>

class CVeltraneDoc;

// The messages that carry acquired data; an SAcqUpdate names the one that
// carried it.
enum : unsigned
{
    WMAPP_ACQ_SPECTRALDATA = 0x8003,
    WMAPP_ACQ_INTENSITYDATA = 0x8004,
    WMAPP_ACQ_IMAGEDATA = 0x8005,
};

struct SUpdate
{
    enum UpdateType : int32_t
    {
        Acquire = 0,
        Process = 1,
        UnitChange = 2,
        DispMode = 3,
        AcqEnd = 4,
    };
    explicit SUpdate(UpdateType type) : m_iUpdateType(type) {}

    UpdateType m_iUpdateType;
};

// One block of acquired data from the acquisition engine.
struct SAcqUpdate : SUpdate
{
    SAcqUpdate(CVeltraneDoc* pDoc, unsigned char* pbData, int iPosn, int iRgn, int iTrace, int iScan,
               int iStart, int iEnd, int iLine, int iKind, int iType)
        : SUpdate(Acquire), m_pDoc(pDoc), m_pbData(pbData), m_iPosn(iPosn), m_iRgn(iRgn), m_iTrace(iTrace),
          m_iScan(iScan), m_iStart(iStart), m_iEnd(iEnd), m_iLine(iLine), m_iKind(iKind), m_iType(iType)
    {
    }

    CVeltraneDoc* m_pDoc;
    // Valid only during the update (the link's next read overwrites it). The
    // values are native-order 32-bit ints, or bytes for secondary-electron
    // lines; not necessarily aligned.
    unsigned char* m_pbData;
    int m_iPosn;  // stage position, from 0
    int m_iRgn;   // region within the position, from 0
    int m_iTrace; // curve (point or level); for intensity data of an image region the pixel
    int m_iScan;  // scans done before this one
    int m_iStart; // first point, from 1 (intensity data: 1)
    int m_iEnd;   // last point, from 1 (intensity data: the number of values, 1 to 3)
    int m_iLine;  // image data: line, from 1
    int m_iKind;  // image data: 0 peak, 1 first background, 2 second background, -1 secondary electrons
    int m_iType;  // WMAPP_ACQ_SPECTRALDATA, WMAPP_ACQ_INTENSITYDATA or WMAPP_ACQ_IMAGEDATA
};

// The acquisition into the document has ended, whether it went well, was
// stopped, aborted or failed: what a view held back (its throttled repaints)
// is shown now.
struct SAcqEndUpdate : SUpdate
{
    SAcqEndUpdate() : SUpdate(AcqEnd) {}
};

// A range of the displayed data changed in place. End values are exclusive;
// 0x7FFFFFFF, or any value at least the number of items, means up to the last.
struct SViewUpdate : SUpdate
{
    SViewUpdate(uint32_t uiWnd, uint32_t uiPlane, uint32_t uiTrace, uint32_t uiPt, uint32_t nWnds,
                uint32_t nPlanes, uint32_t nTraces, uint32_t nPts, uint32_t uiFlags)
        : SUpdate(Process), m_uiWnd(uiWnd), m_uiPlane(uiPlane), m_uiTrace(uiTrace), m_uiPt(uiPt),
          m_nWnds(nWnds), m_nPlanes(nPlanes), m_nTraces(nTraces), m_nPts(nPts), m_uiFlags(uiFlags)
    {
    }

    uint32_t m_uiWnd;
    uint32_t m_uiPlane;
    uint32_t m_uiTrace;
    uint32_t m_uiPt;
    uint32_t m_nWnds;
    uint32_t m_nPlanes;
    uint32_t m_nTraces;
    uint32_t m_nPts;
    uint32_t m_uiFlags;
};

// The receiver reads the new unit from the application.
struct SUnitUpdate : SUpdate
{
    SUnitUpdate() : SUpdate(UnitChange) {}
};

// The receiver reads the new profile display mode from the display options.
struct SDispModeUpdate : SUpdate
{
    SDispModeUpdate() : SUpdate(DispMode) {}
};
