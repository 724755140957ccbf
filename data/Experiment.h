#pragma once
// The experiment of a document as a whole: what was measured, with which
// technique, how the sample was moved, who ran it and when. Stored as block 1
// of the data file; its first field, the experiment type, stands at file
// offset 32 and chooses the view template before the file is loaded.

#include "platform/Archive.h"

#include <cstdint>
#include <string>

class CAcquireXPS;
class CAcquireAES;
class CFile;

class CExperiment
{
public:
    static constexpr uint16_t BlockID = 1;
    static constexpr uint16_t FileVersion = 3;

    enum ExpType
    {
        Widescan = 0x101,
        Narrowscan = 0x102,
        Profile = 0x104,
        FastProfile = 0x404,
        Image = 0x201,
        SEImage = 0x202,
    };
    enum DataType
    {
        SpectralData = 0x100,
        ImageData = 0x200,
        ProfileData = 0x400,
        DataTypeMask = 0x700,
    };
    enum ProfileType
    {
        NoProfile = 0,
        DepthProfile = 1,
        AngleResolved = 2,
        TotalReflection = 3,
    };
    enum ScanType
    {
        Fast = 0,
        Full = 1,
    };
    enum Technique
    {
        AES = 1,
        XPS = 2,
        UPS = 4,
    };
    // m_MoveType of XPS experiments: the stage movement.
    enum MoveType
    {
        None = 0,
        Planar = 1,
        Normal = 2,
        Linear = 3,
        Memory = 4,
        Rotary = 5,
    };
    // m_MoveType of AES experiments: the beam's scan control.
    enum ScanControl
    {
        NoScan = 0,
        Point = 1,
        AreaScan = 2,
        FullScan = 3,
    };
    // m_iDetector bits of AES experiments.
    enum Detector
    {
        Differential = 1,
        CMA = 2,
        HSA = 4,
    };

    CExperiment() = default;
    explicit CExperiment(const CAcquireXPS* pSheet);
    explicit CExperiment(const CAcquireAES* pSheet);
    CExperiment(const CExperiment&) = default;
    CExperiment& operator=(const CExperiment&) = default;
    virtual ~CExperiment() = default;

    // Writes block 1 (identifier included) with a patched length.
    CArchive& operator>>(CArchive& ar) const;
    // Reads block 1 after its identifier. Fields a block of an older version
    // lacks keep their values; fields of newer versions are skipped.
    CArchive& operator<<(CArchive& ar);

    // The experiment type of a data file positioned just after its header,
    // without loading it. A type without a data bit abandons the command with
    // message 2069.
    static int GetExpType(CFile* pFile);

    int GetExpType() const { return m_ExpType; }
    int GetDataType() const { return m_DataType; }
    int GetMoveType() const { return m_MoveType; }
    int GetProfileType() const { return m_ProfileType; }
    int GetScanType() const { return m_ScanType; }
    int GetTechnique() const { return m_Technique; }
    double GetMag() const { return m_dMag; }
    double GetOffset() const { return m_dOffset; }
    double GetStep() const { return m_dStep; }
    int GetDetector() const { return m_iDetector; }
    int GetNumStagePosns() const { return m_nStagePosns; }
    int GetSize() const { return m_iSize; }
    int GetResol() const { return m_iResol; }
    int GetManualEtchFlag() const { return m_bManualEtch; }
    int GetRotateFlag() const { return m_bRotate; }
    int GetAutoFlag() const { return m_bAutoOff; }
    const std::string& GetOperator() const { return m_csOperator; }
    const std::string& GetComment() const { return m_csComment; }
    const COleDateTime* GetTime() const { return &m_cTime; }

private:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    std::string m_csOperator;
    std::string m_csComment;
    COleDateTime m_cTime;
    int32_t m_DataType = 0;
    int32_t m_ExpType = 0;
    int32_t m_MoveType = 0;
    int32_t m_ProfileType = 0;
    int32_t m_ScanType = 0;
    int32_t m_Technique = 0;
    double m_dOffset = 0.0;
    int32_t m_iDetector = 0;
    int32_t m_nStagePosns = 0;
    int32_t m_iSize = 0;
    int32_t m_iResol = 1;
    double m_dMag = 1.0;
    double m_dStep = 1.0;
    int32_t m_bAutoOff = 0;
    int32_t m_bRotate = 0;
    int32_t m_bManualEtch = 0;
};
