// Messages between threads, the message sink of the interface, the data
// exchange helpers, modeless dialogs, property sheets and the recent files.

#include "TestSupport.h"

#include "framework/ui/AppMessage.h"
#include "framework/ui/DataExchange.h"
#include "framework/ui/Dialog.h"
#include "framework/ui/PropertySheet.h"
#include "framework/ui/QtMessageSink.h"
#include "framework/ui/WinApp.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>
#include <atomic>
#include <clocale>
#include <gtest/gtest.h>
#include <thread>

namespace {

class Receiver : public QObject, public IAppMessageHandler
{
public:
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        received.push_back({message, wParam, lParam});
        onThread = std::this_thread::get_id();
        return intptr_t(wParam) + lParam;
    }
    struct Msg
    {
        unsigned m;
        uintptr_t w;
        intptr_t l;
    };
    std::vector<Msg> received;
    std::thread::id onThread;
};

TEST(AppMessage, PostIsQueuedAndSendFromAWorkerWaitsForTheUiThread)
{
    TestApp();
    Receiver r;
    EXPECT_TRUE(PostAppMessage(&r, 0x8001, 1, 2));
    EXPECT_TRUE(r.received.empty()) << "a posted message waits for the event loop";
    EXPECT_EQ(SendAppMessage(&r, 0x8003, 5, 6), 11) << "on the UI thread a send is a direct call";
    Pump(10);
    ASSERT_EQ(r.received.size(), 2u);
    EXPECT_EQ(r.received[0].m, 0x8003u);
    EXPECT_EQ(r.received[1].m, 0x8001u);

    std::atomic<intptr_t> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = SendAppMessage(&r, 0x8004, 40, 2);
        done = true;
    });
    Pump(50);
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(r.onThread, std::this_thread::get_id()) << "handled on the UI thread";
}

TEST(AppMessage, ATargetDestroyedBeforeDeliveryGetsNothingAndReleasesTheSender)
{
    TestApp();
    auto* r = new Receiver;
    std::atomic<bool> done{false};
    std::atomic<intptr_t> result{-1};
    std::thread worker([&] {
        result = SendAppMessage(r, 0x8004, 1, 1);
        done = true;
    });
    // Give the worker time to queue its call, then delete the target unseen.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    delete r;
    Pump(50);
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(PostAppMessage(nullptr, 1));
}

TEST(QtMessageSink, AWorkerBoxIsShownOnTheUiThread)
{
    TestApp();
    CQtMessageSink sink;
    std::thread::id shownOn;
    sink.SetPresenter([&](const std::string& text, unsigned) {
        shownOn = std::this_thread::get_id();
        return text == "question" ? IDNO : IDOK;
    });
    IMessageSink* old = SetMessageSink(&sink);
    std::atomic<int> answer{0};
    std::thread worker([&] { answer = AfxMessageBox("question", MB_YESNO); });
    Pump(50);
    worker.join();
    SetMessageSink(old);
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(shownOn, std::this_thread::get_id());
}

class ExchangeDlg : public CDialog
{
public:
    ExchangeDlg()
    {
        auto* l = new QVBoxLayout(this);
        for (const char* n : {"IDC_INT", "IDC_UINT", "IDC_REAL", "IDC_TEXT"}) {
            auto* e = new QLineEdit(this);
            e->setObjectName(n);
            l->addWidget(e);
        }
        auto* box = new QWidget(this);
        auto* bl = new QVBoxLayout(box);
        for (const char* n : {"IDC_R0", "IDC_R1", "IDC_R2"}) {
            auto* r = new QRadioButton(box);
            r->setObjectName(n);
            bl->addWidget(r);
        }
        l->addWidget(box);
        auto* c = new QCheckBox(this);
        c->setObjectName("IDC_CHECK");
        c->setTristate(true);
        l->addWidget(c);
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, "IDC_INT", m_i);
        DDV_MinMaxInt(pDX, m_i, 1, 10);
        DDX_Text(pDX, "IDC_UINT", m_u);
        DDX_Text(pDX, "IDC_REAL", m_d);
        DDV_MinMaxDouble(pDX, m_d, 0.5, 2.5);
        DDX_Text(pDX, "IDC_TEXT", m_s);
        DDV_MaxChars(pDX, m_s, 5);
        DDX_Radio(pDX, "IDC_R0", m_radio);
        DDX_Check(pDX, "IDC_CHECK", m_check);
    }
    void Set(const char* name, const char* text)
    {
        findChild<QLineEdit*>(name)->setText(QString::fromUtf8(text));
    }
    int m_i = 5;
    unsigned m_u = 4294967295u;
    double m_d = 1.25;
    std::string m_s = "caf\xe9";
    int m_radio = 2;
    int m_check = 2;
};

TEST(DataExchange, ValuesRoundTripWithoutTheLocale)
{
    TestApp();
    // A decimal-comma locale must not change what the fields show or take.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    ExchangeDlg dlg;
    ASSERT_TRUE(dlg.UpdateData(false));
    EXPECT_EQ(dlg.findChild<QLineEdit*>("IDC_REAL")->text(), "1.25");
    EXPECT_EQ(dlg.findChild<QLineEdit*>("IDC_TEXT")->text(), QString::fromUtf8("café"))
        << "cp1252 shown as Unicode";
    EXPECT_TRUE(dlg.findChild<QRadioButton*>("IDC_R2")->isChecked());
    dlg.m_i = 0;
    dlg.m_u = 0;
    dlg.m_d = 0;
    dlg.m_s.clear();
    dlg.m_radio = -1;
    dlg.m_check = 0;
    ASSERT_TRUE(dlg.UpdateData(true));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(dlg.m_i, 5);
    EXPECT_EQ(dlg.m_u, 4294967295u) << "the top of the unsigned range comes back whole";
    EXPECT_DOUBLE_EQ(dlg.m_d, 1.25);
    EXPECT_EQ(dlg.m_s, "caf\xe9");
    EXPECT_EQ(dlg.m_radio, 2);
    EXPECT_EQ(dlg.m_check, 2);
}

TEST(DataExchange, BadValuesShowTheFrameworkMessageAndKeepTheMember)
{
    TestApp();
    struct
    {
        const char* ctrl;
        const char* text;
        const char* message;
    } const cases[] = {
        {"IDC_INT", "abc", "Please enter an integer."},
        {"IDC_INT", "3.5", "Please enter an integer."},
        {"IDC_INT", "99999999999", "Please enter an integer."},
        {"IDC_INT", "11", "Please enter an integer between 1 and 10."},
        {"IDC_INT", "0", "Please enter an integer between 1 and 10."},
        {"IDC_UINT", "-1", "Please enter a positive integer."},
        {"IDC_UINT", "4294967296", "Please enter a positive integer."},
        {"IDC_REAL", "1,5", "Please enter a number."},
        {"IDC_REAL", "nan", "Please enter a number."},
        {"IDC_REAL", "inf", "Please enter a number."},
        {"IDC_REAL", "2.6", "Please enter a number between 0.5 and 2.5."},
        {"IDC_TEXT", "toolong", "Please enter no more than 5 characters."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.ctrl) + " " + c.text);
        ExchangeDlg dlg;
        ASSERT_TRUE(dlg.UpdateData(false));
        dlg.Set(c.ctrl, c.text);
        CRecordingSink sink;
        EXPECT_FALSE(dlg.UpdateData(true));
        ASSERT_EQ(sink.Texts().size(), 1u);
        EXPECT_EQ(sink.Texts()[0], c.message);
    }
    ExchangeDlg dlg;
    dlg.UpdateData(false);
    dlg.Set("IDC_REAL", " +2.5 ");
    EXPECT_TRUE(dlg.UpdateData(true)) << "blanks and a plus sign are fine";
    EXPECT_DOUBLE_EQ(dlg.m_d, 2.5);
}

class CountingDlg : public CDialog
{
public:
    bool OnInitDialog() override
    {
        ++inits;
        return CDialog::OnInitDialog();
    }
    int inits = 0;
};

TEST(Dialog, AModelessDialogIsCreatedOnceAndOnlyHiddenWhenClosed)
{
    TestApp();
    CountingDlg dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_TRUE(dlg.isVisible());
    dlg.setProperty("state", 7);
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_EQ(dlg.property("state").toInt(), 7);
    dlg.reject();
    EXPECT_FALSE(dlg.isVisible());
}

class Page : public CPropertyPage
{
public:
    explicit Page(const char* title) : CPropertyPage(QString::fromLatin1(title))
    {
        auto* e = new QLineEdit(this);
        e->setObjectName("IDC_VALUE");
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, "IDC_VALUE", value);
        DDV_MinMaxInt(pDX, value, 0, 9);
    }
    void OnOK() override { ++oks; }
    int value = 1;
    int oks = 0;
};

TEST(PropertySheet, LeavingAPageValidatesItAndOkReachesEveryBuiltPage)
{
    TestApp();
    CPropertySheet sheet("Sheet");
    Page a("A"), b("B"), c("C");
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    sheet.AddPage(&c);
    ASSERT_TRUE(sheet.Create(nullptr));
    EXPECT_TRUE(a.IsBuilt());
    EXPECT_FALSE(b.IsBuilt());
    a.findChild<QLineEdit*>("IDC_VALUE")->setText("42");
    CRecordingSink sink;
    EXPECT_FALSE(sheet.SetActivePage(1)) << "a refused value keeps its page in front";
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    a.findChild<QLineEdit*>("IDC_VALUE")->setText("4");
    EXPECT_TRUE(sheet.SetActivePage(1));
    sheet.accept();
    EXPECT_EQ(a.value, 4);
    EXPECT_EQ(a.oks, 1);
    EXPECT_EQ(b.oks, 1);
    EXPECT_EQ(c.oks, 0) << "a page never shown is not asked";
    EXPECT_FALSE(sheet.isVisible());
    ASSERT_EQ(sink.Texts().size(), 1u);
}

TEST(PropertySheet, CtrlTabTurnsThePagesWhereverTheFocusIs)
{
    TestApp();
    CPropertySheet sheet("Sheet");
    Page a("A"), b("B"), c("C");
    // A drop-down list takes the keys it is given for its type-ahead search.
    auto* list = new QComboBox(&a);
    list->addItems({QStringLiteral("Default"), QStringLiteral("Tilted")});
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    sheet.AddPage(&c);
    ASSERT_TRUE(sheet.Create(nullptr));
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    ASSERT_TRUE(sheet.SetActivePage(0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(sheet.GetActiveIndex(), 2) << "backwards from the first page to the last";
    sheet.reject();
}

TEST(RecentFileList, KeepsFourNewestFirstAcrossRuns)
{
    TestApp();
    CTempSettings settings;
    CRecentFileList list(4);
    for (const char* p : {"/a.vlt", "/b.vlt", "/c.vlt", "/d.vlt", "/e.vlt", "/c.vlt"})
        list.Add(p);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/c.vlt", "/e.vlt", "/d.vlt", "/b.vlt"}));
    list.WriteList();
    CRecentFileList again(4);
    again.ReadList();
    EXPECT_EQ(again.Entries(), list.Entries());
    EXPECT_EQ(GetProfileString("Recent File List", "File1"), "/c.vlt");
}

} // namespace
