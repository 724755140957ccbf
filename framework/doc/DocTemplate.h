#pragma once
// A document template as the toolkit-free code sees it: the user interface
// implements it with a frame and view class; data code asks it to open files.

#include <string>
#include <vector>

class CDocument;

class CDocTemplate
{
public:
    virtual ~CDocTemplate() = default;
    // Opens path into a new document with its frame and view (an empty document
    // for null); null after a failure that has been reported.
    virtual CDocument* OpenDocumentFile(const char* path, bool bMakeVisible = true) = 0;
    virtual std::vector<CDocument*> GetDocuments() const = 0;
};
