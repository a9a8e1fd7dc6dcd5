// The windows "Compare" and "Copy to" as a screen reader reads them over
// AT-SPI: the headline, the list of differences and the list of controllers
// to tick by their names, and every button by its caption.

#include "core/compare_report.h"
#include "parameter/compare_window.h"
#include "parameter/copy_window.h"
#include "parameter_test_support.h"
#include "state/console.h"
#include "support/atspi_tree.h"
#include "support/fake_controller.h"
#include "support/fakes.h"
#include "support/qt_app.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

std::map<int, std::uint16_t> registerMap(const std::array<std::uint16_t, HoldingRegisterCount> &registers)
{
    std::map<int, std::uint16_t> m;
    for (int a = 0; a < HoldingRegisterCount; ++a)
        m[a] = registers[size_t(a)];
    return m;
}

void expectButtonsHeard(const test::AtspiNode &tree, const QStringList &captions)
{
    for (const QString &caption : captions)
        EXPECT_EQ(tree.find(QStringLiteral("push button"), caption).size(), 1u) << caption.toStdString();
}

// The elements of any role with the name.
int namedNodes(const test::AtspiNode &tree, const QString &name)
{
    int n = 0;
    for (const test::AtspiNode *node : tree.all())
        n += node->name == name ? 1 : 0;
    return n;
}

} // namespace

TEST(DownloadWindowsOverAtspi, TheCompareIsHeardWithItsHeadlineAndItsDifferences)
{
    test::qtApp();
    test::FakeReporter reporter;
    test::FakeFileDialogs dialogs;
    const ControllerParameters held = ControllerParameters::fromReply(
        test::readAllReply(1, registerMap(test::FakeControllers::validRegisters(1))));
    QStringList file = held.texts();
    file[0] = QStringLiteral("123.4");
    file[47] = QStringLiteral("250.0");
    FM_Compare compare(reporter, dialogs);
    compare.showComparison(Comparison::of(0, 1, QStringLiteral("changed.par"), WriteOrigin::File,
                                          QDateTime::currentDateTime(), held, file));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&compare));

    QString error;
    const auto tree = test::readOverAtspi(FM_Compare::caption(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(&compare, *tree).join(u'\n').toStdString(), "");
    expectButtonsHeard(*tree, {QStringLiteral("Write differences"), QStringLiteral("Save report..."),
                               QStringLiteral("Close")});
    bool headlineHeard = false;
    for (const test::AtspiNode *n : tree->all())
        headlineHeard = headlineHeard || (n->role == "label" && n->name.contains(compare.headline()->text()));
    EXPECT_TRUE(headlineHeard) << compare.headline()->text().toStdString();
    EXPECT_EQ(namedNodes(*tree, QStringLiteral("Differences")), 1);
}

TEST(DownloadWindowsOverAtspi, TheCopyIsHeardWithTheControllersToTickAndItsButtons)
{
    test::qtApp();
    Console console;
    for (int slot : {0, 3, 5}) {
        console.slots.SlotId[size_t(slot)] = std::uint8_t(slot + 1);
        console.settings.panel.NameText[size_t(slot)] = QStringLiteral("Oven%1").arg(slot + 1);
    }
    FM_CopyTo copy(console);
    copy.load(0);
    copy.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&copy));
    ASSERT_EQ(copy.controllers()->topLevelItemCount(), 2);

    QString error;
    const auto tree = test::readOverAtspi(FM_CopyTo::caption(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(&copy, *tree).join(u'\n').toStdString(), "");
    expectButtonsHeard(*tree, {QStringLiteral("Copy"), QStringLiteral("Close")});
    EXPECT_EQ(namedNodes(*tree, QStringLiteral("Controllers")), 1);
}
