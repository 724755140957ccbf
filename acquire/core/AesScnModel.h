#pragma once
// The AES scan-control page's model: how the beam is placed (points, areas,
// the full field), the image size, magnification and resolution, and the
// point and area lists in scan coordinates.

#include "acquire/core/AesScan.h"
#include "data/AcquireSheet.h"

#include <vector>

class CArchive;
class CVeltraneDoc;

class CAesScnModel : public CAcquireAES_Scn
{
public:
    int GetMoveType() const override { return m_iControl; }
    int GetSize() const override { return m_iImageSize; }
    int GetResol() const override { return m_iResol; }
    int GetMag() const override { return m_iMag; }
    bool UseAreas() const override { return m_iControl == AreaScan; }
    bool UsePts() const override { return m_iControl == Point; }
    const std::vector<CScanPoint>& GetPointList() const override { return m_Points; }
    const std::vector<CScanArea>& GetAreaList() const override { return m_Areas; }

    // The index of the last stage position Start makes (the first is 0).
    int GetEndPosn() const;
    // The checks at Start; throws CAcqException.
    void ErrorCheck() const;
    // The page's section of the settings file.
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
    // From a stored AES document.
    void LoadFromDocument(const CVeltraneDoc& doc);

    // The set-up's experiment type (CAcquireAES::ExpType), which the
    // answers above depend on; set by the set-up.
    const int* m_pExpType = nullptr;
    int m_iControl = None;
    int m_iImageSize = 256;
    int m_iMag = 1000;
    int m_iResol = 1;
    std::vector<CScanPoint> m_Points;
    std::vector<CScanArea> m_Areas;
};
