#include "instrument/Acquire.h"

#include "data/Experiment.h"
#include "data/ImageRgn.h"
#include "data/IonGun.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "instrument/ASCU.h"
#include "instrument/Config.h"
#include "instrument/DAU.h"
#include "platform/Archive.h"
#include "platform/AsciiCase.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <set>
#include <thread>

namespace {

enum : unsigned
{
    IDS_MANUAL_IONGUN = 1392,
    IDS_UNKNOWN_EXPTYPE = 2082,
    IDS_TERMINATED = 2276,
    IDS_BUFFER_EMPTY = 2277,
    IDS_ALL_TRANSFERRED = 2278,
    IDS_UNEXPECTED_DAU = 2288,
    IDS_NO_DAU_REPLY = 2297,
    IDS_OUTSIDE_MAP_AREA = 2307,
    IDS_STOPPED = 5121,
    IDS_COMPLETED_NOT_SAVED = 5171,
    IDS_MANUAL_ETCH = 5168,
    IDP_FAILED_TO_SAVE_DOC = 61697,
};

// How long after its etch time the unit may take to say the etch is over.
constexpr uint64_t kEtchReplyMarginMs = 60000;
// How long beyond the time a block takes to measure (a block holds fewer
// than 120 values) a unit may go on answering "nothing yet", or with blocks
// it has sent before, before it counts as stuck.
constexpr uint64_t kStallMarginMs = 60000;
constexpr uint64_t kMaxBlockValues = 120;

// The four intensity forms of a command, by the backgrounds in use.
std::string Backgrounds(const CRegion* r, double offset)
{
    const int nz = r->GetNumPoints_z();
    if (nz == 2) {
        if (r->GetBk1() == CUtility::Infinity)
            return ",B2=" + FormatPrintf("%g", r->GetBk2() - offset);
        return ",B1=" + FormatPrintf("%g", r->GetBk1() - offset);
    }
    if (nz == 3)
        return FormatPrintf(",B1=%g,B2=%g", r->GetBk1() - offset, r->GetBk2() - offset);
    return {};
}

int Truncate(double v)
{
    if (!(v > INT_MIN && v < INT_MAX))
        return v > 0 ? INT_MAX : 0;
    return static_cast<int>(v);
}

} // namespace

// One run: everything the worker reads was fixed at its start, so a new start
// never changes what an old worker does or saves.
struct CAcquire::SRun
{
    CAcquire* m_pAcq = nullptr;
    IAcqHost* m_pHost = nullptr;
    CDAU* m_pDAU = nullptr;
    CASCU* m_pASCU = nullptr;
    CVeltraneDoc* m_pDoc = nullptr;
    QObject* m_hNotifyWnd = nullptr;
    std::string m_path;
    const CExperiment* m_pExp = nullptr;
    int m_iTechnique = 0;
    int m_MoveType = 0;
    ExpType m_ExpType = Widescan;
    bool m_bManualEtch = false;
    bool m_bMultiChannel = false;
    double m_dOffset = 0.0; // the experiment's, for the whole run
    int m_iLastPosn = -1;   // number of the last stage position visited
    bool m_bSaveReported = false;
    std::atomic<bool> m_bDone{false};
    std::atomic<bool> m_bHoldsDoc{true};
    std::thread m_thread;

    void Run();
    unsigned Loops();
    int Prepare();
    void EndMoves();
    bool Save(bool bFinal);
    int QueryStop(Location loc) { return m_pAcq->QueryStop(loc, m_pDAU); }
    // With the link's lock held. A closed link takes every command and answers
    // none: to a run that is a unit that does not reply, not an endless
    // "nothing yet" or the last reply's numbers over again.
    int Closed() const { return m_pDAU->IsPresent() ? 0 : static_cast<int>(IDS_NO_DAU_REPLY); }

    int OnNewStagePosn(const CStagePosn* p);
    unsigned OnNewPoint(const CStagePosn* p, int iPoint);
    unsigned OnNewLevel(const CStagePosn* p, int iLevel);
    unsigned OnNewScan(int iPosn, int iRgn, int iTrace, int iScan);

    int PrepareXPS();
    int PrepareAES();
    int OnNewStagePosn_XPS(const CStagePosn* p);
    int OnNewStagePosn_AES(const CStagePosn* p);
    unsigned OnNewPoint_XPS(const CStagePosn* p, int iPoint);
    unsigned OnNewPoint_AES(const CStagePosn* p, int iPoint);
    unsigned OnNewLevel_XPS(const CStagePosn* p, int iLevel);
    unsigned OnNewLevel_AES(const CStagePosn* p, int iLevel);
    unsigned EtchDAU(int seconds, bool bAES);
    void ManualEtchPrompt(int seconds);

    bool IsImageRun() const
    {
        return m_ExpType == Image || (m_iTechnique == CExperiment::AES && m_ExpType == SEImage);
    }
    const CRegion* Region(const CStagePosn* p, int i) const
    {
        if (IsImageRun())
            return p->GetImageRgn(i);
        return p->GetSpecRgn(i);
    }
    int NumRegions(const CStagePosn* p) const
    {
        return IsImageRun() ? p->GetNumImageRgns() : p->GetNumSpecRgns();
    }
    static double Increment(const CStagePosn* p, int iLevel)
    {
        const CLevel* l = p->GetLevel(iLevel);
        if (!l)
            return 0.0;
        const CLevel* prev = iLevel > 0 ? p->GetLevel(iLevel - 1) : nullptr;
        return l->GetValue() - (prev ? prev->GetValue() : 0.0);
    }
};

CAcquire::CAcquire() = default;

CAcquire::~CAcquire()
{
    // The application waits for its workers before it deletes the engine;
    // this only keeps a forgotten one from outliving the object it uses.
    WaitForWorkers({});
}

void CAcquire::Attach(IAcqHost* pHost, CDAU* pDAU, CASCU* pASCU)
{
    m_pHost = pHost;
    m_pDAU = pDAU;
    m_pASCU = pASCU;
}

int CAcquire::StartAcquiring(CVeltraneDoc* pDoc, QObject* hNotifyWnd)
{
    if (!pDoc || !m_pHost || GetStatus() != Inactive)
        return -1;
    ReapWorkers(false);

    auto run = std::make_shared<SRun>();
    run->m_pAcq = this;
    run->m_pHost = m_pHost;
    run->m_pDAU = m_pDAU;
    run->m_pASCU = m_pASCU;
    run->m_pDoc = pDoc;
    run->m_hNotifyWnd = hNotifyWnd;
    run->m_path = pDoc->GetPathName();
    const CExperiment* pExp = pDoc->GetExperiment();
    run->m_pExp = pExp;
    run->m_iTechnique = pExp->GetTechnique();
    run->m_MoveType = pExp->GetMoveType();
    run->m_bManualEtch = pExp->GetManualEtchFlag() != 0;
    run->m_bMultiChannel = CConfig::UseMultiChannel();
    run->m_dOffset = pExp->GetOffset();

    const int gun = pDoc->GetIonGun()->GetType();
    int type = -1;
    switch (pExp->GetExpType()) {
    case CExperiment::Widescan:
        type = Widescan;
        break;
    case CExperiment::Narrowscan:
        type = Narrowscan;
        break;
    case CExperiment::Profile:
    case CExperiment::FastProfile:
        switch (pExp->GetProfileType()) {
        case CExperiment::DepthProfile:
            if (gun == CIonGun::HSIG)
                type = DepthProfile_HSIG;
            else if (gun == CIonGun::MIED_ASCU)
                type = DepthProfile_MIED;
            else // the DAU's gun, or none: the DAU path etches or prompts
                type = DepthProfile_DAU;
            if ((type == DepthProfile_HSIG || type == DepthProfile_MIED) && m_pASCU)
                m_pASCU->SetAutoEtch(!run->m_bManualEtch);
            break;
        case CExperiment::AngleResolved:
            type = AngleResolved;
            break;
        case CExperiment::TotalReflection:
            type = TotalReflection;
            break;
        default:
            break;
        }
        break;
    case CExperiment::Image:
        type = Image;
        break;
    case CExperiment::SEImage:
        type = SEImage;
        break;
    default:
        break;
    }
    const int technique = run->m_iTechnique;
    if (type < 0 ||
        (technique != CExperiment::AES && technique != CExperiment::XPS && technique != CExperiment::UPS)) {
        m_pHost->ShowMessage(LoadString(IDS_UNKNOWN_EXPTYPE), MB_OK | MB_ICONERROR);
        return IDS_UNKNOWN_EXPTYPE;
    }
    run->m_ExpType = static_cast<ExpType>(type);

    m_pDoc = pDoc;
    m_iTechnique = technique;
    m_ExpType = run->m_ExpType;
    m_iScanType = pExp->GetScanType();
    m_iFirstScanMode = pDoc->GetNumStagePosns() > 0 ? pDoc->GetStagePosn(0)->GetScanMode() : 0;
    if (m_pASCU)
        m_pASCU->CancelWait(false);
    m_state = Pack(Acquiring, Nowhere);
    {
        std::lock_guard lock(m_workersLock);
        m_workers.push_back(run);
    }
    SRun* r = run.get();
    run->m_thread = std::thread([r] { r->Run(); });
    return 0;
}

void CAcquire::StopAcquiring(bool bAbort)
{
    int s = m_state.load();
    for (;;) {
        const int status = s & StatusMask;
        const int locn = s >> 8;
        if (status == Inactive)
            return;
        int next;
        if (m_iTechnique == CExperiment::AES || m_iTechnique == CExperiment::XPS) {
            if (bAbort)
                next = Pack(Aborting, Anywhere);
            else if (locn != Nowhere)
                return; // a second Stop changes nothing
            else
                next = Pack(Stopping, StopLocation());
        } else if (locn == Nowhere) {
            next = Pack(Stopping, Anywhere);
        } else if (status != Aborting) {
            next = Pack(Aborting, locn);
        } else {
            return;
        }
        // Fails when the worker ended meanwhile (or another request came):
        // look again, so a stop never revives an ended run.
        if (m_state.compare_exchange_weak(s, next)) {
            // A move or etch that waits on the stage unit without limit ends now.
            if ((next & StatusMask) == Aborting && m_pASCU)
                m_pASCU->CancelWait(true);
            return;
        }
    }
}

int CAcquire::StopLocation() const
{
    const bool down = m_iFirstScanMode == CStagePosn::Down;
    const bool full = m_iScanType == CExperiment::Full;
    const int byMode = down ? EndOfScan : EndOfLastRegion;
    switch (m_ExpType) {
    case Widescan:
        return EndOfScan;
    case Narrowscan:
        if (m_iTechnique == CExperiment::XPS && !full)
            return EndOfLastRegion;
        return byMode;
    case DepthProfile_DAU:
        return full ? byMode : EndOfLastRegion;
    case DepthProfile_MIED:
    case DepthProfile_HSIG:
    case AngleResolved:
    case TotalReflection:
        if (m_iTechnique == CExperiment::AES)
            return Anywhere;
        return full ? byMode : EndOfLastRegion;
    case Image:
        return byMode;
    case SEImage:
        return Anywhere;
    }
    return Anywhere;
}

int CAcquire::QueryStop(Location loc, CDAU* pDAU)
{
    const int s = m_state.load();
    const int locn = s >> 8;
    if (locn == Nowhere || (locn != Anywhere && locn != loc))
        return 0;
    if ((s & StatusMask) == Aborting && pDAU)
        pDAU->Transact("ABRT", 5000);
    return IDS_STOPPED;
}

void CAcquire::EndRun()
{
    int s = m_state.load();
    while (!m_state.compare_exchange_weak(s, Pack(Inactive, s >> 8))) {
    }
}

bool CAcquire::IsAcquiring(const CVeltraneDoc* pDoc) const
{
    std::lock_guard lock(m_workersLock);
    for (const auto& w : m_workers)
        if (w->m_pDoc == pDoc && w->m_bHoldsDoc.load())
            return true;
    return false;
}

bool CAcquire::IsBusy() const
{
    std::lock_guard lock(m_workersLock);
    for (const auto& w : m_workers)
        if (!w->m_bDone.load())
            return true;
    return false;
}

void CAcquire::WaitForWorkers(const std::function<void()>& pump)
{
    while (IsBusy()) {
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ReapWorkers(true);
}

void CAcquire::ReapWorkers(bool bAll)
{
    std::vector<std::shared_ptr<SRun>> ended;
    {
        std::lock_guard lock(m_workersLock);
        auto it = std::stable_partition(m_workers.begin(), m_workers.end(),
                                        [bAll](const auto& w) { return !(bAll || w->m_bDone.load()); });
        ended.assign(std::make_move_iterator(it), std::make_move_iterator(m_workers.end()));
        m_workers.erase(it, m_workers.end());
    }
    for (auto& w : ended)
        if (w->m_thread.joinable())
            w->m_thread.join();
}

std::string CAcquire::WriteDocument(CVeltraneDoc& doc, const std::string& path)
{
    try {
        CAtomicFileWriter writer(path);
        {
            CArchive ar(&writer.File(), CArchive::store);
            doc.Serialize(ar);
            ar.Close();
        }
        writer.Commit();
    } catch (...) {
        // The file lacks what the document holds: closing it must ask.
        doc.SetModifiedFlag(true);
        return SaveLoadErrorText(path, std::current_exception(), true, IDP_FAILED_TO_SAVE_DOC);
    }
    return {};
}

// --- the worker frame --------------------------------------------------------

void CAcquire::SRun::Run()
{
    if (m_iTechnique == CExperiment::UPS) {
        m_pAcq->EndRun();
        m_bHoldsDoc = false;
        m_bDone = true;
        return;
    }
    // The file must be there: the sheet saved it before the start.
    {
        CFile file;
        CFileException error(CFileException::none, m_path);
        if (!file.Open(m_path, CFile::modeReadWrite, &error))
            m_pHost->ShowMessage(
                SaveLoadErrorText(m_path, std::make_exception_ptr(error), true, IDP_FAILED_TO_SAVE_DOC),
                MB_OK | MB_ICONERROR);
    }
    int r = Prepare();
    if (r != 0) {
        m_pAcq->EndRun();
        m_bHoldsDoc = false;
        m_pHost->ShowMessage(LoadString(static_cast<unsigned>(r)), MB_OK | MB_ICONERROR);
        m_bDone = true;
        return;
    }
    m_pHost->StopMonitor();
    m_pHost->PostAcqMessage(m_hNotifyWnd, WMAPP_ACQ_START, 0, 0);
    unsigned result = Loops();
    // A wait that the abort cut short fails as such; the run was stopped.
    if (result != 0 && m_pAcq->GetStatus() == Aborting)
        result = IDS_STOPPED;
    // After an abort the end moves are still sent, but they do not wait
    // without limit: the unit may be the reason the run was aborted.
    if (m_pASCU && m_pAcq->GetStatus() != Aborting)
        m_pASCU->CancelWait(false);
    EndMoves();
    m_pHost->RunEnded(m_pDoc);
    // Saved before the end is reported, so the file holds everything shown.
    // A run that went well but whose file could not take it must not be
    // reported as a success: its data are only in the document.
    if (!Save(true) && result == 0)
        result = IDS_COMPLETED_NOT_SAVED;
    m_pAcq->EndRun();
    const int monitor = m_pHost->StartMonitor();
    m_bHoldsDoc = false;
    m_pHost->PostAcqMessage(m_hNotifyWnd, WMAPP_ACQ_END, result, monitor);
    m_bDone = true;
}

unsigned CAcquire::SRun::Loops()
{
    const int nPosns = m_pDoc->GetNumStagePosns();
    for (int i = 0; i < nPosns; ++i) {
        const CStagePosn* p = m_pDoc->GetStagePosn(i);
        if (!p)
            continue;
        m_iLastPosn = p->GetPosnNum();
        if (unsigned r = static_cast<unsigned>(OnNewStagePosn(p)))
            return r;
        const int nPoints = p->GetNumPoints(-1);
        const int nLevels = p->GetNumLevels();
        const int nRgns = NumRegions(p);
        const bool down = p->GetScanMode() == CStagePosn::Down;
        for (int pt = 0; pt < nPoints; ++pt) {
            if (unsigned r = OnNewPoint(p, pt))
                return r;
            for (int l = 0; l < nLevels; ++l) {
                if (unsigned r = OnNewLevel(p, l))
                    return r;
                const int t = nPoints > 1 ? pt : l;
                auto takesPart = [l](const CRegion* rgn) {
                    const int repeat = std::max(1, rgn->GetRepeat());
                    return (l + 1) % repeat == 0;
                };
                if (down) {
                    for (int g = 0; g < nRgns; ++g) {
                        const CRegion* rgn = Region(p, g);
                        if (!rgn || !takesPart(rgn))
                            continue;
                        for (int s = 0; s < rgn->GetNumScans(); ++s)
                            if (unsigned r = OnNewScan(i, g, t, s))
                                return r;
                    }
                    if (unsigned r = static_cast<unsigned>(QueryStop(EndOfLastRegion)))
                        return r;
                } else {
                    for (int s = 0;; ++s) {
                        bool more = false;
                        for (int g = 0; g < nRgns; ++g) {
                            const CRegion* rgn = Region(p, g);
                            if (!rgn || rgn->GetNumScans() <= s)
                                continue;
                            more = true;
                            if (!takesPart(rgn))
                                continue;
                            if (unsigned r = OnNewScan(i, g, t, s))
                                return r;
                        }
                        if (unsigned r = static_cast<unsigned>(QueryStop(EndOfLastRegion)))
                            return r;
                        if (!more)
                            break;
                    }
                }
                if (l != nLevels - 1)
                    Save(false);
            }
        }
        if (i != nPosns - 1)
            Save(false);
    }
    return 0;
}

bool CAcquire::SRun::Save(bool bFinal)
{
    const std::string error = m_pHost->SaveDocument(m_pDoc, m_path);
    if (error.empty())
        return true;
    // An incremental failure is said once and the run goes on (a later save
    // may well succeed); the final one is always said.
    if (bFinal)
        m_pHost->ShowMessage(error, MB_OK | MB_ICONERROR);
    else if (!m_bSaveReported)
        m_pHost->ReportMessage(error);
    m_bSaveReported = true;
    return false;
}

int CAcquire::SRun::Prepare()
{
    return m_iTechnique == CExperiment::XPS ? PrepareXPS() : PrepareAES();
}

int CAcquire::SRun::OnNewStagePosn(const CStagePosn* p)
{
    return m_iTechnique == CExperiment::XPS ? OnNewStagePosn_XPS(p) : OnNewStagePosn_AES(p);
}

unsigned CAcquire::SRun::OnNewPoint(const CStagePosn* p, int iPoint)
{
    return m_iTechnique == CExperiment::XPS ? OnNewPoint_XPS(p, iPoint) : OnNewPoint_AES(p, iPoint);
}

unsigned CAcquire::SRun::OnNewLevel(const CStagePosn* p, int iLevel)
{
    return m_iTechnique == CExperiment::XPS ? OnNewLevel_XPS(p, iLevel) : OnNewLevel_AES(p, iLevel);
}

// --- XPS steps ---------------------------------------------------------------

int CAcquire::SRun::PrepareXPS()
{
    if (m_MoveType == CExperiment::None)
        return 0;
    if (!m_pASCU)
        return 2305;
    const int c = m_pExp->GetNumStagePosns();
    auto mapArea = [this](bool bCheck) {
        int r = m_pASCU->ReadMapArea();
        if (r != 0 || !bCheck)
            return r;
        double a[4];
        m_pASCU->GetMapArea(a);
        for (int k = 0; k < m_pDoc->GetNumStagePosns(); ++k) {
            const CStagePosn* posn = m_pDoc->GetStagePosn(k);
            if (!posn)
                continue;
            const int n = posn->GetNumPoints(-1);
            for (int i = 0; i < n; ++i) {
                const double x = posn->GetCoord(0, i), y = posn->GetCoord(1, i);
                if (!(a[0] <= x && x <= a[2] && a[1] <= y && y <= a[3]))
                    return static_cast<int>(IDS_OUTSIDE_MAP_AREA);
            }
        }
        return 0;
    };
    switch (m_MoveType) {
    case CExperiment::Planar:
        if (m_ExpType == Widescan || m_ExpType == Narrowscan)
            return mapArea(true);
        if (m_ExpType == Image)
            return mapArea(false);
        return 0;
    case CExperiment::Normal:
        switch (m_ExpType) {
        case Widescan:
        case Narrowscan:
        case DepthProfile_DAU:
            return m_pASCU->SetMode(1, c);
        case DepthProfile_MIED: {
            int r = m_pASCU->SetMode(5, c);
            return r ? r : m_pASCU->SetSwitch(2, true);
        }
        case DepthProfile_HSIG:
            return m_pASCU->SetMode(2, c);
        case AngleResolved:
        case TotalReflection:
            return m_pASCU->SetMode(3, c);
        case Image:
            return mapArea(false);
        default:
            return 0;
        }
    case CExperiment::Linear:
    case CExperiment::Memory:
    case CExperiment::Rotary: {
        int r = m_pASCU->SetMode(4, c);
        if (r == 0 && m_ExpType == DepthProfile_MIED)
            r = m_pASCU->SetSwitch(2, true);
        return r;
    }
    default:
        return 0;
    }
}

int CAcquire::SRun::OnNewStagePosn_XPS(const CStagePosn* p)
{
    if (int r = QueryStop(Anywhere))
        return r;
    if (!m_pASCU || m_MoveType == CExperiment::None)
        return 0;
    const int n = p->GetPosnNum();
    switch (m_MoveType) {
    case CExperiment::Normal:
        switch (m_ExpType) {
        case Widescan:
        case Narrowscan:
        case DepthProfile_DAU:
        case DepthProfile_MIED:
            return m_pASCU->DriveAxis(CASCU::MotorX, n, true);
        case DepthProfile_HSIG: {
            const CLevel* l0 = p->GetLevel(0);
            if (l0 && l0->GetValue() == 0.0)
                return m_pASCU->DriveAxis(CASCU::MotorLoader, n, true);
            return 0;
        }
        case AngleResolved:
        case TotalReflection: {
            int r = m_pASCU->DriveAxis(CASCU::MotorX, n, true);
            return r ? r : m_pASCU->DriveAxis(CASCU::MotorTilt, n, false);
        }
        default:
            return 0;
        }
    case CExperiment::Memory:
        if (m_ExpType != Image && m_ExpType != SEImage)
            return m_pASCU->MoveToMemory(n);
        return 0;
    case CExperiment::Rotary:
        if (m_ExpType == Widescan || m_ExpType == Narrowscan) {
            int r = m_pASCU->DriveAxis(CASCU::MotorX, n, true);
            return r ? r : m_pASCU->DriveAxis(CASCU::MotorRotate, n, false);
        }
        return 0;
    default:
        return 0;
    }
}

unsigned CAcquire::SRun::OnNewPoint_XPS(const CStagePosn* p, int iPoint)
{
    if (int r = QueryStop(Anywhere))
        return static_cast<unsigned>(r);
    if (!m_pASCU)
        return 0;
    const bool scan = m_ExpType == Widescan || m_ExpType == Narrowscan;
    if (m_MoveType == CExperiment::Planar && (scan || m_ExpType == Image)) {
        const std::string cmd =
            FormatPrintf("GP (%.3f,%.3f)", p->GetCoord(0, iPoint), p->GetCoord(1, iPoint));
        return static_cast<unsigned>(m_pASCU->Command(cmd.c_str(), -1, 50));
    }
    if (m_MoveType == CExperiment::Linear && scan)
        return static_cast<unsigned>(
            m_pASCU->MoveToLinePoint(Truncate(p->GetCoord(0, iPoint)), m_pExp->GetNumStagePosns()));
    return 0;
}

unsigned CAcquire::SRun::OnNewLevel_XPS(const CStagePosn* p, int iLevel)
{
    if (int r = QueryStop(Anywhere))
        return static_cast<unsigned>(r);
    const double d = Increment(p, iLevel);
    const int n = p->GetPosnNum();
    if (m_MoveType == CExperiment::Rotary && (m_ExpType == Widescan || m_ExpType == Narrowscan))
        return m_pASCU ? static_cast<unsigned>(m_pASCU->DriveRelative(CASCU::MotorRotate, n, d)) : 0;
    if (m_MoveType != CExperiment::Normal && m_MoveType != CExperiment::Memory)
        return 0;
    switch (m_ExpType) {
    case DepthProfile_DAU:
        if (d > 0)
            return EtchDAU(Truncate(d), false);
        return 0;
    case DepthProfile_MIED:
        return m_pASCU ? static_cast<unsigned>(m_pASCU->EtchMIED(Truncate(d))) : 0;
    case DepthProfile_HSIG: {
        const CIonGun* gun = m_pDoc->GetIonGun();
        return m_pASCU ? static_cast<unsigned>(
                             m_pASCU->EtchHSIG(n, Truncate(d), gun->GetPreset(), gun->GetDutyCycle()))
                       : 0;
    }
    case AngleResolved:
    case TotalReflection:
        return m_pASCU ? static_cast<unsigned>(m_pASCU->DriveRelative(CASCU::MotorTilt, n, d)) : 0;
    default:
        return 0;
    }
}

void CAcquire::SRun::ManualEtchPrompt(int seconds)
{
    const std::string text =
        FormatPrintf(LoadString(IDS_MANUAL_ETCH).c_str(), LoadString(IDS_MANUAL_IONGUN).c_str(), seconds);
    m_pHost->ShowMessage(text, MB_OK);
}

unsigned CAcquire::SRun::EtchDAU(int seconds, bool bAES)
{
    if (m_bManualEtch) {
        ManualEtchPrompt(seconds);
        return 0;
    }
    if (!m_pDAU)
        return IDS_NO_DAU_REPLY;
    const std::string cmd = FormatPrintf("ETCH TM=%i", seconds);
    auto lock = m_pDAU->Lock();
    int r = Closed();
    if (r == 0)
        r = m_pDAU->SendCommand(cmd.c_str());
    if (r != 0)
        return static_cast<unsigned>(r);
    // The unit answers when the etch is over; an abort ends the wait and the
    // etch. A unit still silent well after the etch time is not coming back.
    const int slice = bAES ? 2000 : 1000;
    const uint64_t deadline =
        GetTickCount64() + 1000ULL * static_cast<unsigned>(std::max(seconds, 0)) + kEtchReplyMarginMs;
    do {
        if (m_pAcq->GetStatus() == Aborting) {
            m_pDAU->Transact("ABRT", 5000);
            return IDS_STOPPED;
        }
        r = m_pDAU->ReadReply(slice);
    } while (r == static_cast<int>(IDS_NO_DAU_REPLY) && GetTickCount64() < deadline);
    const int status = m_pAcq->GetStatus();
    if (r == 0 && (status == Stopping || status == Aborting))
        return IDS_TERMINATED;
    return static_cast<unsigned>(r);
}

void CAcquire::SRun::EndMoves()
{
    if (m_iTechnique == CExperiment::AES) {
        if (m_MoveType != CExperiment::NoScan && m_pDAU)
            m_pDAU->SetScan(m_pExp->GetSize(), true);
        return;
    }
    if (!m_pASCU || m_MoveType == CExperiment::None)
        return;
    const int n = m_iLastPosn;
    if (n >= 0) {
        if (m_ExpType == AngleResolved)
            m_pASCU->DriveAxis(CASCU::MotorTilt, n, false);
        else if (m_ExpType == DepthProfile_HSIG)
            m_pASCU->Drive(CASCU::MotorLoader, n, 6, 0.0);
    }
    if (m_ExpType == DepthProfile_MIED)
        m_pASCU->SetSwitch(2, false);
    if (m_MoveType == CExperiment::Rotary && n >= 0)
        m_pASCU->DriveAxis(CASCU::MotorRotate, n, false);
    m_pASCU->EndMode();
}

// --- AES steps ---------------------------------------------------------------

int CAcquire::SRun::PrepareAES()
{
    if (m_MoveType != CExperiment::FullScan)
        return 0;
    if (!m_pDAU)
        return IDS_NO_DAU_REPLY;
    auto lock = m_pDAU->Lock();
    if (int r = Closed())
        return r;
    return m_pDAU->SetScan(m_pExp->GetSize(), false);
}

int CAcquire::SRun::OnNewStagePosn_AES(const CStagePosn* p)
{
    if (int r = QueryStop(Anywhere))
        return r;
    if (m_ExpType != DepthProfile_DAU || !m_pDAU)
        return 0;
    const int s = m_pExp->GetSize();
    if (m_MoveType == CExperiment::Point)
        return m_pDAU->SetScan("SPOT", p->GetAESCoord(0, 0, s), p->GetAESCoord(1, 0, s), 0, 0, s);
    if (m_MoveType == CExperiment::AreaScan)
        return m_pDAU->SetScan("SCAN", p->GetAESCoord(0, 0, s), p->GetAESCoord(1, 0, s),
                               p->GetAESCoord(2, 0, s), p->GetAESCoord(3, 0, s), s);
    return 0;
}

unsigned CAcquire::SRun::OnNewPoint_AES(const CStagePosn* p, int iPoint)
{
    if (int r = QueryStop(Anywhere))
        return static_cast<unsigned>(r);
    if ((m_ExpType != Widescan && m_ExpType != Narrowscan) || !m_pDAU)
        return 0;
    const int s = m_pExp->GetSize();
    if (m_MoveType == CExperiment::Point)
        return static_cast<unsigned>(
            m_pDAU->SetScan("SPOT", p->GetAESCoord(0, iPoint, s), p->GetAESCoord(1, iPoint, s), 0, 0, s));
    if (m_MoveType == CExperiment::AreaScan)
        return static_cast<unsigned>(
            m_pDAU->SetScan("SCAN", p->GetAESCoord(0, iPoint, s), p->GetAESCoord(1, iPoint, s),
                            p->GetAESCoord(2, iPoint, s), p->GetAESCoord(3, iPoint, s), s));
    return 0;
}

unsigned CAcquire::SRun::OnNewLevel_AES(const CStagePosn* p, int iLevel)
{
    if (int r = QueryStop(Anywhere))
        return static_cast<unsigned>(r);
    if (m_ExpType != DepthProfile_DAU)
        return 0;
    const double d = Increment(p, iLevel);
    if (!(d > 0))
        return 0;
    return EtchDAU(Truncate(d), true);
}

// --- the scan ----------------------------------------------------------------

unsigned CAcquire::SRun::OnNewScan(int iPosn, int iRgn, int iTrace, int iScan)
{
    if (int r = QueryStop(Anywhere))
        return static_cast<unsigned>(r);
    const CStagePosn* p = m_pDoc->GetStagePosn(iPosn);
    const CRegion* rgn = p ? Region(p, iRgn) : nullptr;
    if (!rgn || !m_pDAU)
        return rgn ? static_cast<unsigned>(IDS_NO_DAU_REPLY) : 0u;

    enum class Kind
    {
        None,
        Spec,
        Qint,
        Linp,
        Sami,
        Semi
    } kind = Kind::None;
    const int code = m_pExp->GetExpType();
    const bool aes = m_iTechnique == CExperiment::AES;
    if (!aes) {
        kind = (code == CExperiment::Image || m_pExp->GetScanType() != CExperiment::Full) ? Kind::Qint
                                                                                          : Kind::Spec;
    } else if (code == CExperiment::Widescan || code == CExperiment::Narrowscan ||
               code == CExperiment::Profile) {
        kind = Kind::Spec;
    } else if (code == CExperiment::FastProfile) {
        kind = Kind::Qint;
    } else if (code == CExperiment::Image) {
        kind = rgn->GetNumPoints_y() == 1 ? Kind::Linp : Kind::Sami;
    } else if (code == CExperiment::SEImage) {
        kind = Kind::Semi;
    }
    if (kind == Kind::None)
        return static_cast<unsigned>(QueryStop(EndOfScan));

    const int nx = rgn->GetNumPoints_x();
    const int ny = rgn->GetNumPoints_y();
    const int nz = rgn->GetNumPoints_z();
    const int dw = Truncate(rgn->GetDwell());
    const double off = m_dOffset;
    std::string md = p->GetAnalyserMode() == CStagePosn::CRR ? "CRR" : "CAE";
    std::string ep;
    if (md == "CAE") {
        ep = FormatPrintf("%g", rgn->GetAnalyserEnergy());
    } else {
        ep = AsciiToUpper(rgn->GetRetardRatio());
    }
    if (ep.size() > 15)
        ep.resize(15);
    const int s = m_pExp->GetSize();
    auto beam = [&] {
        return FormatPrintf("X0=%i,Y0=%i,X1=%i,Y1=%i", p->GetAESCoord(0, 0, s), p->GetAESCoord(1, 0, s),
                            p->GetAESCoord(2, 0, s), p->GetAESCoord(3, 0, s));
    };
    std::string cmd;
    int acceptMs = 1000;
    switch (kind) {
    case Kind::Spec:
        cmd = FormatPrintf("SPEC TE=%s,DT=%s,MD=%s,EP=%s,ST=%g,SW=%g,PT=%i,DW=%i", aes ? "AES" : "XPS",
                           m_bMultiChannel ? "MULTI" : "SINGLE", md.c_str(), ep.c_str(),
                           rgn->GetStart() - off, rgn->GetStep(), nx, dw);
        acceptMs = 15000;
        break;
    case Kind::Qint:
        // The unit measures before it answers: nz values at the dwell each.
        cmd = FormatPrintf("QINT TE=%s,MD=%s,EP=%s,PK=%g", aes ? "AES" : "XPS", md.c_str(), ep.c_str(),
                           rgn->GetPeak() - off) +
              Backgrounds(rgn, off) + FormatPrintf(",DW=%i", dw);
        acceptMs = static_cast<int>(std::min<long long>(INT_MAX, 1LL * std::max(nz, 1) * dw + 1000));
        break;
    case Kind::Linp:
        cmd = FormatPrintf("LINP MD=%s,EP=%s,PK=%g", md.c_str(), ep.c_str(), rgn->GetPeak() - off) +
              Backgrounds(rgn, off) + FormatPrintf(",DW=%i,", dw) + beam() +
              FormatPrintf(",BR=%i,MG=%g", s, m_pExp->GetMag());
        break;
    case Kind::Sami:
        cmd = FormatPrintf("SAMI MD=%s,EP=%s,PK=%g", md.c_str(), ep.c_str(), rgn->GetPeak() - off) +
              Backgrounds(rgn, off) + FormatPrintf(",DW=%i,", dw) + beam() +
              FormatPrintf(",DN=%i,BR=%i,MG=%g", m_pExp->GetResol(), s, m_pExp->GetMag());
        acceptMs = 15000;
        break;
    case Kind::Semi:
        cmd = FormatPrintf("SEMI PX=%i,MG=%g", s, m_pExp->GetMag());
        break;
    case Kind::None:
        break;
    }

    int v[3] = {-1, -1, -1};
    {
        auto lock = m_pDAU->Lock();
        if (int r = Closed())
            return static_cast<unsigned>(r);
        if (int r = m_pDAU->Transact(cmd.c_str(), acceptMs))
            return static_cast<unsigned>(r);
        // The intensities are the acceptance reply itself.
        if (kind == Kind::Qint) {
            const bool bBk1 = nz == 3 || (nz == 2 && rgn->GetBk1() != CUtility::Infinity);
            const bool bBk2 = nz == 3 || (nz == 2 && rgn->GetBk1() == CUtility::Infinity);
            if (int r = m_pDAU->CheckIntensities(bBk1, bBk2))
                return static_cast<unsigned>(r);
            m_pDAU->GetIntensityData(v[0], v[1], v[2]);
        }
    }

    SAcqUpdate upd(m_pDoc, nullptr, iPosn, iRgn, iTrace, iScan, 0, 0, 0, 0, 0);
    if (kind == Kind::Qint) {
        upd.m_pbData = reinterpret_cast<unsigned char*>(v);
        upd.m_iStart = 1;
        upd.m_iEnd = nz;
        upd.m_iType = WMAPP_ACQ_INTENSITYDATA;
        m_pHost->SendAcqData(m_hNotifyWnd, WMAPP_ACQ_INTENSITYDATA, &upd);
        return static_cast<unsigned>(QueryStop(EndOfScan));
    }

    const char* poll = "RQSP";
    const char* block = "SBSP"; // the only block that answers the poll
    unsigned message = WMAPP_ACQ_IMAGEDATA;
    uint32_t firstWait = static_cast<uint32_t>(std::max(dw, 0)) + 1000;
    uint32_t interval = static_cast<uint32_t>(std::min(std::min(nx, 100) * std::max(dw, 0), 1000));
    int nPlanes = std::max(nz, 1);
    // With the second background alone, its plane comes named as the second.
    const bool bBk2Only = nz == 2 && rgn->GetBk1() == CUtility::Infinity;
    const int lastKind = bBk2Only ? 2 : nPlanes - 1;
    switch (kind) {
    case Kind::Spec:
        message = WMAPP_ACQ_SPECTRALDATA;
        interval = 1000;
        break;
    case Kind::Linp:
        poll = "RQLP";
        block = "SBLP";
        break;
    case Kind::Sami:
        poll = "RQSA";
        block = "SBSA";
        break;
    case Kind::Semi:
        poll = "RQSE";
        block = "SBSE";
        firstWait = interval = 8;
        break;
    default:
        break;
    }
    upd.m_iType = static_cast<int>(message);
    SleepMs(firstWait);
    const uint64_t stallMs = kStallMarginMs + kMaxBlockValues * static_cast<unsigned>(std::max(dw, 0));
    uint64_t lastBlock = GetTickCount64();
    // The blocks taken so far, by where they lie: a unit that sends the same
    // blocks over and over gets no further than one that says "nothing yet".
    std::set<std::array<int, 4>> taken;
    int result = 0;
    for (;;) {
        if (int r = QueryStop(Anywhere)) {
            if (kind != Kind::Semi)
                return static_cast<unsigned>(r);
            // A secondary-electron image runs until told: stop the unit too.
            return static_cast<unsigned>(m_pDAU->Transact("ABRT", 1000));
        }
        bool complete = false;
        {
            auto lock = m_pDAU->Lock();
            result = Closed();
            if (result == 0)
                result = m_pDAU->SendCommand(poll);
            if (result == 0)
                result = m_pDAU->ReadReply(1000);
            if (result == 0 && !m_pDAU->HasData())
                result = IDS_BUFFER_EMPTY; // a status where data were asked for: nothing yet
            if (result == 0) {
                const unsigned char* data = nullptr;
                if (kind == Kind::Spec) {
                    result = m_pDAU->CheckBlock(nx, 1, 1);
                    m_pDAU->GetSpectralData(&upd.m_iStart, &upd.m_iEnd, data);
                } else {
                    result =
                        m_pDAU->CheckBlock(nx, std::max(ny, 1), kind == Kind::Semi ? 1 : nPlanes, bBk2Only);
                    m_pDAU->GetImageData(&upd.m_iStart, &upd.m_iEnd, &upd.m_iLine, &upd.m_iKind, data);
                }
                upd.m_pbData = const_cast<unsigned char*>(data);
                // Another kind's block keeps numbers that do not belong here.
                if (result == 0 && !m_pDAU->ReplyIs(block))
                    result = static_cast<int>(IDS_UNEXPECTED_DAU);
            }
        }
        // Not under the link's lock: the user-interface thread may need the
        // link while it takes the block. Nothing reads the link meanwhile (the
        // monitor poll is stopped), so the block stays as it is.
        if (result == 0) {
            if (taken.insert({upd.m_iStart, upd.m_iEnd, upd.m_iLine, upd.m_iKind}).second)
                lastBlock = GetTickCount64();
            m_pHost->SendAcqData(m_hNotifyWnd, message, &upd);
            switch (kind) {
            case Kind::Spec:
                complete = upd.m_iEnd == nx;
                break;
            case Kind::Linp:
                complete = upd.m_iEnd == nx && upd.m_iKind == lastKind;
                break;
            case Kind::Sami:
                complete = upd.m_iEnd == nx && upd.m_iLine == ny && upd.m_iKind == lastKind;
                break;
            case Kind::Semi:
                complete = upd.m_iEnd == nx && upd.m_iLine == ny;
                break;
            default:
                break;
            }
        }
        if (result == 0 && complete)
            break;
        if (result == static_cast<int>(IDS_ALL_TRANSFERRED)) {
            result = 0;
            break;
        }
        if (result != 0 && result != static_cast<int>(IDS_BUFFER_EMPTY))
            return static_cast<unsigned>(result);
        if (GetTickCount64() - lastBlock > stallMs)
            return IDS_NO_DAU_REPLY;
        SleepMs(interval);
    }
    return static_cast<unsigned>(QueryStop(EndOfScan));
}
