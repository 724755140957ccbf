#include "data/Experiment.h"

#include "data/AcquireSheet.h"
#include "data/Header.h"
#include "data/InstrumentInfo.h"
#include "data/Utility.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/System.h"

#include <cassert>

CExperiment::CExperiment(const CAcquireXPS* pSheet)
{
    m_csOperator = GetUserName();
    m_csComment = pSheet->GetExpPage()->m_csComment;
    m_cTime = COleDateTime::GetCurrentTime();
    m_dOffset = GetInstrumentInfo().GetOffset();
    m_MoveType = pSheet->GetMoveType();
    m_nStagePosns = pSheet->GetExpPage()->GetNumPosns();
    m_ScanType = pSheet->FastScanMode() ? Fast : Full;
    m_Technique = XPS;
    m_iDetector = 0;
    m_bAutoOff = pSheet->GetSrcPage()->m_bAuto ? 1 : 0;
    m_bManualEtch = pSheet->GetPrfPage()->m_bManual ? 1 : 0;
    m_bRotate = 0;

    const int profileCode = m_ScanType == Full ? Profile : FastProfile;
    switch (pSheet->GetExpType()) {
    case CAcquireXPS::Widescan:
        m_DataType = SpectralData, m_ExpType = Widescan, m_ProfileType = NoProfile;
        break;
    case CAcquireXPS::Narrowscan:
        m_DataType = SpectralData, m_ExpType = Narrowscan, m_ProfileType = NoProfile;
        break;
    case CAcquireXPS::DepthProfile:
        m_DataType = SpectralData, m_ExpType = profileCode, m_ProfileType = DepthProfile;
        break;
    case CAcquireXPS::AngleResolved:
        m_DataType = SpectralData, m_ExpType = profileCode, m_ProfileType = AngleResolved;
        break;
    case CAcquireXPS::TotalReflection:
        m_DataType = SpectralData, m_ExpType = profileCode, m_ProfileType = TotalReflection;
        break;
    case CAcquireXPS::Image:
        m_DataType = ImageData, m_ExpType = Image, m_ProfileType = NoProfile;
        m_dStep = pSheet->GetImgPage()->GetStep();
        break;
    default:
        assert(!"unknown XPS experiment type");
        break;
    }
}

CExperiment::CExperiment(const CAcquireAES* pSheet)
{
    const IInstrumentInfo& instrument = GetInstrumentInfo();
    const CAcquireAES_Scn* scan = pSheet->GetScnPage();
    m_csOperator = GetUserName();
    m_csComment = pSheet->GetExpPage()->m_csComment;
    m_cTime = COleDateTime::GetCurrentTime();
    m_dOffset = instrument.GetOffset();
    m_MoveType = scan->GetMoveType();
    m_nStagePosns = 0;
    m_ScanType = pSheet->GetExpType() == CAcquireAES::FastProfile ? Fast : Full;
    m_Technique = AES;
    m_iSize = scan->GetSize();
    m_iResol = 1;
    m_dMag = 1.0;
    m_bAutoOff = 0;
    m_bRotate = 0;
    m_bManualEtch = pSheet->GetPrfPage()->m_bManual ? 1 : 0;
    m_iDetector = (instrument.GetAESMode() != 0 ? Differential : 0) + (instrument.IsCMA() ? CMA : HSA);

    switch (pSheet->GetExpType()) {
    case CAcquireAES::Widescan:
        m_DataType = SpectralData, m_ExpType = Widescan, m_ProfileType = NoProfile;
        break;
    case CAcquireAES::Narrowscan:
        m_DataType = SpectralData, m_ExpType = Narrowscan, m_ProfileType = NoProfile;
        break;
    case CAcquireAES::Profile:
        m_DataType = SpectralData, m_ExpType = Profile, m_ProfileType = DepthProfile;
        break;
    case CAcquireAES::FastProfile:
        m_DataType = SpectralData, m_ExpType = FastProfile, m_ProfileType = DepthProfile;
        break;
    case CAcquireAES::AugerImage:
        m_DataType = ImageData, m_ExpType = Image, m_ProfileType = NoProfile;
        m_MoveType = NoScan;
        if (!scan->m_bLinescan)
            m_iResol = scan->GetResol();
        m_dMag = scan->GetMag();
        break;
    case CAcquireAES::SEImage:
        m_DataType = ImageData, m_ExpType = SEImage, m_ProfileType = NoProfile;
        m_MoveType = NoScan;
        m_dMag = scan->GetMag();
        break;
    default:
        assert(!"unknown AES experiment type");
        break;
    }
}

CArchive& CExperiment::operator>>(CArchive& ar) const
{
    const uint64_t lengthPos = Block::BeginBlock(ar, BlockID, FileVersion);
    ar << m_ExpType << m_Technique << m_csOperator << m_csComment << m_cTime << m_DataType << m_MoveType
       << m_ProfileType << m_ScanType << m_dOffset << m_nStagePosns << m_iSize << m_iResol << m_dMag
       << m_bAutoOff << m_bRotate << m_bManualEtch << m_dStep << m_iDetector;
    Block::EndBlock(ar, lengthPos);
    return ar;
}

CArchive& CExperiment::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    ar >> m_ExpType >> m_Technique;
    Block::ReadString(ar, m_csOperator, head.end);
    Block::ReadString(ar, m_csComment, head.end);
    ar >> m_cTime >> m_DataType >> m_MoveType >> m_ProfileType >> m_ScanType >> m_dOffset >> m_nStagePosns >>
        m_iSize >> m_iResol >> m_dMag >> m_bAutoOff >> m_bRotate >> m_bManualEtch;
    if (head.version > 1)
        ar >> m_dStep;
    if (head.version > 2)
        ar >> m_iDetector;
    Block::MoveToEnd(ar, head);
    return ar;
}

int CExperiment::GetExpType(CFile* pFile)
{
    uint8_t bytes[4];
    pFile->Seek(8, CFile::current);
    if (pFile->Read(bytes, 4) != 4)
        throw CArchiveException(CArchiveException::endOfFile);
    const int type = static_cast<int>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                      uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
    if ((type & DataTypeMask) == 0)
        CUtility::ThrowError(2069, pFile->GetFileTitle().c_str());
    return type;
}
