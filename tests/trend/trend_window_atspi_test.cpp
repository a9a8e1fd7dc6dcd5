// A trend window as a screen reader reads it over AT-SPI while the console
// polls a simulated controller: its status line with its text, and the plot
// described in words.

#include "support/atspi_tree.h"
#include "support/console_over_simulator.h"
#include "trend/trend_window.h"
#include "trend/trend_windows.h"

using namespace orbalis;

namespace {

class TrendWindowOverAtspi : public test::ConsoleOverSimulator {
protected:
    // A still clock: the live status does not turn stale while it is read.
    test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
};

} // namespace

TEST_F(TrendWindowOverAtspi, StatusLineAndPlotAreHeardAsShown)
{
    SettingsModel settings = lineSettings();
    settings.panel.IdText[2] = QStringLiteral("005");
    settings.panel.NameText[2] = QStringLiteral("Kiln A");
    saveSettings(settings);
    startSimulator(QStringLiteral("5"));
    console.clock = &clock;
    openConsole();
    showConsole();
    TrendWindow *trend = window->trends().open(2);
    ASSERT_NE(trend, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trend));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !trend->statusText().startsWith("Live: no good reply"); }, 10000));
    window->Timer_Read().setEnabled(false);

    QString error;
    const auto tree = test::readOverAtspi(trend->windowTitle(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(trend, *tree).join(u'\n').toStdString(), "");
    EXPECT_EQ(tree->find(QStringLiteral("label"), "Status: " + trend->statusText()).size(), 1u);
    bool plotDescribed = false;
    for (const test::AtspiNode *n : tree->all())
        plotDescribed = plotDescribed
            || (n->name == "Trend plot" && n->description.startsWith(QStringLiteral("Live trend of Kiln A (ID 5)")));
    EXPECT_TRUE(plotDescribed);
}
