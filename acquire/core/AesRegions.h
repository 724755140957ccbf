#pragma once
// The AES regions page's model: the wide-scan, narrow-scan and image region
// lists (the wide-scan region can stand in the other two as well; the model
// owns every region exactly once), the scan and analyser modes.

#include "data/AcquireSheet.h"

class CArchive;
class CVeltraneDoc;

class CAesRgnModel : public CAcquireAES_Rgn
{
public:
    // The wide-scan region: retard ratio "High" with a cylindrical mirror analyser, else "Low".
    explicit CAesRgnModel(bool cma = false);
    ~CAesRgnModel() override;
    CAesRgnModel(const CAesRgnModel&) = delete;
    CAesRgnModel& operator=(const CAesRgnModel&) = delete;

    CRegion* GetWidescanRgn() { return m_WidescanRegions.front(); }
    const CRegion* GetWidescanRgn() const { return m_WidescanRegions.front(); }

    // The list the regions page shows for an experiment type (null for the SE image).
    void OnExpTypeChange(int expType);
    // The checks at Start; throws CAcqException.
    void ErrorCheck(int expType) const;
    // The page's section of the settings file.
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
    // From a stored AES document whose experiment type is expType.
    void LoadFromDocument(const CVeltraneDoc& doc, int expType);

    std::vector<CRegion*>* m_pRgnList = &m_WidescanRegions;
};
