// The Line Monitor as a screen reader reads it over AT-SPI while the console
// polls a simulated controller: its tables and the controller filter with
// the controller it shows.

#include "health/line_health.h"
#include "health/line_monitor_window.h"
#include "support/atspi_tree.h"
#include "support/console_over_simulator.h"

#include <QComboBox>

using namespace orbalis;

namespace {

using LineMonitorOverAtspi = test::ConsoleOverSimulator;

} // namespace

TEST_F(LineMonitorOverAtspi, TablesAndTheControllerFilterAreHeardAsShown)
{
    showConsoleWithControllerFive();
    LineMonitorWindow &monitor = window->health().showMonitor();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&monitor));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusBar1().text(2) == "Read PV ... Check CRC Ok !"; },
                                10000));
    window->Timer_Read().setEnabled(false);
    monitor.refresh();
    QComboBox *filter = monitor.controllerFilter();
    filter->setCurrentIndex(filter->findText(QStringLiteral("ID 5")));
    Q_EMIT filter->activated(filter->currentIndex());

    QString error;
    const auto tree = test::readOverAtspi(LineMonitorWindow::caption(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(&monitor, *tree).join(u'\n').toStdString(), "");
    for (const char *table : {"Counters", "Traffic"})
        EXPECT_EQ(tree->find(QStringLiteral("table"), QString::fromLatin1(table)).size(), 1u) << table;
}
