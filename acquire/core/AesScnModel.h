#pragma once
// The AES scan-control page's model: how the beam is placed (points, areas,
// the full field), the image size, magnification and resolution, and the
// point and area lists in scan coordinates. The lists are edited as the
// page's table shows them: one entry a row, the list in use chosen by the
// experiment type and the scan control.

#include "acquire/core/AesScan.h"
#include "data/AcquireSheet.h"

#include <cstdint>
#include <vector>

class CArchive;
class CVeltraneDoc;

class CAesScnModel : public CAcquireAES_Scn
{
public:
    int GetMoveType() const override;
    int GetSize() const override { return m_iImageSize; }
    int GetResol() const override { return m_iResol; }
    int GetMag() const override { return m_iMag; }
    bool UseAreas() const override;
    bool UsePts() const override;
    bool UseLinescan() const;
    const std::vector<CScanPoint>& GetPointList() const override { return m_Points; }
    const std::vector<CScanArea>& GetAreaList() const override { return m_Areas; }

    int GetStartPosn() const { return 0; }
    // The index of the last stage position Start makes (the first is 0).
    int GetEndPosn() const;
    // The checks at Start; throws CAcqException.
    void ErrorCheck() const;
    // The page's section of the settings file. Load throws
    // CArchiveException on a short or corrupt section and then changes
    // nothing.
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
    // From a stored AES document.
    void LoadFromDocument(const CVeltraneDoc& doc);

    // The list in use (areas when UseAreas, else points), as table rows.
    int EntryCount() const;
    // The columns an entry has: 4 for an area, 2 for a point.
    int EntryColumns() const { return UseAreas() ? 4 : 2; }
    // Scan value of a column of an entry; missing where there is none.
    int32_t GetItem(int col, int row) const;
    // Nothing when there is no such entry or column.
    void SetItem(int col, int row, int32_t value);
    bool IsEmptyEntry(int row) const;
    void AddEntry();
    // Before row (appended at EntryCount()); false out of range.
    bool InsertEntry(int row);
    bool DeleteEntry(int row);
    // Removes every entry with all values missing except the one at row,
    // which follows its entry.
    void Compact(int& row);
    int& Selection() { return UseAreas() ? m_iSelArea : m_iSelPt; }

    // The set-up's experiment type (CAcquireAES::ExpType), which the
    // answers above depend on; set by the set-up.
    const int* m_pExpType = nullptr;
    int m_iControl = None;
    int m_iImageSize = 256;
    int m_iMag = 1;
    int m_iResol = 1;
    std::vector<CScanPoint> m_Points;
    std::vector<CScanArea> m_Areas;
    // Selected rows of the two lists, -1 for none.
    int m_iSelPt = -1;
    int m_iSelArea = -1;

private:
    int ExpType() const { return m_pExpType ? *m_pExpType : CAcquireAES::Widescan; }
    bool IsImage() const;
};
