// The main window as a screen reader reads it over AT-SPI while the console
// polls a simulated controller: the slot pictures and the status bar.

#include "console/slot_panel.h"
#include "support/atspi_tree.h"
#include "support/console_over_simulator.h"

#include <QAccessible>

using namespace orbalis;

namespace {

using MainWindowOverAtspi = test::ConsoleOverSimulator;

} // namespace

TEST_F(MainWindowOverAtspi, SlotPicturesAndStatusPanelsAreHeardAsShown)
{
    showConsoleWithControllerFive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusBar1().text(2) == "Read PV ... Check CRC Ok !"; },
                                10000));
    window->Timer_Read().setEnabled(false);   // what is shown stays while it is read

    QString error;
    const auto tree = test::readOverAtspi(QStringLiteral("Orbalis"), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(window.get(), *tree).join(u'\n').toStdString(), "");

    // The status bar tells both panels with their texts; what holds a panel
    // in the bar adds no words of its own.
    QStringList panels;
    for (const test::AtspiNode *bar : tree->find(QStringLiteral("status bar"), QString()))
        for (const test::AtspiNode *node : bar->all()) {
            if (node->role == "label")
                panels << node->name;
            else if (node->role == "filler" || node->role == "panel") {
                EXPECT_EQ(node->name + node->description, "") << node->role.toStdString();
            }
        }
    EXPECT_EQ(panels, (QStringList{"Status 1: No.3 Slot ; ID = 5", "Status 2: Read PV ... Check CRC Ok !"}));

    // Every slot is a picture named by its place and described by what it shows.
    for (int k = 0; k < 16; ++k) {
        const auto slot = tree->find(QStringLiteral("image"), QStringLiteral("Slot %1").arg(k + 1));
        ASSERT_EQ(slot.size(), 1u) << k;
        if (k == 2) {
            const QString values = window->Pic_All().shownValues(k);
            EXPECT_FALSE(values.isEmpty());
            EXPECT_TRUE(slot[0]->description.startsWith(QStringLiteral("Controller ID 5, ")))
                << slot[0]->description.toStdString();
            EXPECT_TRUE(slot[0]->description.contains(values)) << slot[0]->description.toStdString();
        } else {
            EXPECT_EQ(slot[0]->description, "No controller.") << k;
        }
    }
}
