#pragma once
// The document's readers of Norvale and VAMAS files, and what vltdump and the
// application need to use them.

#include "data/ImportReader.h"

#include <string>

class CPkLib;

class CImportReader : public IImportReader
{
public:
    // pkLib gives imported regions their peak index; it may be null.
    explicit CImportReader(const CPkLib* pkLib = nullptr) : m_pPkLib(pkLib) {}
    void OpenNorvaleFile(CVeltraneDoc& doc, CFile& file) override;
    void OpenVamasFile(CVeltraneDoc& doc, CFile& file) override;

private:
    const CPkLib* m_pPkLib;
};

// Installs the readers for every document (CVeltraneDoc::SetImportReader).
// The application passes its peak library once it is loaded.
void RegisterImportReaders(const CPkLib* pkLib = nullptr);
