// The parameter window offscreen: its build from the register map, what
// screen readers find, opening and closing, Enter, and the two file commands.

#include "widgets/status_panel.h"
#include "parameter/parameter_controls.h"
#include "core/parameter_file.h"
#include "parameter/parameter_layout.h"
#include "parameter/parameter_window.h"

#include "base/twips.h"
#include "model/register_map.h"
#include "parameter_test_support.h"
#include "support/disk_full.h"
#include "support/fake_controller.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/fifo.h"
#include "support/qt_app.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <set>

using namespace orbalis;

namespace {

constexpr int SlotA = 2;    // controller 17, one decimal
constexpr int IdA = 17;
constexpr int SlotB = 5;    // controller 9, two decimals
constexpr int IdB = 9;

QString latin1(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// The frames as the window was drawn: page tab (-1: left column, over the
// tab control) and the top left corner relative to the tab control.
struct FramePlace {
    int tab;
    int left;
    int top;
};
const std::map<QString, FramePlace> &designedFrames()
{
    static const std::map<QString, FramePlace> frames{
        {"Control Settings", {-1, 105, 420}},   // (210, 525) in the window
        {"Ramp", {0, 2310, 420}}, {"Soft-start", {0, 2310, 1365}}, {"Alarm 1", {0, 4095, 420}},
        {"Alarm 2", {0, 5880, 420}}, {"Control Action", {0, 7665, 420}},
        {"1st P.I.D", {1, 2310, 420}}, {"2nd P.I.D", {1, 4095, 420}}, {"3rd P.I.D", {1, 5880, 420}},
        {"4th P.I.D", {1, 7665, 420}},
        {"Input Type", {2, 2310, 420}}, {"Scal of Linear I/P", {2, 2310, 1680}},
        {"Measurement Unit", {2, 2310, 3255}}, {"Measurement range", {2, 4410, 420}},
        {"Time unit", {2, 4410, 1680}}, {"corresponding error", {2, 4410, 2625}},
        {"Filter settings", {2, 4410, 3570}}, {"Offset Adjustment", {2, 7140, 420}},
        {"Communication settings", {2, 7140, 3255}},
        {"Output Settings", {3, 2310, 420}},
        {"Program Setting", {4, 105, 1890}}, {"Seg 1", {4, 2310, 420}}, {"Seg 2", {4, 2310, 2520}},
        {"Seg 3", {4, 4095, 420}}, {"Seg 4", {4, 4095, 2520}}, {"Seg 5", {4, 5880, 420}},
        {"Seg 6", {4, 5880, 2520}}, {"Seg 7", {4, 7665, 420}}, {"Seg 8", {4, 7665, 2520}},
        {"Read-Only", {5, 2310, 420}}, {"P.I.D Input", {5, 4095, 420}}, {"P.I.D Factor", {5, 5880, 420}},
        {"P.I.D Output", {5, 7665, 420}}, {"A/D", {5, 7665, 2835}},
    };
    return frames;
}

// Rows after these addresses' predecessors start 105 lower.
bool startsSecondGroup(int address)
{
    return address == 102 || address == 105;
}

std::vector<const RegisterInfo *> shownRegisters()
{
    std::vector<const RegisterInfo *> all;
    for (auto table : {holdingRegisters(), inputRegisters()})
        for (const RegisterInfo &r : table)
            if (r.control != ControlKind::None)
                all.push_back(&r);
    return all;
}

class ParameterWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        console.programDir = dir.path();
        console.settings.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"),
                                   QStringLiteral("8"), QStringLiteral("None")};
        console.slots.SlotId[SlotA] = IdA;
        console.slots.Slot_DP_Code[SlotA] = 48;
        console.slots.SlotId[SlotB] = IdB;
        console.slots.Slot_DP_Code[SlotB] = 49;
        console.line.attach(&port, &timerRead, &timerWrite);
        port.setPortOpen(true);
        timerRead.setEnabled(true);
        window = std::make_unique<FM_Parameter>(console, cycle, reporter);
        window->setFileDialogs(dialogs);
    }

    void TearDown() override { window.reset(); }

    void open(int slot)
    {
        console.line.showParametersOf(slot);   // as the slot's menu button does
        ASSERT_TRUE(window->openForSlot(slot));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    ParameterControls &arrays() const { return window->arrays(); }
    QString panel(int k) const { return window->status().text(k); }

    // What every control shows, combo boxes with their selection.
    QStringList shown() const
    {
        QStringList out;
        for (const RegisterInfo *r : shownRegisters())
            out << arrays().text(r->address) + u'#' + QString::number(arrays().selectedIndex(r->address));
        return out;
    }

    void runWriteAll()
    {
        int ticks = 0;
        while (timerWrite.isEnabled() && ++ticks < 1000)
            cycle.Timer_Write_Timer();
    }

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    static QByteArray fileBytes(const QString &p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void writeFile(const QString &p, const QByteArray &bytes)
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    Console console;
    test::FakeSerialPort port;
    test::FakeTimer timerRead{100};
    test::FakeTimer timerWrite{100};
    test::FakeReporter reporter;
    test::FakeFileDialogs dialogs;
    WriteCycle cycle{console, reporter};
    std::unique_ptr<FM_Parameter> window;
};

} // namespace

TEST_F(ParameterWindowTest, EveryAddressHasItsLabelControlFramePagePositionAndInitialText)
{
    open(SlotA);
    QTabWidget *tabs = window->SSTab2();
    const QPoint tabOrigin = tabs->pos();
    int labels = 0, textBoxes = 0, combos = 0;
    std::map<QString, int> rowsSoFar;
    std::map<QString, bool> gapSoFar;
    for (const RegisterInfo *r : shownRegisters()) {
        const int a = r->address;
        SCOPED_TRACE(a);
        const QString mnemonic = latin1(r->mnemonic);
        const QString frameCaption = latin1(r->frame);

        QLabel *label = arrays().Label_Para(a);
        ASSERT_NE(label, nullptr);
        ++labels;
        EXPECT_EQ(label->text(), mnemonic);

        QWidget *control = arrays().valueControl(a);
        ASSERT_NE(control, nullptr);
        if (r->control == ControlKind::TextBox) {
            ++textBoxes;
            QLineEdit *box = arrays().Text_Para(a);
            ASSERT_EQ(box, control);
            EXPECT_EQ(arrays().Combo_Para(a), nullptr);
            EXPECT_EQ(box->isReadOnly(), a >= 4096);
            EXPECT_EQ(box->text(), latin1(r->initialText));
        } else {
            ++combos;
            QComboBox *combo = arrays().Combo_Para(a);
            ASSERT_EQ(combo, control);
            EXPECT_EQ(combo->isEditable(), !r->listOnly);
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            QStringList expected;
            for (std::string_view item : r->enumeration->items)
                expected << latin1(item);
            EXPECT_EQ(items, expected);
            if (r->noInitialText) {
                EXPECT_EQ(combo->currentIndex(), -1);
                EXPECT_EQ(combo->currentText(), "");
            } else {
                EXPECT_EQ(combo->currentText(), latin1(r->initialText));
            }
        }

        // Frame and page.
        auto *frame = qobject_cast<QGroupBox *>(control->parentWidget());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(label->parentWidget(), frame);
        EXPECT_EQ(frame->title(), frameCaption);
        const auto place = designedFrames().find(frameCaption);
        ASSERT_NE(place, designedFrames().end());
        EXPECT_EQ(place->second.tab, tabOfPage(r->page));
        if (place->second.tab < 0)
            EXPECT_EQ(frame->parentWidget(), window.get());
        else
            EXPECT_EQ(frame->parentWidget(), tabs->widget(place->second.tab));

        // Position: the frame at its twips from the tab control, the row
        // 315 below the previous one (105 more before a second group).
        EXPECT_EQ(frame->mapTo(window.get(), QPoint(0, 0)),
                  tabOrigin + QPoint(twipsToPixels(place->second.left), twipsToPixels(place->second.top)));
        const int row = rowsSoFar[frameCaption]++;
        bool &gap = gapSoFar[frameCaption];
        gap = gap || startsSecondGroup(a);
        const int top = twipsToPixels(315 * (row + 1) + (gap ? 105 : 0));
        EXPECT_EQ(label->y(), top);
        EXPECT_EQ(control->y(), top);
        EXPECT_EQ(label->x(), twipsToPixels(105));
        EXPECT_GT(control->x(), label->geometry().right());
        EXPECT_LE(control->geometry().right(), frame->width());
        EXPECT_LE(control->geometry().bottom(), frame->height());
    }
    EXPECT_EQ(labels, 136);
    EXPECT_EQ(textBoxes, 112);
    EXPECT_EQ(combos, 24);

    // Tabs, buttons, progress bar and the two heights.
    ASSERT_EQ(tabs->count(), 6);
    const QStringList captions{"  User   ", "  P.I.D  ", " Option  ", " Output  ", " Program ", "   Aux    "};
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(tabs->tabText(t), captions[t]);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(tabs->geometry(), twipsRect(105, 105, 9465, 4635));
    const QStringList buttons{"Read All Parameters", "Open File",         "Save File",
                              "Compare File...",     "Restore Backup...", "Copy to..."};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(window->Command_None(i)->text(), buttons[i]);
        EXPECT_EQ(window->Command_None(i)->accessibleName(), buttons[i]);
        // Three in the left column, three in a row below the tab control.
        EXPECT_EQ(window->Command_None(i)->geometry(), i < 3 ? twipsRect(210, 3465 + 420 * i, 2115, 330)
                                                             : twipsRect(210 + 2220 * (i - 3), 4845, 2115, 330));
    }
    EXPECT_EQ(window->ProgressBar1()->minimum(), 0);
    EXPECT_EQ(window->ProgressBar1()->maximum(), 108);
    EXPECT_EQ(window->ProgressBar1()->geometry(), twipsRect(105, 5355, 9465, 345));
    EXPECT_EQ(window->formHeight(), 5655 + 420);
    EXPECT_FALSE(window->ProgressBar1()->isVisible());
    EXPECT_EQ(window->windowTitle(), "Parameter");
    // The status bar lies below the tab control, at the bottom edge.
    EXPECT_EQ(window->StatusBar1()->geometry().bottom(), window->height() - 1);
    EXPECT_GE(window->StatusBar1()->y(), tabs->geometry().bottom());
}

TEST_F(ParameterWindowTest, NothingOverlapsOrIsCut)
{
    open(SlotA);
    QTabWidget *tabs = window->SSTab2();
    // Every frame in the tab control's coordinates, with the tab it shows on (-1: all).
    std::vector<std::pair<int, QRect>> frames;
    for (const auto &[caption, place] : designedFrames()) {
        SCOPED_TRACE(caption.toStdString());
        QGroupBox *frame = arrays().frame(caption);
        ASSERT_NE(frame, nullptr);
        const QRect r(frame->mapTo(window.get(), QPoint(0, 0)) - tabs->pos(), frame->size());
        EXPECT_TRUE(QRect(QPoint(0, 0), tabs->size()).contains(r));
        EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()) + 8, frame->width());
        frames.emplace_back(place.tab, r);
        // Rows inside their frame, labels wide enough for their text, combo
        // boxes wide enough for their widest item.
        for (QObject *child : frame->children()) {
            auto *w = qobject_cast<QWidget *>(child);
            if (!w)
                continue;
            EXPECT_TRUE(frame->rect().contains(w->geometry()));
            if (auto *label = qobject_cast<QLabel *>(w)) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
                    << label->text().toStdString();
            }
            if (auto *combo = qobject_cast<QComboBox *>(w)) {
                QStyleOptionComboBox option;
                option.initFrom(combo);
                option.editable = combo->isEditable();
                const QRect field =
                    combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
                for (int i = 0; i < combo->count(); ++i)
                    EXPECT_LE(combo->fontMetrics().horizontalAdvance(combo->itemText(i)), field.width())
                        << combo->accessibleName().toStdString() << " " << combo->itemText(i).toStdString();
            }
        }
    }
    for (int i = 0; i < 3; ++i)
        frames.emplace_back(-1, window->Command_None(i)->geometry().translated(-tabs->pos()));
    // The row below the tab control: clear of it, of each other and of the status bar.
    for (int i = 3; i < 6; ++i) {
        const QRect b = window->Command_None(i)->geometry();
        EXPECT_GT(b.top(), tabs->geometry().bottom());
        EXPECT_LT(b.bottom(), window->StatusBar1()->y());
        EXPECT_LE(b.right(), window->width());
        EXPECT_LE(window->Command_None(i)->fontMetrics().horizontalAdvance(window->Command_None(i)->text()) + 8,
                  b.width());
        if (i > 3) {
            EXPECT_GT(b.left(), window->Command_None(i - 1)->geometry().right());
        }
    }
    for (size_t i = 0; i < frames.size(); ++i)
        for (size_t j = i + 1; j < frames.size(); ++j) {
            const bool together = frames[i].first == frames[j].first || frames[i].first < 0 || frames[j].first < 0;
            if (together) {
                EXPECT_FALSE(frames[i].second.intersects(frames[j].second)) << i << " and " << j;
            }
        }
    // The tab bar above every frame.
    for (const auto &f : frames)
        EXPECT_GE(f.second.top(), tabs->tabBar()->geometry().bottom());
}

TEST_F(ParameterWindowTest, ScreenReadersFindEveryControlByItsName)
{
    open(SlotA);
    // Everything reachable from the window's accessible object.
    std::map<QObject *, QAccessibleInterface *> reachable;
    std::multimap<QString, QAccessible::Role> named;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        if (!node)
            return;
        if (node->object())
            reachable[node->object()] = node;
        named.emplace(node->text(QAccessible::Name), node->role());
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window.get()));

    for (const RegisterInfo *r : shownRegisters()) {
        SCOPED_TRACE(r->address);
        QWidget *control = arrays().valueControl(r->address);
        ASSERT_TRUE(reachable.count(control));
        QAccessibleInterface *node = reachable[control];
        EXPECT_EQ(node->text(QAccessible::Name), latin1(r->mnemonic));
        EXPECT_EQ(node->role(), r->control == ControlKind::TextBox ? QAccessible::EditableText
                                                                   : QAccessible::ComboBox);
        EXPECT_EQ(node->state().readOnly, r->address >= 4096);
    }
    auto has = [&](const QString &name, QAccessible::Role role) {
        const auto [first, last] = named.equal_range(name);
        for (auto it = first; it != last; ++it)
            if (it->second == role)
                return true;
        return false;
    };
    EXPECT_TRUE(has("SV", QAccessible::EditableText));
    EXPECT_TRUE(has("PvPvof", QAccessible::EditableText));
    EXPECT_TRUE(has("RUN", QAccessible::ComboBox));
    for (const char *b : {"Read All Parameters", "Open File", "Save File"})
        EXPECT_TRUE(has(b, QAccessible::Button)) << b;
    for (const char *t : {"User", "P.I.D", "Option", "Output", "Program", "Aux"})
        EXPECT_TRUE(has(t, QAccessible::PageTab)) << t;
    // A status panel is heard by its role and its text, the role alone while empty.
    EXPECT_TRUE(has("Status 1: No.3 Slot ; ID = 17", QAccessible::StaticText));
    EXPECT_TRUE(has("Status 2", QAccessible::StaticText));
}

TEST_F(ParameterWindowTest, OpeningLoadsTheSlotAndAsksForAReadAll)
{
    open(SlotA);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(console.parameterWindow, window.get());
    EXPECT_EQ(console.line.Para_Slot(), SlotA);
    EXPECT_EQ(panel(1), "No.3 Slot ; ID = 17");
    EXPECT_EQ(panel(2), "");
    EXPECT_EQ(console.line.Read_State(), ReadState::ReadAll);
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_EQ(window->height(), twipsToPixels(FormHeightIdle - 450));

    arrays().Text_Para(47)->setText(QStringLiteral("4.7"));
    arrays().Combo_Para(15)->setCurrentIndex(2);

    // A text longer than the panel shows what fits and ends in an ellipsis;
    // the panel's text stays whole.
    const QString longText = QStringLiteral("Written 0 of 106; not accepted: ") + QStringList(106, "PVOH").join(", ");
    // Its size does not follow its text, so a new text never lays the bar out again.
    const QSize hint = window->statusPanel(2)->sizeHint();
    window->status().setText(2, longText);
    EXPECT_EQ(window->statusPanel(2)->sizeHint(), hint);
    EXPECT_EQ(panel(2), longText);
    StatusPanel *shown = window->statusPanel(2);
    EXPECT_TRUE(shown->shownText().endsWith(QChar(0x2026))) << shown->shownText().toStdString();
    EXPECT_LE(shown->fontMetrics().horizontalAdvance(shown->shownText()), shown->contentsRect().width());
    EXPECT_EQ(shown->toolTip(), longText);
    EXPECT_EQ(shown->accessibleDescription(), longText);

    // Picking another slot reloads the window for it: initial texts, panel 1, a new read-all.
    console.line.awaitLiveReply();
    window->SSTab2()->setCurrentIndex(5);
    console.line.showParametersOf(SlotB);
    ASSERT_TRUE(window->openForSlot(SlotB));
    EXPECT_EQ(console.line.Para_Slot(), SlotB);
    EXPECT_EQ(panel(1), "No.6 Slot ; ID = 9");
    EXPECT_EQ(arrays().Text_Para(47)->text(), "0");
    EXPECT_EQ(arrays().Combo_Para(15)->currentIndex(), -1);
    EXPECT_EQ(window->SSTab2()->currentIndex(), 2);
    EXPECT_EQ(console.line.Read_State(), ReadState::ReadAll);

    // Closing: Para_Slot 16, the window no longer a target.
    window->close();
    EXPECT_EQ(console.line.Para_Slot(), 16);
    EXPECT_EQ(console.parameterWindow, nullptr);
    // The read-all asked for but not sent has no slot left: live polling.
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();

    // A step of the load that fails is reported by the common trap, and the
    // load goes on: the read-all is still asked for.
    console.line.showParametersOf(20);
    window->FM_Parameter_Load();
    EXPECT_EQ(reporter.titles, QStringList{"Attention! Wrong"});
    EXPECT_EQ(reporter.messages,
              QStringList{"At FM_Parameter_Load()\r\nWrong code: 9\r\n"
                          "Wrong reasons: Subscript out of range (slot 20)"});
    EXPECT_EQ(reporter.beeps, 1);
    EXPECT_EQ(console.line.Read_State(), ReadState::ReadAll);
}

TEST_F(ParameterWindowTest, EnterInABoxStartsTheWriteOfThatBoxAlone)
{
    open(SlotA);
    struct Case {
        int address;
        std::function<void()> change;
        QWidget *(*keyTarget)(ParameterControls &, int);
        int value;
    };
    auto textTarget = [](ParameterControls &c, int a) -> QWidget * { return c.Text_Para(a); };
    auto comboTarget = [](ParameterControls &c, int a) -> QWidget * { return c.Combo_Para(a); };
    auto editTarget = [](ParameterControls &c, int a) -> QWidget * { return c.Combo_Para(a)->lineEdit(); };
    const Case cases[] = {
        {0, [&] { arrays().Text_Para(0)->setText("25.5"); }, textTarget, 255},
        {55, [&] { arrays().Text_Para(55)->setText("-1"); }, textTarget, 65535},
        {15, [&] { arrays().Combo_Para(15)->setCurrentIndex(4); }, comboTarget, 21},     // "ON"
        {53, [&] { arrays().Combo_Para(53)->setCurrentIndex(1); }, editTarget, 62},      // "4800"
        {6, [&] { arrays().Combo_Para(6)->setEditText("A_LO"); }, editTarget, 2},         // typed
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address);
        timerWrite.setEnabled(false);
        timerRead.setEnabled(true);
        c.change();
        // Choosing or typing sends nothing by itself.
        EXPECT_FALSE(timerWrite.isEnabled());
        QTest::keyClick(c.keyTarget(arrays(), c.address), Qt::Key_Return);
        EXPECT_TRUE(timerWrite.isEnabled());
        EXPECT_FALSE(timerRead.isEnabled());
        EXPECT_EQ(console.line.Para_Index(), c.address);
        EXPECT_EQ(console.line.Para_Value(), c.value);
        EXPECT_EQ(console.line.Write_Mode(), WriteMode::Single);
        EXPECT_TRUE(console.line.Send_Pending());
    }
    // A typed text that is no item cannot be sent: refused, polling goes on.
    timerWrite.setEnabled(false);
    timerRead.setEnabled(true);
    arrays().Combo_Para(53)->setEditText("38400");
    QTest::keyClick(arrays().Combo_Para(53)->lineEdit(), Qt::Key_Enter);
    EXPECT_FALSE(timerWrite.isEnabled());
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_EQ(panel(2), "Nothing selected !");

    // Closing while a write runs stops it and restarts live polling.
    QTest::keyClick(arrays().Text_Para(0), Qt::Key_Return);
    ASSERT_TRUE(timerWrite.isEnabled());
    window->close();
    EXPECT_FALSE(timerWrite.isEnabled());
    EXPECT_EQ(console.line.Para_Slot(), 16);
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(timerRead.isEnabled());
}

TEST_F(ParameterWindowTest, WriteAllFromAFileLocksTheWindowOnItsSlotUntilItEnds)
{
    open(SlotA);
    arrays().Text_Para(0)->setText(QStringLiteral("25.5"));
    arrays().Combo_Para(15)->setCurrentIndex(2);   // "AT2 "
    for (int sf : {65, 70, 75, 80, 85, 90, 95, 100})
        arrays().Combo_Para(sf)->setCurrentIndex(8);
    arrays().Combo_Para(40)->setCurrentIndex(1);
    arrays().Combo_Para(45)->setCurrentIndex(2);   // "00.00"
    arrays().Combo_Para(48)->setCurrentIndex(0);
    dialogs.saveAnswers << path("a.par");
    window->Command_None_Click(2);
    const QByteArray saved = fileBytes(path("a.par"));
    ASSERT_EQ(saved.size(), 13952);
    EXPECT_EQ(saved.mid(15 * 128, 5), QByteArray("\x03\x00" "AT2", 5));
    EXPECT_EQ(dialogs.asked, QStringList{"Save As|(*.par)|*.par"});

    // Loaded into slot B, whose controller has two decimals: 25.5 goes out as 2550.
    test::FakeControllers controllers;
    controllers.add(IdA);
    controllers.add(IdB).registers[45] = 49;
    controllers.serve(port);
    console.line.showParametersOf(SlotB);
    ASSERT_TRUE(window->openForSlot(SlotB));
    dialogs.openAnswers << path("a.par");
    window->Command_None_Click(1);
    EXPECT_EQ(dialogs.asked.last(), "Open|(*.par)|*.par");
    EXPECT_EQ(arrays().Text_Para(0)->text(), "25.5");
    EXPECT_EQ(arrays().Combo_Para(15)->currentIndex(), 2);
    EXPECT_EQ(window->formHeight(), FormHeightWriteAll);
    EXPECT_EQ(window->height(), twipsToPixels(FormHeightWriteAll - 450));
    EXPECT_TRUE(window->ProgressBar1()->isVisible());
    EXPECT_GT(window->StatusBar1()->y(), window->ProgressBar1()->geometry().bottom());
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(window->Command_None(i)->isEnabled());
    // First the backup read, then the first write.
    cycle.Timer_Write_Timer();
    ASSERT_EQ(port.outputs.size(), 1);
    EXPECT_EQ(port.outputs[0], test::readRequest(IdB, 0, 109));
    EXPECT_EQ(panel(2), "Read All Parameters for Backup Please Wait ... ");
    cycle.Timer_Write_Timer();
    ASSERT_EQ(port.outputs.size(), 2);
    EXPECT_EQ(port.outputs[1], test::writeRequest(IdB, 0, 2550));
    // The backup read does not reach the window: it shows the file.
    EXPECT_EQ(arrays().Text_Para(0)->text(), "25.5");

    // Another slot's menu button is refused while it runs.
    console.line.showParametersOf(SlotA);
    EXPECT_FALSE(window->openForSlot(SlotA));
    EXPECT_EQ(console.line.Para_Slot(), SlotB);
    EXPECT_EQ(panel(1), "No.6 Slot ; ID = 9");
    EXPECT_EQ(reporter.beeps, 1);

    runWriteAll();
    EXPECT_EQ(port.outputs.size(), 108);
    EXPECT_EQ(port.outputs.last(), test::readRequest(IdB, 0, 109));
    EXPECT_EQ(window->formHeight(), FormHeightIdle);
    EXPECT_FALSE(window->ProgressBar1()->isVisible());
    EXPECT_EQ(window->ProgressBar1()->value(), 15);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(window->Command_None(i)->isEnabled());
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(timerRead.isEnabled());
    // The read after writing fills the window with what the controller holds, and the end text follows it.
    EXPECT_EQ(panel(2), "Read All Parameters Please Wait ... Check CRC Ok ! Written 106 of 106, verified 106");
    EXPECT_EQ(arrays().Text_Para(0)->text(), "25.50");
    EXPECT_EQ(QDir(dir.filePath("Backups")).entryList(QDir::Files).size(), 1);

    // Saved again, the window gives what the controller holds, as it shows it.
    dialogs.saveAnswers << path("b.par");
    window->Command_None_Click(2);
    const QStringList again = parseParameterFile(fileBytes(path("b.par")));
    EXPECT_EQ(again[0], "25.50");
    EXPECT_EQ(again[15], "AT2");
    EXPECT_EQ(again[54], "9");
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();
}

TEST_F(ParameterWindowTest, ARefusedFileChangesNothingAndSaysWhy)
{
    open(SlotA);
    QStringList good;
    for (const RegisterInfo &r : holdingRegisters())
        good << (r.listOnly ? latin1(r.enumeration->items.front()) : QStringLiteral("1"));
    const QByteArray goodFile = buildParameterFile(good);
    auto withRecord = [&](int address, const QByteArray &text, int length) {
        QByteArray f = goodFile;
        QByteArray rec;
        rec.append(char(length & 0xFF)).append(char(length >> 8)).append(text);
        rec.append(128 - rec.size(), '\0');
        f.replace(address * 128, 128, rec);
        return f;
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.par"));
    const test::FifoGuard fifo(path("fifo.par"));
    ASSERT_TRUE(fifo.made());
    struct Case {
        const char *what;
        const char *name;
        QByteArray bytes;   // written unless the name is the folder or the FIFO
        const char *cause;
    };
    const Case cases[] = {
        {"short file", "short.par", goodFile.left(13951), "The file holds 13951 bytes"},
        {"length past its record", "long.par", withRecord(20, "1", 200), "Record 21 (MR1): its length prefix"},
        {"not code page 950", "cp.par", withRecord(54, "\xA1\x20", 2), "Record 55 (ID): its text is not code page 950"},
        {"RUN of no item", "run.par", withRecord(15, "AT3", 3), "Record 16 (RUN): \"AT3\" is none of the items"},
        {"a folder", "folder.par", QByteArray(), "Cannot read: it is a directory, not a regular file."},
        {"SV that is no number", "sv.par", withRecord(0, "12,5", 4),
         "Record 1 (SV): \"12,5\" is not a number"},
        {"a FIFO", "fifo.par", QByteArray(), "Cannot read: it is a FIFO, not a regular file."},
    };
    arrays().Text_Para(0)->setText(QStringLiteral("77.7"));
    const QStringList before = shown();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path(c.name);
        if (!c.bytes.isEmpty())
            writeFile(file, c.bytes);
        reporter.messages.clear();
        dialogs.openAnswers << file;
        window->Command_None_Click(1);
        ASSERT_EQ(reporter.messages.size(), 1);
        EXPECT_EQ(reporter.titles.last(), "Open File");
        const QString message = reporter.messages.first();
        EXPECT_TRUE(message.startsWith(file + u'\n')) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.cause))) << message.toStdString();
        EXPECT_EQ(shown(), before);
        EXPECT_FALSE(timerWrite.isEnabled());
        EXPECT_EQ(window->formHeight(), FormHeightIdle);
        EXPECT_TRUE(window->Command_None(1)->isEnabled());
    }
    EXPECT_TRUE(port.outputs.isEmpty());
    EXPECT_FALSE(fifo.hadToOpen()) << "the window waited for a writer";

    // A name of no file brings the dialog up again; cancel then ends it quietly.
    reporter.messages.clear();
    dialogs.asked.clear();
    dialogs.openAnswers << path("none.par") << std::nullopt;
    window->Command_None_Click(1);
    EXPECT_EQ(dialogs.asked.size(), 2);
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_FALSE(timerWrite.isEnabled());

    // A longer file loads its first 109 records.
    writeFile(path("longer.par"), goodFile + QByteArray(128, 'x'));
    dialogs.openAnswers << path("longer.par");
    window->Command_None_Click(1);
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();
    EXPECT_EQ(arrays().Text_Para(0)->text(), "1");
    EXPECT_TRUE(timerWrite.isEnabled());
}

TEST_F(ParameterWindowTest, SavingNeverLeavesAHalfWrittenOrUnaskedFile)
{
    open(SlotA);
    // What a read-all selects in the list boxes.
    for (const RegisterInfo &r : holdingRegisters())
        if (r.listOnly)
            arrays().Combo_Para(r.address)->setCurrentIndex(0);
    const QString target = path("target.par");
    const QByteArray old("old contents");
    writeFile(target, old);

    // Overwrite answered No, and cancel: nothing happens to the file.
    reporter.answerYes = false;
    dialogs.saveAnswers << target;
    window->Command_None_Click(2);
    EXPECT_EQ(reporter.titles, QStringList{"Warning!"});
    EXPECT_EQ(reporter.messages, QStringList{target + " Exit ,Over Write ?"});
    dialogs.saveAnswers << std::nullopt;
    window->Command_None_Click(2);
    EXPECT_EQ(reporter.messages.size(), 1);
    EXPECT_EQ(fileBytes(target), old);

    reporter.answerYes = true;
    struct Case {
        const char *what;
        int address;
        QString text;
        QString file;
        const char *cause;
    };
    const Case cases[] = {
        {"too long", 0, QString(127, u'1'), target, "Record 1 (SV): the text"},
        {"not code page 950", 102, QStringLiteral("😀"), target, "Record 103 (HYSM)"},
        {"a folder as target", 0, QStringLiteral("1"), dir.path(), "Cannot write"},
        {"SV that is no number", 0, QStringLiteral("12,5"), target, "Record 1 (SV): \"12,5\" is not a number"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        arrays().Text_Para(c.address)->setText(c.text);
        reporter.messages.clear();
        reporter.titles.clear();
        dialogs.saveAnswers << c.file;
        window->Command_None_Click(2);
        ASSERT_FALSE(reporter.messages.isEmpty());
        EXPECT_EQ(reporter.titles.last(), "Save File");
        EXPECT_TRUE(reporter.messages.last().startsWith(c.file + u'\n'));
        EXPECT_TRUE(reporter.messages.last().contains(QString::fromUtf8(c.cause)))
            << reporter.messages.last().toStdString();
        EXPECT_EQ(fileBytes(target), old);
        arrays().Text_Para(c.address)->setText(QStringLiteral("1"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"target.par"});

    // A disk that fills up in the middle of the file: the old file stays whole.
    reporter.messages.clear();
    dialogs.saveAnswers << target;
    {
        const test::DiskFullAt full(8);
        window->Command_None_Click(2);
    }
    EXPECT_EQ(fileBytes(target), old);
    ASSERT_EQ(reporter.messages.size(), 2);   // the overwrite question, then the failure
    EXPECT_EQ(reporter.titles.last(), "Save File");
    EXPECT_EQ(reporter.messages.last(), target + "\nCannot write: " + QString::fromLocal8Bit(std::strerror(EFBIG))
                                            + ".\nNothing was saved: the file is as it was.");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"target.par"});
}
