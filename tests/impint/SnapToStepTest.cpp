// Stepped edit fields: the control shows the value rounded to its step, the
// member keeps what was typed, and a value already on a step leaves the
// control as the user left it.

#include "TestSupport.h"

#include "framework/ui/SnapToStep.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QLineEdit>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Ids the string table does not have: the format falls back to "%g".
constexpr unsigned kMissingFormat = 64999;

TEST(SnapToStep, ShowsTheRoundedValueOnlyWhenTheValueIsOffItsStep)
{
    TestApp();
    struct
    {
        const char* name;
        const char* shown;
        double value, step, factor;
        unsigned format;
        const char* after; // nullptr: the control is not touched
    } const cases[] = {
        {"off the step", "11.3", 11.3, 2.5, 0.4, 0, "12.5"},
        {"on the step", "3.00", 3.0, 0.5, 2.0, 0, nullptr},
        {"no step", "3.3", 3.3, 0.0, 0.0, 0, nullptr},
        {"missing format", "3.3", 3.3, 0.5, 2.0, kMissingFormat, "3.5"},
        {"rounds down", "3.2", 3.2, 0.5, 2.0, 0, "3"},
        {"already shows it", "12.5", 11.3, 2.5, 0.4, 0, nullptr},
        {"negative", "-1.2", -1.2, 0.5, 2.0, 0, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QLineEdit edit;
        edit.setText(c.shown);
        edit.setModified(true); // a rewrite clears it
        double value = c.value;
        SnapToStep(&edit, &value, c.step, c.factor, c.format);
        EXPECT_EQ(value, c.value) << "the member keeps the typed value";
        if (c.after) {
            EXPECT_EQ(edit.text().toStdString(), c.after);
        } else {
            EXPECT_EQ(edit.text().toStdString(), c.shown);
            EXPECT_TRUE(edit.isModified()) << "the control was rewritten";
        }
    }
    double value = 11.3;
    SnapToStep(nullptr, &value, 2.5, 0.4, 0); // no window: nothing to show
    SnapToStep(nullptr, nullptr, 2.5, 0.4, 0);
    EXPECT_EQ(value, 11.3);
}

class SnapExchange : public ::testing::Test
{
protected:
    void SetUp() override
    {
        edit = new QLineEdit(&dlg);
        edit->setObjectName("IDC_HT");
    }
    void Exchange(bool save, double& value)
    {
        CDataExchange dx(&dlg, save);
        DDX_TextSnap(&dx, "IDC_HT", value, 0.0, 15.0, 2.5, 0.4, 0);
    }

    QApplication& qapp = TestApp(); // before any widget
    QWidget dlg;
    QLineEdit* edit = nullptr;
    CRecordingSink sink;
};

TEST_F(SnapExchange, RoundsTheShownTextInBothDirections)
{
    double value = 0;
    edit->setText("11.3");
    Exchange(true, value);
    EXPECT_EQ(value, 11.3);
    EXPECT_EQ(edit->text(), "12.5");
    // The next read takes the rounded text.
    Exchange(true, value);
    EXPECT_EQ(value, 12.5);

    value = 6.1;
    Exchange(false, value);
    EXPECT_EQ(edit->text(), "5");
    EXPECT_EQ(value, 6.1);
    EXPECT_TRUE(sink.Texts().empty());
}

TEST_F(SnapExchange, AValueOutOfRangeGetsTheRangeMessageAndNoRounding)
{
    double value = 0;
    edit->setText("16.2");
    EXPECT_THROW(Exchange(true, value), CUserException);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "Please enter a number between 0 and 15.");
    EXPECT_EQ(edit->text(), "16.2") << "the user's text stays for correcting";

    sink.Clear();
    edit->setText("abc");
    EXPECT_THROW(Exchange(true, value), CUserException);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "Please enter a number.");
}

} // namespace
