#include "framework/ui/CommandBar.h"

#include "framework/ui/CmdTarget.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QWidget>

CCommandBar::CCommandBar(QWidget* owner, Router router)
    : QObject(owner), m_pOwner(owner), m_route(std::move(router)), m_pIdle(new QTimer(this))
{
    m_pIdle->setInterval(250);
    SafeConnect(m_pIdle, &QTimer::timeout, this, [this] {
        if (m_pOwner->isVisible())
            UpdateAll();
    });
    m_pIdle->start();
}

QAction* CCommandBar::Action(unsigned id, const QString& text)
{
    auto it = m_actions.find(id);
    if (it != m_actions.end()) {
        if (!text.isEmpty() && it->second->text().isEmpty())
            it->second->setText(text);
        return it->second;
    }
    auto* a = new QAction(text, m_pOwner);
    a->setData(id);
    a->setStatusTip(CommandPrompt(id));
    QString tip = CommandTip(id);
    if (!tip.isEmpty())
        a->setToolTip(tip);
    a->setEnabled(false);
    // Shortcuts act in the frame and its document windows, not past a modal box.
    a->setShortcutContext(Qt::WindowShortcut);
    m_pOwner->addAction(a);
    connect(a, &QAction::triggered, this, [this, id](bool) { SafeInvoke([&] { Execute(id); }); });
    m_actions.emplace(id, a);
    return a;
}

QAction* CCommandBar::AddToMenu(QMenu* menu, unsigned id, const QString& text)
{
    QAction* a = Action(id, text);
    menu->addAction(a);
    return a;
}

void CCommandBar::Update(unsigned id, QAction* a)
{
    CCmdUI ui(id);
    bool handled = false;
    SafeInvoke([&] { handled = m_route(id, &ui); });
    // Handled without an Enable call counts as enabled; unhandled is greyed.
    bool enabled = handled && (!ui.m_bEnableChanged || ui.m_bEnabled);
    if (a->isEnabled() != enabled)
        a->setEnabled(enabled);
    bool checkable = ui.m_nCheck != 0 || a->isCheckable();
    if (checkable) {
        a->setCheckable(true);
        a->setChecked(ui.m_nCheck != 0);
    }
}

void CCommandBar::UpdateAll()
{
    for (auto& [id, a] : m_actions)
        Update(id, a);
}

void CCommandBar::UpdateMenu(QMenu* menu)
{
    for (QAction* a : menu->actions()) {
        bool ok = false;
        unsigned id = a->data().toUInt(&ok);
        if (ok && id && m_actions.count(id))
            Update(id, a);
    }
}

bool CCommandBar::Execute(unsigned id)
{
    // Accelerators and a timer-stale toolbar must not run a greyed command.
    CCmdUI ui(id);
    bool handled = false;
    SafeInvoke([&] { handled = m_route(id, &ui); });
    if (!handled || (ui.m_bEnableChanged && !ui.m_bEnabled))
        return false;
    SafeInvoke([&] { m_route(id, nullptr); });
    UpdateAll();
    return true;
}
