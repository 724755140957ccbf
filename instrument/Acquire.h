#pragma once
// The acquisition engine: runs one acquisition of a prepared document at a
// time on a worker thread. The worker prepares the instrument, loops over the
// stage positions, points, levels, regions and scans, hands every data block
// to the window that started the run, saves the document at level and position
// boundaries and ends with a message carrying the result.
//
// Toolkit-free: everything that needs the user interface (posting and sending
// to the notify window, message boxes, the monitor poll that lives on the
// user-interface thread, saving the document) goes through IAcqHost, which the
// user interface installs with Attach. Time-outs and sleeps go through the
// platform clock, so tests inject a clock and never sleep for real.
//
// Use from the user-interface thread: StartAcquiring only while GetStatus is
// Inactive; StopAcquiring(false) to stop at the experiment's stop location,
// StopAcquiring(true) to abort at the next check point.

#include "data/Update.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CASCU;
class CDAU;
class CVeltraneDoc;
class QObject; // the window to notify; the engine only hands it back to the host

// Posted to the notify window.
enum : unsigned
{
    // Data taking has begun; parameters not used.
    WMAPP_ACQ_START = 0x8001,
    // The run has ended: wParam the result (0 or a message id), lParam the
    // message id of a failed restart of the DAU monitor poll, or 0.
    WMAPP_ACQ_END = 0x8002,
};

// What the engine needs of the user interface. Every call comes from the
// worker thread and, where it says so, waits until the user-interface thread
// has done it.
class IAcqHost
{
public:
    virtual ~IAcqHost() = default;
    // Queues the message to the window; returns at once.
    virtual void PostAcqMessage(QObject* hNotifyWnd, unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    // Sends a data message (WMAPP_ACQ_*DATA) and waits until the window has
    // taken the block into the document and its views.
    virtual void SendAcqData(QObject* hNotifyWnd, unsigned message, SAcqUpdate* pUpdate) = 0;
    // Shows a message box and waits for the answer (the button pressed).
    virtual int ShowMessage(const std::string& text, unsigned type) = 0;
    // Shows a message without waiting for it to be read.
    virtual void ReportMessage(const std::string& text) = 0;
    // Stop and restart the DAU monitor poll on the user-interface thread,
    // waiting for it; each returns 0 or a message id.
    virtual int StopMonitor() = 0;
    virtual int StartMonitor() = 0;
    // Writes the whole document to its file atomically, serialised so that the
    // user interface does not change it meanwhile; returns "" or the message
    // that says why the save failed.
    virtual std::string SaveDocument(CVeltraneDoc* pDoc, const std::string& path) = 0;
    // The run into the document has ended, however: its views show at once
    // what they held back. Waits until they have.
    virtual void RunEnded(CVeltraneDoc* pDoc) { (void)pDoc; }
};

class CAcquire
{
public:
    enum Status
    {
        Inactive = 0,
        Acquiring = 1,
        Stopping = 2,
        Aborting = 3,
    };
    enum Location
    {
        Nowhere = 0,
        EndOfScan = 1,
        EndOfLastRegion = 2,
        Anywhere = 3,
    };
    enum ExpType
    {
        Widescan = 0,
        Narrowscan = 1,
        DepthProfile_DAU = 2,
        DepthProfile_MIED = 3,
        DepthProfile_HSIG = 4,
        AngleResolved = 5,
        TotalReflection = 6,
        Image = 7,
        SEImage = 8,
    };

    CAcquire();
    virtual ~CAcquire();
    CAcquire(const CAcquire&) = delete;
    CAcquire& operator=(const CAcquire&) = delete;

    // The host and the links, set once by the application before any run.
    // Any of the links may be null (no such unit).
    void Attach(IAcqHost* pHost, CDAU* pDAU, CASCU* pASCU);

    // Starts the run of pDoc, which must already exist on disk under its path
    // name; messages go to hNotifyWnd. Returns 0 at once; the worker reports
    // through WMAPP_ACQ_START and WMAPP_ACQ_END (or, when its preparation
    // fails, with a message box and nothing posted). An experiment that the
    // engine cannot run starts nothing: the message is shown and its id
    // (2082) returned. -1 (and nothing shown) while a run is still going.
    int StartAcquiring(CVeltraneDoc* pDoc, QObject* hNotifyWnd);
    // A stop (false) or abort (true) request; nothing while Inactive.
    void StopAcquiring(bool bAbort);
    // Status.
    int GetStatus() const { return m_state.load() & StatusMask; }
    // Where a requested stop takes effect (a Location); Nowhere when none was requested.
    int GetStopLocation() const { return m_state.load() >> 8; }
    // The document of the current or last run.
    CVeltraneDoc* GetDocument() const { return m_pDoc.load(); }

    // Whether a worker still has pDoc (its run, or its final save, is not over):
    // such a document must not be closed, saved or processed.
    bool IsAcquiring(const CVeltraneDoc* pDoc) const;
    // Whether any worker is still running.
    bool IsBusy() const;
    // Waits until every worker has ended, calling pump between looks so the
    // user-interface thread keeps handling the workers' requests.
    void WaitForWorkers(const std::function<void()>& pump);

private:
    struct SRun;
    friend struct SRun;
    // Status (low byte) and stop location (next byte) in one word, so they
    // change together.
    static constexpr int StatusMask = 0xFF;
    static int Pack(int status, int locn) { return status | (locn << 8); }

    void ReapWorkers(bool bAll);
    int StopLocation() const;
    // The check point: 0, or 5121 when a requested stop is due at loc (an
    // abort first tells the DAU).
    int QueryStop(Location loc, CDAU* pDAU);
    // Inactive, keeping the stop location; one atomic step against a request.
    void EndRun();

public:
    // Writes the whole document to path through the atomic writer; "" or the
    // message for the failure (naming path and the cause), after which the
    // document is marked modified. What the host's SaveDocument calls on the
    // thread that may read the document.
    static std::string WriteDocument(CVeltraneDoc& doc, const std::string& path);

private:
    IAcqHost* m_pHost = nullptr;
    CDAU* m_pDAU = nullptr;
    CASCU* m_pASCU = nullptr;
    std::atomic<int> m_state{Inactive};
    std::atomic<CVeltraneDoc*> m_pDoc{nullptr};
    // Of the current run, for the stop rules (user-interface thread only).
    int m_iTechnique = 0;
    ExpType m_ExpType = Widescan;
    int m_iScanType = 0;
    int m_iFirstScanMode = 0;

    mutable std::mutex m_workersLock;
    std::vector<std::shared_ptr<SRun>> m_workers;
};
