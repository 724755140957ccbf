#pragma once
// The AES scan-control page's model: how the beam is placed (points, areas,
// the full field), the image size, magnification and resolution, and the
// point and area lists in scan coordinates.

#include "acquire/core/AesScan.h"
#include "data/AcquireSheet.h"

#include <vector>

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

    int m_iControl = None;
    int m_iImageSize = 256;
    int m_iMag = 1000;
    int m_iResol = 1;
    std::vector<CScanPoint> m_Points;
    std::vector<CScanArea> m_Areas;
};
