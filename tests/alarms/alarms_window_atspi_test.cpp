// The "Alarms" window as a screen reader reads it over AT-SPI while the
// console polls a simulated controller whose lamp is lit: the line on floods
// and chattering with its text, the filters with what they show, and the
// tables of current alarms and of the journal.

#include "alarms/alarms_window.h"
#include "alarms/console_alarms.h"
#include "alarms/current_alarms_model.h"
#include "alarms/journal_model.h"
#include "console/slot_panel.h"
#include "support/atspi_tree.h"
#include "support/console_over_simulator.h"

#include <QComboBox>

using namespace orbalis;
using namespace std::chrono_literals;

namespace {

using AlarmsWindowOverAtspi = test::ConsoleOverSimulator;

} // namespace

TEST_F(AlarmsWindowOverAtspi, TheRateLineTheFiltersAndTheTablesAreHeardAsShown)
{
    SettingsModel settings = lineSettings();
    settings.panel.IdText[2] = QStringLiteral("005");
    settings.panel.NameText[2] = QStringLiteral("Kiln A");
    saveSettings(settings);
    startSimulator(QStringLiteral("5"), {QStringLiteral("--blink"), QStringLiteral("5:1:100")});
    openConsole();
    showConsole();
    AlarmsWindow &alarms = window->alarms().showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&alarms));
    ASSERT_TRUE(QTest::qWaitFor([&] { return alarms.currentModel().rowCount() > 0; }, 10000));
    window->Timer_Read().setEnabled(false);
    ASSERT_TRUE(window->alarms().journal().flush(10s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return alarms.journalModel().rowCount() > 0; }, 5000));
    QComboBox *controller = alarms.controllerBox();
    controller->setCurrentIndex(controller->findData(5));
    Q_EMIT controller->activated(controller->currentIndex());

    QString error;
    const auto tree = test::readOverAtspi(AlarmsWindow::caption(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(&alarms, *tree).join(u'\n').toStdString(), "");
    EXPECT_EQ(tree->find(QStringLiteral("label"), "Alarm flood and chattering: " + alarms.rateLine()).size(), 1u);
    for (const char *table : {"Current alarms", "Shelved alarms", "Journal"})
        EXPECT_EQ(tree->find(QStringLiteral("table"), QString::fromLatin1(table)).size(), 1u) << table;
    const auto filters = tree->find(QStringLiteral("combo box"), QStringLiteral("Controller"));
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0]->selectedItem(), QStringList{QStringLiteral("ID 5 Kiln A")});
    // The slot with the lamp lit tells its waiting alarm.
    bool slotTells = false;
    QString error2;
    const auto panel = test::readOverAtspi(window->windowTitle(), error2);
    ASSERT_TRUE(panel) << error2.toStdString();
    for (const test::AtspiNode *n : panel->all())
        slotTells =
            slotTells || (n->name == "Slot 3" && n->description.contains(QStringLiteral("Unacknowledged alarm")));
    EXPECT_TRUE(slotTells);
}
