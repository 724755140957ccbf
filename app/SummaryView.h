#pragma once
// A plain view of a document until the spectrum, profile and image displays
// take its place: it lists the analysis positions with their regions and
// levels. The spectrum template's instance also carries the Process commands.

#include "app/VeltraneView.h"

#include <functional>

class QListWidget;

class CSummaryView : public CVeltraneView
{
    Q_OBJECT
public:
    explicit CSummaryView(bool bProcessCommands = false);

    void OnInitialUpdate() override;
    void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) override;
    QListWidget* GetList() const { return m_pList; }

private:
    void Fill();
    QListWidget* m_pList;
};

// The tools of the Process menu register here as they are built; a command
// whose tool is not registered stays greyed. The creator gets the view.
using ToolCreator = std::function<void(CVeltraneView* view)>;
void RegisterProcessTool(unsigned id, ToolCreator creator);
bool HasProcessTool(unsigned id);
void RunProcessTool(unsigned id, CVeltraneView* view);
