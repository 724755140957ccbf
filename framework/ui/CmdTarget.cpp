#include "framework/ui/CmdTarget.h"

bool CCmdTarget::OnCmdMsg(unsigned id, CCmdUI* pUI)
{
    auto it = m_map.find(id);
    if (it == m_map.end())
        return false;
    const Entry& e = it->second;
    if (pUI) {
        if (e.update) {
            e.update(pUI);
            return true;
        }
        if (e.command) {
            // A command with a handler but no update handler is enabled.
            pUI->Enable(true);
            return true;
        }
        return false;
    }
    if (!e.command)
        return false;
    e.command(id);
    return true;
}

void CCmdTarget::OnCommand(unsigned id, std::function<void()> handler)
{
    Entry& e = m_map[id];
    if (!e.command)
        e.command = [h = std::move(handler)](unsigned) { h(); };
}

void CCmdTarget::OnCommandRange(unsigned first, unsigned last, std::function<void(unsigned)> handler)
{
    for (unsigned id = first; id <= last; ++id) {
        Entry& e = m_map[id];
        if (!e.command)
            e.command = handler;
    }
}

void CCmdTarget::OnUpdateCommand(unsigned id, std::function<void(CCmdUI*)> handler)
{
    Entry& e = m_map[id];
    if (!e.update)
        e.update = std::move(handler);
}

void CCmdTarget::OnUpdateCommandRange(unsigned first, unsigned last, std::function<void(CCmdUI*)> handler)
{
    for (unsigned id = first; id <= last; ++id) {
        Entry& e = m_map[id];
        if (!e.update)
            e.update = handler;
    }
}
