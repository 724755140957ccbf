// The commands the main window offers hold together: every menu item and
// toolbar button has its text and its status-bar prompt, every key reaches one
// command only, and every command offered is handled or greyed on purpose.

#include "AppFixture.h"

#include "res/resource.h"

#include <QCoreApplication>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <map>
#include <set>

namespace {

unsigned IdOf(const QAction* a)
{
    bool ok = false;
    const unsigned id = a->data().toUInt(&ok);
    return ok ? id : 0;
}

void CollectMenu(const QMenu* menu, std::vector<QAction*>& out)
{
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        if (a->menu())
            CollectMenu(a->menu(), out);
        else if (IdOf(a) != 0) // the Window menu's list of open windows has no command id
            out.push_back(a);
    }
}

TEST_F(AppFixture, EveryOfferedCommandHasItsTextsOneKeyAndAHandler)
{
    Start();
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str()), nullptr);
    Pump(20);

    std::vector<QAction*> menuItems;
    for (const QList<QMenu*>* menus : {&frame->GetMenus128(), &frame->GetMenus129()})
        for (const QMenu* m : *menus) {
            EXPECT_FALSE(m->title().isEmpty());
            CollectMenu(m, menuItems);
        }
    std::set<unsigned> offered;
    for (QAction* a : menuItems) {
        const unsigned id = IdOf(a);
        offered.insert(id);
        EXPECT_FALSE(a->text().isEmpty()) << "menu item " << id;
        EXPECT_FALSE(a->statusTip().isEmpty()) << "menu item " << id << " " << a->text().toStdString();
        // A key shown after the tab is the key the command answers to.
        const qsizetype tab = a->text().indexOf('\t');
        if (tab >= 0) {
            EXPECT_TRUE(a->shortcuts().contains(QKeySequence(a->text().mid(tab + 1))))
                << "menu item " << id << " " << a->text().toStdString();
        }
    }
    ASSERT_NE(frame->GetToolBar(), nullptr);
    for (QAction* a : frame->GetToolBar()->actions()) {
        if (a->isSeparator())
            continue;
        const unsigned id = IdOf(a);
        ASSERT_NE(id, 0u);
        offered.insert(id);
        EXPECT_FALSE(a->statusTip().isEmpty()) << "toolbar button " << id;
        EXPECT_FALSE(a->toolTip().isEmpty()) << "toolbar button " << id;
    }
    for (unsigned id : {ID_DISP_SAMPLE, ID_DISP_REGION, ID_DISP_LEVEL}) {
        ASSERT_NE(frame->GetDispButton(id), nullptr);
        EXPECT_FALSE(frame->GetDispButton(id)->text().isEmpty());
        EXPECT_FALSE(Action(id)->statusTip().isEmpty());
    }

    // A key sequence reaches one command of the window.
    std::map<QKeySequence, unsigned> keys;
    for (QAction* a : frame->findChildren<QAction*>()) {
        for (const QKeySequence& k : a->shortcuts()) {
            const auto [it, fresh] = keys.emplace(k, IdOf(a));
            EXPECT_TRUE(fresh) << k.toString().toStdString() << " is the key of " << it->second << " and "
                               << IdOf(a);
        }
        // Qt's own window actions (a document window's Close, Next) carry no command id.
        if (!a->shortcuts().isEmpty() && IdOf(a) != 0)
            offered.insert(IdOf(a));
    }

    // Greyed on purpose: there is no help file, nothing in the document
    // windows is edited in place and they have no panes; the zoom commands
    // belong to the image windows, which a spectrum file does not open.
    const std::set<unsigned> greyedOnPurpose = {
        ID_HELP_FINDER, ID_HELP,      ID_CONTEXT_HELP, ID_EDIT_COPY,   ID_EDIT_CUT,     ID_EDIT_PASTE,
        ID_EDIT_UNDO,   ID_NEXT_PANE, ID_PREV_PANE,    ID_VIEW_ZOOMIN, ID_VIEW_ZOOMOUT, ID_VIEW_DEFAULTZOOM};
    for (unsigned id : offered) {
        CCmdUI ui(id);
        if (greyedOnPurpose.count(id) == 0) {
            EXPECT_TRUE(frame->RouteCommand(id, &ui)) << "command " << id << " has no handler";
        }
    }
}

} // namespace

TEST_F(AppFixture, TheStatusBarSaysReadyAgainOnceAPromptIsGone)
{
    // The pointer passes over a menu item or a toolbar button: its prompt
    // shows, and when the pointer leaves the bar goes back to its idle text.
    Start();
    QStatusBar* bar = frame->statusBar();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("Ready"));
    for (unsigned id : {unsigned(ID_FILE_OPEN), unsigned(ID_ACQUIRE_XPS)}) {
        QAction* a = frame->GetCommandBar()->Action(id);
        ASSERT_NE(a, nullptr);
        ASSERT_FALSE(a->statusTip().isEmpty());
        QStatusTipEvent enter(a->statusTip());
        QCoreApplication::sendEvent(frame, &enter);
        EXPECT_EQ(bar->currentMessage(), a->statusTip());
        QStatusTipEvent leave{QString()};
        QCoreApplication::sendEvent(frame, &leave);
        EXPECT_EQ(bar->currentMessage(), QStringLiteral("Ready"));
    }
}
