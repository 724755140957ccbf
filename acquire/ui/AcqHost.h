#pragma once
// What the acquisition sheets use of the program around them: the peak
// library, the instrument links, the energy unit, the file dialog, the
// document templates and the acquisition engine. The application fills it
// at start-up (app/ sits above acquire/ui); tests fill it with their own.

#include <functional>
#include <string>

class CASCU;
class CDAU;
class CMultiDocTemplate;
class CPkLib;
class CVeltraneDoc;
class QObject;

struct SAcqHost
{
    const CPkLib* pkLib = nullptr;
    CDAU* dau = nullptr;
    CASCU* ascu = nullptr;
    // The program's XPS energy unit: 2 kinetic, 3 binding.
    std::function<int()> xpsUnit;
    // The file dialog: filters are zero-terminated string ids of extensions.
    std::function<bool(std::string& path, bool open, const unsigned* filters)> fileName;
    // The spectrum (0), profile (1) and image (2) document templates.
    std::function<CMultiDocTemplate*(int)> docTemplate;
    // Opens a data file as a hidden document; null when it cannot (the reason shown).
    std::function<CVeltraneDoc*(const std::string& path)> openDocument;

    // The acquisition engine. engineStatus: 0 inactive.
    std::function<int()> engineStatus;
    // 0 once the run is under way, else the id of the message already shown.
    std::function<int(CVeltraneDoc*, QObject* notify)> startAcquiring;
    std::function<void(bool abort)> stopAcquiring;
    std::function<CVeltraneDoc*()> engineDocument;

    bool EngineIdle() const { return !engineStatus || engineStatus() == 0; }
};

SAcqHost& AcqHost();
