#pragma once
// Command ids with routing: every window, document and the application is a
// command target. A target answers "handled" for the ids it knows; the main
// frame offers each command along the route and greys what nobody handles.

#include <functional>
#include <string>
#include <unordered_map>

// The state a command's update handler sets (enabled, check mark, radio dot).
class CCmdUI
{
public:
    explicit CCmdUI(unsigned id) : m_nID(id) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(bool bOn = true)
    {
        m_bEnabled = bOn;
        m_bEnableChanged = true;
    }
    // 0 unchecked, 1 checked (2, indeterminate, shows as checked).
    virtual void SetCheck(int nCheck = 1) { m_nCheck = nCheck; }
    virtual void SetRadio(bool bOn = true) { m_nCheck = bOn ? 1 : 0; }

    unsigned m_nID;
    bool m_bEnabled = false;
    bool m_bEnableChanged = false;
    int m_nCheck = 0;
};

class CCmdTarget
{
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Executes the command (pUI null) or sets its state (pUI given).
    // Returns true when this target handled it; routing then stops.
    virtual bool OnCmdMsg(unsigned id, CCmdUI* pUI);

protected:
    // The first registration for an id wins, so a derived class registers its
    // own entries before calling the base's registration.
    void OnCommand(unsigned id, std::function<void()> handler);
    void OnCommandRange(unsigned first, unsigned last, std::function<void(unsigned)> handler);
    void OnUpdateCommand(unsigned id, std::function<void(CCmdUI*)> handler);
    void OnUpdateCommandRange(unsigned first, unsigned last, std::function<void(CCmdUI*)> handler);

private:
    struct Entry
    {
        std::function<void(unsigned)> command;
        std::function<void(CCmdUI*)> update;
    };
    std::unordered_map<unsigned, Entry> m_map;
};
