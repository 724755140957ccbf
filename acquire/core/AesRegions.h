#pragma once
// The AES regions page's model: the wide-scan, narrow-scan and image region
// lists (the wide-scan region can stand in the other two as well; the model
// owns every region exactly once), the scan and analyser modes, and the
// edits the page's table and the periodic table make to the list shown.

#include "data/AcquireSheet.h"
#include "data/formats/PkLib.h"

#include <cstdint>
#include <string>
#include <vector>

class CArchive;
class CVeltraneDoc;

class CAesRgnModel : public CAcquireAES_Rgn
{
public:
    // The table's rows; rows 2 to 4 hold Peak, Bk1 and Bk2 in peak mode.
    enum Rows
    {
        Element,
        Region,
        Start,
        Finish,
        Step,
        Dwell,
        Pass,
        Scans,
        Repeat,
    };

    // The wide-scan region: retard ratio "High" with a cylindrical mirror analyser, else "Low".
    explicit CAesRgnModel(bool cma = false);
    ~CAesRgnModel() override;
    CAesRgnModel(const CAesRgnModel&) = delete;
    CAesRgnModel& operator=(const CAesRgnModel&) = delete;

    CRegion* GetWidescanRgn() { return m_WidescanRegions.front(); }
    const CRegion* GetWidescanRgn() const { return m_WidescanRegions.front(); }

    // The list the regions page shows for an experiment type (null for the SE image).
    void OnExpTypeChange(int expType);
    int ExpType() const { return m_iExpType; }
    std::vector<CRegion*>* ListFor(int expType);
    // Regions shown and checked as peak and backgrounds.
    static bool PeakMode(int expType);
    // The repeat count is edited and checked.
    static bool RepeatUsed(int expType);

    // The list shown, as a count (0 without one) and by column (null beyond it).
    int NumRegions() const { return m_pRgnList ? int(m_pRgnList->size()) : 0; }
    CRegion* RegionAt(int col) const;
    bool IsWide(const CRegion* r) const { return r && r == GetWidescanRgn(); }
    // The wide-scan region stands in the list shown.
    bool WidescanUsed() const;
    // "Wide" is offered in the Element list of column col.
    bool OffersWide(int col) const;

    // Step 0.1 eV, dwell 100 ms, one scan, repeat 1, "High", pass 10 eV.
    static void SetRegionDefaults(CRegion& r);
    // The region of element's peak in column col (a new one at or beyond
    // the end); null element: the wide-scan region. peak: the library's
    // index, or -1 for the element's default Auger peak. True when a
    // region was appended.
    bool UpdateRegion(const CPkLibElement* element, int col, int peak);
    // The periodic table's additions and removals.
    void AddRegion(const CPkLibElement* element, int peak) { UpdateRegion(element, NumRegions(), peak); }
    // The Auger peak chosen in the Region list of col (its index among the
    // element's Auger peaks); false when the column holds no library element.
    bool ChoosePeak(const CPkLib& lib, int col, int augerIndex, const std::string& text);
    // The Pass item chosen; false for an empty item or a column without region.
    bool ChoosePass(int col, const std::string& item);
    // Stores the text typed into a cell of a column with a region; energies
    // are cut down to the resolution. True when the text had to be rewritten
    // (text then holds what the cell shows).
    bool EditCell(int col, int row, std::string& text);

    // Removes the region of col from the list shown; it is deleted unless it
    // is the wide-scan region.
    void DeleteRegion(int col);
    // The clipboard record of col's region, and its format (CF_WDERGN for
    // the wide-scan region, else CF_NRWRGN); empty without a region.
    std::vector<uint8_t> CopyRegion(int col, unsigned& format) const;
    // Inserts a region read from a clipboard block before col (appends at
    // the end). CF_WDERGN: the region becomes the wide-scan region in every
    // list. False, with nothing changed, for the wide-scan list or a block
    // that holds no whole record.
    bool PasteRegion(int col, unsigned format, const uint8_t* data, size_t size);
    // The pop-up menu's enable rules for column col.
    bool CanPaste(int col, bool hasNarrow, bool hasWide) const;
    bool CanCut(int col) const;
    bool CanCopy(int col) const { return RegionAt(col) != nullptr; }

    // The checks at Start; throws CAcqException.
    void ErrorCheck(int expType) const;
    // The page's section of the settings file. Load replaces the lists only
    // once the whole section was read; on a short file nothing changes.
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
    // From a stored AES document whose experiment type is expType.
    void LoadFromDocument(const CVeltraneDoc& doc, int expType);

    std::vector<CRegion*>* m_pRgnList = &m_WidescanRegions;

private:
    void EmptyRegionLists();
    // r takes the wide-scan region's place in every list; the old one is deleted.
    void ReplaceWide(CRegion* r);
    void ApplyPeak(CRegion& r, const CPkLibPeak& peak, bool peakMode) const;

    int m_iExpType = CAcquireAES::Widescan;
    CPkLibPeak m_DefaultPk;
};
