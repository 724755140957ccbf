#include "data/VeltraneDoc.h"

#include "data/ImportReader.h"
#include "data/Update.h"
#include "platform/Archive.h"
#include "platform/AsciiCase.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

constexpr unsigned IDS_VAMAS_ID = 1073;
constexpr unsigned IDS_UNEXPECTED_EOF = 2065;
constexpr unsigned IDS_UNSUPPORTED_FORMAT = 2066;
constexpr unsigned IDS_UNKNOWN_DATA_TYPE = 2069;
constexpr unsigned IDS_NOT_A_DATA_FILE = 2073;
constexpr unsigned IDS_FAILED_TO_OPEN = 61696;

constexpr size_t IdentBytes = 64;
// Read ahead of the identification, so that a VAMAS identifier after a few
// blank lines is still seen.
constexpr size_t IdentRead = 128;
constexpr std::string_view AppName = "Veltrane";
constexpr std::string_view NorvaleName = "Norvale";
constexpr uint16_t EndOfFile = 0xFFFF;

IImportReader* g_pImportReader = nullptr;

enum class Format
{
    Veltrane,
    Norvale,
    Vamas,
};

bool StartsWith(const uint8_t* bytes, size_t n, std::string_view text)
{
    return n >= text.size() && std::memcmp(bytes, text.data(), text.size()) == 0;
}

bool StartsWithNoCase(const uint8_t* bytes, size_t n, std::string_view text)
{
    return n >= text.size() &&
           AsciiEqualNoCase(std::string_view(reinterpret_cast<const char*>(bytes), text.size()), text);
}

int32_t Int32At(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

// Reads the identification bytes (up to IdentRead, their count in got) from
// the start of the file and leaves the file at its start again; fewer than 64
// bytes is reported with 2065.
bool ReadIdentBytes(CFile& file, uint8_t (&bytes)[IdentRead], size_t& got)
{
    file.SeekToBegin();
    got = 0;
    while (got < IdentRead) {
        const size_t n = file.Read(bytes + got, IdentRead - got);
        if (n == 0)
            break;
        got += n;
    }
    file.SeekToBegin();
    if (got < IdentBytes) {
        AfxMessageBox(FormatMessageId(IDS_UNEXPECTED_EOF, {file.GetFileTitle()}), MB_ICONERROR);
        return false;
    }
    return true;
}

Format FormatOf(const uint8_t (&bytes)[IdentRead], size_t got)
{
    if (StartsWith(bytes, IdentBytes, NorvaleName))
        return Format::Norvale;
    // Some VAMAS exporters write a UTF-8 byte-order mark, or blank lines,
    // before the identifier.
    size_t blank = got >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    while (blank < got && std::strchr(" \t\r\n", bytes[blank]) && bytes[blank] != 0)
        ++blank;
    const std::string vamas = LoadString(IDS_VAMAS_ID);
    if (!vamas.empty() && StartsWithNoCase(bytes + blank, got - blank, vamas))
        return Format::Vamas;
    return Format::Veltrane;
}

[[noreturn]] void Abandon(unsigned id, const std::string& arg)
{
    AfxMessageBox(FormatMessageId(id, {arg}), MB_ICONERROR);
    throw CUserException();
}

} // namespace

CVeltraneDoc::CVeltraneDoc()
    : m_pBackgroundSubtract(std::make_unique<CBackground>()), m_pQuantify(std::make_unique<CQuantify>())
{
}

CVeltraneDoc::~CVeltraneDoc() = default;

void CVeltraneDoc::SetImportReader(IImportReader* reader)
{
    g_pImportReader = reader;
}

IImportReader* CVeltraneDoc::GetImportReader()
{
    return g_pImportReader;
}

CVeltraneDoc::DocTemplate CVeltraneDoc::ClassifyFile(CFile& file, bool* pOwnFormat)
{
    if (pOwnFormat)
        *pOwnFormat = false;
    uint8_t bytes[IdentRead];
    size_t got = 0;
    if (!ReadIdentBytes(file, bytes, got))
        return DocTemplate::None;
    const std::string title = file.GetFileTitle();
    if (StartsWith(bytes, IdentBytes, AppName)) {
        if (pOwnFormat)
            *pOwnFormat = true;
        // Header: name[12], file type, program version, file version; the
        // experiment type is the first field of block 1, right after its head.
        if (Int32At(bytes + 12) != CHeader::DataFile) {
            AfxMessageBox(FormatMessageId(IDS_NOT_A_DATA_FILE, {title}), MB_ICONERROR);
            return DocTemplate::None;
        }
        const int32_t type = Int32At(bytes + 32);
        if ((type & 0x700) == 0)
            Abandon(IDS_UNKNOWN_DATA_TYPE, title);
        if (type & 0x200)
            return DocTemplate::Image;
        if (type == 0x404)
            return DocTemplate::Profile;
        return DocTemplate::Spectrum;
    }
    const Format format = FormatOf(bytes, got);
    if (format == Format::Norvale || format == Format::Vamas)
        return DocTemplate::Spectrum;
    AfxMessageBox(FormatMessageId(IDS_UNSUPPORTED_FORMAT, {title}), MB_ICONERROR);
    return DocTemplate::None;
}

void CVeltraneDoc::Serialize(CArchive& ar)
{
    // The readers of blocks 169 and 196 reach the document through the
    // archive, whoever set the archive up.
    if (!ar.m_pDocument)
        ar.m_pDocument = this;
    if (ar.IsStoring()) {
        SaveVeltraneFile(ar);
        return;
    }
    ar.Flush();
    CFile& file = *ar.GetFile();
    uint8_t bytes[IdentRead];
    size_t got = 0;
    if (!ReadIdentBytes(file, bytes, got))
        throw CUserException();
    const std::string title = file.GetFileTitle();
    const Format format = FormatOf(bytes, got);
    if (format != Format::Veltrane) {
        if (g_pImportReader == nullptr)
            Abandon(IDS_UNSUPPORTED_FORMAT, title);
        if (format == Format::Norvale)
            g_pImportReader->OpenNorvaleFile(*this, file);
        else
            g_pImportReader->OpenVamasFile(*this, file);
        return;
    }
    // A settings file has no blocks after its header; reading it as a data
    // file would only produce nonsense.
    if (StartsWith(bytes, IdentBytes, AppName) && Int32At(bytes + 12) != CHeader::DataFile)
        Abandon(IDS_NOT_A_DATA_FILE, title);
    OpenVeltraneFile(ar);
}

void CVeltraneDoc::OpenVeltraneFile(CArchive& ar)
{
    m_Header << ar;
    for (;;) {
        uint16_t id = 0;
        ar >> id;
        switch (id) {
        case CExperiment::BlockID:
            m_Experiment << ar;
            break;
        case CSource::BlockID:
            m_Source << ar;
            break;
        case CIonGun::BlockID:
            m_IonGun << ar;
            break;
        case CStagePosn::BlockID: {
            auto posn = std::make_unique<CStagePosn>();
            *posn << ar;
            m_caStagePosns.push_back(std::move(posn));
            break;
        }
        case CBackground::BlockID:
            *m_pBackgroundSubtract << ar;
            break;
        case CQuantify::BlockID:
            *m_pQuantify << ar;
            break;
        case EndOfFile:
            // The limits came before the positions; only now can they be matched.
            m_pBackgroundSubtract->CheckAgainst(*this);
            m_pQuantify->CheckAgainst(*this);
            return;
        default: {
            // A block of a later program, or a region block out of place: skip it whole.
            const Block::SHead head = Block::ReadHead(ar);
            Block::MoveToEnd(ar, head);
            break;
        }
        }
    }
}

void CVeltraneDoc::SaveVeltraneFile(CArchive& ar)
{
    // What is written here is this program's format, so its header must say
    // so: a document converted from another format still carries that
    // format's name, and a file under it would be recognised by no open.
    char name[CHeader::ProgNameSize + 1];
    m_Header.GetProgName(name);
    if (StartsWith(reinterpret_cast<const uint8_t*>(name), CHeader::ProgNameSize, AppName))
        m_Header >> ar;
    else
        CHeader() >> ar;
    m_Experiment >> ar;
    m_Source >> ar;
    m_IonGun >> ar;
    *m_pBackgroundSubtract >> ar;
    for (const auto& posn : m_caStagePosns)
        if (posn)
            *posn >> ar;
    *m_pQuantify >> ar;
    ar << static_cast<int32_t>(EndOfFile);
}

bool CVeltraneDoc::ReadFrom(CFile& file)
{
    DeleteContents();
    try {
        CArchive ar(&file, CArchive::load);
        ar.m_pDocument = this;
        Serialize(ar);
        ar.Close();
        return true;
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        DeleteContents(); // nothing half-read stays behind
        ReportSaveLoadException(file.GetFilePath(), e, false, IDS_FAILED_TO_OPEN);
    }
    return false;
}

void CVeltraneDoc::DeleteContents()
{
    m_caStagePosns.clear();
    m_Header = CHeader();
    m_Experiment = CExperiment();
    m_Source = CSource();
    m_IonGun = CIonGun();
    m_pBackgroundSubtract->Clear();
    m_pQuantify->Clear();
}

std::function<void(CVeltraneDoc&, IDocView*)> CVeltraneDoc::s_openBackgroundSubtractDlg;

void CVeltraneDoc::OpenBackgroundSubtractDlg(IDocView* pView)
{
    if (s_openBackgroundSubtractDlg)
        s_openBackgroundSubtractDlg(*this, pView);
}

std::function<void(CVeltraneDoc&, IDocView*)> CVeltraneDoc::s_openQuantifyPropertySheet;

void CVeltraneDoc::OpenQuantifyPropertySheet(IDocView* pView)
{
    if (s_openQuantifyPropertySheet)
        s_openQuantifyPropertySheet(*this, pView);
}

void CVeltraneDoc::UpdateAllViews(IDocView* pSender, intptr_t lHint, void* pHint)
{
    if (lHint != 0) {
        const auto* update = reinterpret_cast<const SUpdate*>(lHint);
        if (update->m_iUpdateType == SUpdate::Acquire)
            StoreAcquiredData(*static_cast<const SAcqUpdate*>(update));
    }
    CDocument::UpdateAllViews(pSender, lHint, pHint);
}

void CVeltraneDoc::StoreAcquiredData(const SAcqUpdate& update)
{
    if (update.m_iType != WMAPP_ACQ_SPECTRALDATA && update.m_iType != WMAPP_ACQ_INTENSITYDATA &&
        update.m_iType != WMAPP_ACQ_IMAGEDATA)
        return;
    // A block addressed to a position or region that does not exist is
    // dropped rather than written somewhere else.
    CStagePosn* posn = GetStagePosn(update.m_iPosn);
    if (posn == nullptr || update.m_iRgn < 0 || update.m_iRgn >= posn->GetNumRgns())
        return;
    CRegion* region = posn->GetRegion(update.m_iRgn);
    if (region == nullptr)
        return;
    // Only a wide scan in refresh mode lets each scan replace the data.
    const bool averaging =
        !(GetExpType() == CExperiment::Widescan && posn->GetScanMode() != CStagePosn::Average);
    region->UpdateData(&update, averaging);
}

int CVeltraneDoc::GetMaxNumRegionPoints() const
{
    int most = 0;
    for (const auto& posn : m_caStagePosns) {
        if (!posn)
            continue;
        for (int i = 0; i < posn->GetNumRgns(); ++i)
            if (const CRegion* region = posn->GetRegion(i))
                most = std::max(most, region->GetNumPoints());
    }
    return most;
}

void CVeltraneDoc::Initialize(const CHeader& header)
{
    m_Header = header;
}

void CVeltraneDoc::Initialize(const CExperiment& experiment)
{
    m_Experiment = experiment;
}

void CVeltraneDoc::Initialize(const CSource& source)
{
    m_Source = source;
}

void CVeltraneDoc::Initialize(const CIonGun& ionGun)
{
    m_IonGun = ionGun;
}

void CVeltraneDoc::SetStagePosn(int i, CStagePosn* pPosn)
{
    std::unique_ptr<CStagePosn> owned(pPosn); // owned even when the index is bad
    if (i < 0)
        return;
    if (static_cast<size_t>(i) >= m_caStagePosns.size())
        m_caStagePosns.resize(static_cast<size_t>(i) + 1);
    m_caStagePosns[static_cast<size_t>(i)] = std::move(owned);
}
