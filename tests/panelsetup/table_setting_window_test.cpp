#include "panelsetup/table_setting_window.h"

#include "state/console.h"
#include "base/error_trap.h"
#include "base/twips.h"
#include "settings/settings_store.h"
#include "support/accessibility.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/qt_app.h"
#include "support/spies.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace orbalis {
namespace {

class TableSettingWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        console.programDir = dir.path();
        test::FakeReporter startup;
        ErrorTrap trap(startup, QStringLiteral("FM_Orbalis_Load"));
        runSettingsStartup(console.settingsPath(), console.settings, trap);
        ASSERT_EQ(trap.failures(), 0);
    }

    // Binds slots in the model and the file, as a previous session would have.
    void bind(int slot, const QString &id, const QString &name)
    {
        console.settings.panel.IdText[slot] = id;
        console.settings.panel.NameText[slot] = name;
        console.slots.SlotId[slot] = slotIdFromText(id);
        saveSettingsRecords(console.settingsPath(), {2, 3}, console.settings);
    }

    FM_TableSetting &open()
    {
        window = std::make_unique<FM_TableSetting>(console, painter, reporter);
        window->show();
        return *window;
    }

    // Reads records 2 and 3 back from the file into a fresh model.
    SettingsModel readBack()
    {
        SettingsModel model;
        SettingsFile file(console.settingsPath());
        file.open();
        Read_User_Setting(file, 2, model);
        Read_User_Setting(file, 3, model);
        file.close();
        return model;
    }

    QTemporaryDir dir;
    Console console;
    test::SlotPainterSpy painter{&console};
    test::FakeReporter reporter;
    std::unique_ptr<FM_TableSetting> window;
};

TEST_F(TableSettingWindowTest, MetersFormTheGridOfThePanelWithTheIdList)
{
    FM_TableSetting &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Panel Settings"));
    // Slot 3 top right and slot 12 bottom left, like the main panel.
    EXPECT_EQ(w.Frame1(3)->geometry(), twipsRect(105 + 3 * 2730, 105, 2640, 1065));
    EXPECT_EQ(w.Frame1(12)->geometry(), twipsRect(105, 105 + 3 * 1155, 2640, 1065));
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(w.Frame1(k)->title(), QStringLiteral("Meter %1").arg(k + 1));
    EXPECT_EQ(w.Label2(6)->palette().color(QPalette::WindowText), QColor(33, 132, 169));

    QComboBox *combo = w.Combo_ID(9);
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 256);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("---"));
    EXPECT_EQ(combo->itemText(7), QStringLiteral("007"));
    EXPECT_EQ(combo->itemText(255), QStringLiteral("255"));

    // Screen readers find every field by its meter and label (an editable
    // combo box by the label that labels it, inside its meter's frame).
    const auto found = test::accessibleNames(&w);
    EXPECT_EQ(found.values(QStringLiteral("ID")).count(QAccessible::ComboBox), 16);
    for (int k = 1; k <= 16; ++k)
        EXPECT_TRUE(test::hasAccessible(found, QStringLiteral("Meter %1 Describe").arg(k),
                                        {QAccessible::EditableText}))
            << k;
}

TEST(TableSettingWindowSize, WholePageWhereItFitsElseTheScreenWithScrollBars)
{
    const QSize page(736, 316);
    const int bar = 16;
    const struct {
        QSize available;
        QSize expected;
    } cases[] = {
        {{1280, 1000}, {736, 316}},   // fits: the page and nothing more
        {{736, 316}, {736, 316}},
        {{640, 480}, {640, 332}},     // too narrow (1280 wide at scale 2): room for the bar below
        {{640, 320}, {640, 320}},     // too narrow and, with the bar, too low
        {{1280, 300}, {752, 300}},    // too low: room for the bar at the side
        {{300, 200}, {300, 200}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FM_TableSetting::sizeOnScreen(page, c.available, bar), c.expected)
            << c.available.width() << "x" << c.available.height();
}

TEST_F(TableSettingWindowTest, ShowsTheWholePageOnAScreenThatHoldsIt)
{
    FM_TableSetting &w = open();
    const QSize page = twipsRect(0, 0, 11040, 4740).size();
    ASSERT_LE(page.width(), w.screen()->availableGeometry().width());
    EXPECT_EQ(w.size(), page);
    // The last meter is inside the window, not behind a scroll bar.
    QGroupBox *last = w.Frame1(15);
    const QRect shown(last->mapTo(&w, QPoint(0, 0)), last->size());
    EXPECT_TRUE(w.rect().contains(shown)) << shown.right() << "," << shown.bottom();
}

TEST_F(TableSettingWindowTest, LoadBeepsOnceAndFillsTheFieldsOnEveryOpening)
{
    bind(2, QStringLiteral("005"), QStringLiteral("Oven"));
    bind(15, QStringLiteral(" 12 "), QStringLiteral("溫度一"));
    FM_TableSetting &w = open();
    EXPECT_EQ(reporter.beeps, 1);
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_EQ(w.Combo_ID(2)->currentText(), QStringLiteral("005"));
    EXPECT_EQ(w.Text_Name(2)->text(), QStringLiteral("Oven"));
    EXPECT_EQ(w.Combo_ID(15)->currentText(), QStringLiteral(" 12 "));
    EXPECT_EQ(w.Text_Name(15)->text(), QStringLiteral("溫度一"));
    EXPECT_EQ(w.Combo_ID(0)->currentText(), QStringLiteral("---"));

    // Bringing a visible window forward again neither beeps nor reloads.
    w.Text_Name(2)->setText(QStringLiteral("typed"));
    w.show();
    EXPECT_EQ(reporter.beeps, 1);
    EXPECT_EQ(w.Text_Name(2)->text(), QStringLiteral("typed"));

    // Shown anew, the fields are copies of the model again.
    w.hide();
    w.show();
    EXPECT_EQ(reporter.beeps, 2);
    EXPECT_EQ(w.Text_Name(2)->text(), QStringLiteral("Oven"));
}

TEST_F(TableSettingWindowTest, ClosingUnchangedRewritesTheSameRecordsAndRepaintsEverySlot)
{
    bind(0, QStringLiteral("001"), QStringLiteral("Oven"));
    bind(5, QStringLiteral("12"), QStringLiteral("溫度一"));
    const QByteArray before = test::readFile(console.settingsPath());
    ASSERT_EQ(before.size(), 896);

    FM_TableSetting &w = open();
    // Someone else's texts in records 2 and 3 since the window opened: the
    // close must write the window's texts over them, byte for byte as before.
    QFile f(console.settingsPath());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(128);
    f.write(QByteArray(256, '\0'));
    f.close();

    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(test::readFile(console.settingsPath()), before);
    EXPECT_EQ(painter.framed, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(painter.namesSeen[5], QStringLiteral("溫度一"));
    EXPECT_EQ(painter.idsSeen[0], 1);
    EXPECT_EQ(painter.idsSeen[5], 12);
    EXPECT_TRUE(reporter.messages.isEmpty());
}

TEST_F(TableSettingWindowTest, IdsAreStoredAsTypedAndBindTheirSlots)
{
    bind(0, QStringLiteral("004"), QStringLiteral("A"));
    bind(3, QStringLiteral("009"), QStringLiteral("B"));
    FM_TableSetting &w = open();

    w.Combo_ID(0)->setCurrentIndex(0);                        // picked "---"
    w.Combo_ID(1)->setCurrentIndex(7);                        // picked "007"
    w.Combo_ID(3)->setEditText(QStringLiteral("abc"));
    // Typed by hand; Enter must neither complete nor add a list item.
    QLineEdit *edit = w.Combo_ID(2)->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(w.Combo_ID(2)->count(), 256);

    ASSERT_TRUE(w.close());
    const PanelTable &panel = console.settings.panel;
    EXPECT_EQ(panel.IdText[0], QStringLiteral("---"));
    EXPECT_EQ(panel.IdText[1], QStringLiteral("007"));
    EXPECT_EQ(panel.IdText[2], QStringLiteral("12"));
    EXPECT_EQ(panel.IdText[3], QStringLiteral("abc"));
    EXPECT_EQ(console.slots.SlotId[0], 0);
    EXPECT_EQ(console.slots.SlotId[1], 7);
    EXPECT_EQ(console.slots.SlotId[2], 12);
    EXPECT_EQ(console.slots.SlotId[3], 0);
    // The repaint of each slot already sees its new binding.
    EXPECT_EQ(painter.idsSeen[1], 7);
    EXPECT_EQ(painter.idsSeen[0], 0);

    const SettingsModel file = readBack();
    EXPECT_EQ(file.panel.IdText[0], QStringLiteral("---"));
    EXPECT_EQ(file.panel.IdText[1], QStringLiteral("007"));
    EXPECT_EQ(file.panel.IdText[2], QStringLiteral("12"));
    EXPECT_EQ(file.panel.IdText[3], QStringLiteral("abc"));
}

TEST_F(TableSettingWindowTest, ChineseNamesReachTheFileInCodePage950AndTheRepaint)
{
    const QStringList names{QStringLiteral("溫度一"), QStringLiteral("溫度二"), QStringLiteral("壓力"),
                            QStringLiteral("Tank 4")};
    FM_TableSetting &w = open();
    for (int k = 0; k < names.size(); ++k)
        w.Text_Name(k)->setText(names[k]);
    ASSERT_TRUE(w.close());

    const SettingsModel file = readBack();
    for (int k = 0; k < names.size(); ++k) {
        EXPECT_EQ(console.settings.panel.NameText[k], names[k]);
        EXPECT_EQ(file.panel.NameText[k], names[k]);
        EXPECT_EQ(painter.namesSeen[k], names[k]);
    }
    EXPECT_EQ(file.panel.NameText[4], QStringLiteral("---"));
    // Two bytes per Chinese character, as code page 950 has it (UTF-8 takes 9).
    const QByteArray record3 = test::readFile(console.settingsPath()).mid(256, 128);
    EXPECT_EQ(quint8(record3[0]), 6);
    EXPECT_EQ(quint8(record3[1]), 0);
}

// Everything a refusal must leave alone.
struct Snapshot {
    QByteArray file;
    PanelTable panel;
    SlotTables tables;
};

class TableSettingRefusalTest : public TableSettingWindowTest {
protected:
    Snapshot snapshot() { return {test::readFile(console.settingsPath()), console.settings.panel, console.slots}; }

    void expectNothingChanged(const Snapshot &s, const FM_TableSetting &w)
    {
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(test::readFile(console.settingsPath()), s.file);
        EXPECT_EQ(console.settings.panel.IdText, s.panel.IdText);
        EXPECT_EQ(console.settings.panel.NameText, s.panel.NameText);
        EXPECT_EQ(console.slots.SlotId, s.tables.SlotId);
        EXPECT_TRUE(painter.framed.empty());
        ASSERT_EQ(reporter.titles.size(), 1);
        EXPECT_EQ(reporter.titles[0], QStringLiteral("Panel Settings"));
    }
};

TEST_F(TableSettingRefusalTest, IdsOutsideZeroTo255KeepTheWindowOpenAndNameTheMeter)
{
    bind(4, QStringLiteral("004"), QStringLiteral("Oven"));
    const Snapshot before = snapshot();
    FM_TableSetting &w = open();
    w.Combo_ID(4)->setEditText(QStringLiteral("300"));
    w.Combo_ID(0)->setEditText(QStringLiteral("-1"));
    w.Combo_ID(1)->setCurrentIndex(9);
    w.Text_Name(4)->setText(QStringLiteral("Kiln"));

    EXPECT_FALSE(w.close());
    expectNothingChanged(before, w);
    const QString message = reporter.messages[0];
    EXPECT_TRUE(message.contains(QStringLiteral(
        "Meter 5: the ID \"300\" is not a controller ID (001 to 255 or ---).")));
    EXPECT_TRUE(message.contains(QStringLiteral("Meter 1: the ID \"-1\"")));
    // Every field keeps what was typed, so the user can correct just the bad one.
    EXPECT_EQ(w.Combo_ID(4)->currentText(), QStringLiteral("300"));
    EXPECT_EQ(w.Combo_ID(1)->currentText(), QStringLiteral("009"));
    EXPECT_EQ(w.Text_Name(4)->text(), QStringLiteral("Kiln"));

    // Corrected, the same window closes and takes everything over.
    w.Combo_ID(4)->setEditText(QStringLiteral("255"));
    w.Combo_ID(0)->setEditText(QStringLiteral("---"));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(console.slots.SlotId[4], 255);
    EXPECT_EQ(console.slots.SlotId[1], 9);
    EXPECT_EQ(readBack().panel.NameText[4], QStringLiteral("Kiln"));
}

TEST_F(TableSettingRefusalTest, NamesTooLongOrOutsideCodePage950AreRefused)
{
    const Snapshot before = snapshot();
    FM_TableSetting &w = open();
    // 16 names of 7 bytes: 112 bytes of text where 96 fit.
    for (int k = 0; k < 16; ++k)
        w.Text_Name(k)->setText(QStringLiteral("Meter%1").arg(k % 10, 2, 10, QLatin1Char('0')));
    EXPECT_FALSE(w.close());
    expectNothingChanged(before, w);
    EXPECT_TRUE(reporter.messages[0].contains(QStringLiteral("names")));
    EXPECT_TRUE(reporter.messages[0].contains(QStringLiteral("16 bytes")));

    reporter.titles.clear();
    reporter.messages.clear();
    w.FM_TableSetting_Load();
    w.Text_Name(7)->setText(QStringLiteral("Pump 🔥"));
    EXPECT_FALSE(w.close());
    expectNothingChanged(before, w);
    EXPECT_TRUE(reporter.messages[0].contains(QStringLiteral("Meter 8")));
}

TEST_F(TableSettingWindowTest, UnwritableFileIsReportedAndTheWindowStillCloses)
{
    FM_TableSetting &w = open();
    w.Combo_ID(6)->setEditText(QStringLiteral("042"));
    w.Text_Name(6)->setText(QStringLiteral("Dryer"));
    console.programDir = dir.filePath(QStringLiteral("no such folder"));

    EXPECT_TRUE(w.close());
    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_EQ(reporter.titles[0], QStringLiteral("Attention! Wrong"));
    EXPECT_TRUE(reporter.messages[0].startsWith(QStringLiteral("At FM_TableSetting_Unload()\r\nWrong code: ")));
    // Load beeped once, the trap once more.
    EXPECT_EQ(reporter.beeps, 2);
    // The model holds the new texts until exit; the panel shows them.
    EXPECT_EQ(console.settings.panel.NameText[6], QStringLiteral("Dryer"));
    EXPECT_EQ(console.slots.SlotId[6], 42);
    EXPECT_EQ(painter.framed.size(), 16u);
}

} // namespace
} // namespace orbalis
