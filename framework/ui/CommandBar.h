#pragma once
// One QAction per command id. Triggering an action routes the command;
// the states of all actions are refreshed from the update handlers when a
// menu opens and, for the toolbars, on a short timer while the frame is shown.

#include <QObject>
#include <functional>
#include <map>

class QAction;
class QMenu;
class QTimer;
class CCmdUI;

class CCommandBar : public QObject
{
    Q_OBJECT
public:
    // route(id, ui) offers the command along the route; false: nobody handled it.
    using Router = std::function<bool(unsigned id, CCmdUI* ui)>;

    CCommandBar(QWidget* owner, Router router);

    // The action of a command, made on first use: text from the caller,
    // status prompt and tool tip from the string table.
    QAction* Action(unsigned id, const QString& text = QString());
    bool HasAction(unsigned id) const { return m_actions.count(id) != 0; }
    // Adds the command's action to the menu and returns it.
    QAction* AddToMenu(QMenu* menu, unsigned id, const QString& text);
    // Refreshes the states of every action now.
    void UpdateAll();
    void UpdateMenu(QMenu* menu);
    // Routes a command after checking its state; false when it is greyed.
    bool Execute(unsigned id);

private:
    void Update(unsigned id, QAction* a);
    QWidget* m_pOwner;
    Router m_route;
    std::map<unsigned, QAction*> m_actions;
    QTimer* m_pIdle;
};
