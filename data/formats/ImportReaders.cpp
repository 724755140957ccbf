#include "data/formats/ImportReaders.h"

#include "data/VeltraneDoc.h"
#include "data/formats/ImportErrors.h"
#include "data/formats/Norvale.h"
#include "data/formats/RecordBuilder.h"
#include "platform/File.h"

void CImportReader::OpenNorvaleFile(CVeltraneDoc& doc, CFile& file)
{
    CNorvale model(&file);
    CRecordBuilder::Convert(doc, model, m_pPkLib);
}

void CImportReader::OpenVamasFile(CVeltraneDoc& doc, CFile& file)
{
    int result = 0;
    CNorvale model(&file, &result);
    if (result != 0)
        ReportImportError(result, file.GetFileTitle());
    CRecordBuilder::Convert(doc, model, m_pPkLib);
}

void RegisterImportReaders(const CPkLib* pkLib)
{
    static CImportReader reader;
    reader = CImportReader(pkLib);
    CVeltraneDoc::SetImportReader(&reader);
}
