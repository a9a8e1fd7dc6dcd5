// The panel settings window as a screen reader reads it over AT-SPI: each
// meter's ID box by its meter with the ID it shows, bound or typed.

#include "panelsetup/table_setting_window.h"

#include "base/error_trap.h"
#include "settings/settings_store.h"
#include "state/console.h"
#include "state/slot_painter.h"
#include "support/atspi_tree.h"
#include "support/fakes.h"
#include "support/qt_app.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

class NoPainter : public SlotPainter {
public:
    void Show_Slot_Values(int, const QByteArray &, std::int32_t) override {}
    void paintPenIcon(int, bool) override {}
    void repaintFrameWithName(int) override {}
};

} // namespace

TEST(TableSettingOverAtspi, EveryMeterIsHeardWithTheIdAndNameItShows)
{
    test::qtApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Console console;
    console.programDir = dir.path();
    test::FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
    runSettingsStartup(console.settingsPath(), console.settings, trap);
    console.settings.panel.IdText[2] = QStringLiteral("005");
    console.settings.panel.NameText[2] = QStringLiteral("Kiln A");
    NoPainter painter;
    FM_TableSetting window(console, painter, reporter);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Combo_ID(7)->setEditText(QStringLiteral("300"));   // typed, no item of the list

    QString error;
    const auto tree = test::readOverAtspi(FM_TableSetting::caption(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(&window, *tree).join(u'\n').toStdString(), "");
    const auto typed = tree->find(QStringLiteral("combo box"), QStringLiteral("Meter 8 ID"));
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_EQ(typed[0]->text, QStringLiteral("300"));
}
