#pragma once
// The readers of foreign data files (the older Norvale format and VAMAS) live
// in data/formats, which depends on data. The document reaches them through
// this interface; data/formats installs its implementation with
// CVeltraneDoc::SetImportReader at start-up.

class CFile;
class CVeltraneDoc;

class IImportReader
{
public:
    virtual ~IImportReader() = default;

    // Each reads the whole file from its start and converts it into the
    // (empty) document. A file that cannot be read is reported to the user
    // first (message box through the platform message sink) and then the
    // command is abandoned by throwing CUserException; the document's open
    // then fails without a second message. Archive and file exceptions may
    // pass through for the document open to report.
    virtual void OpenNorvaleFile(CVeltraneDoc& doc, CFile& file) = 0;
    virtual void OpenVamasFile(CVeltraneDoc& doc, CFile& file) = 0;
};
