// The serial settings window as a screen reader reads it over AT-SPI, after
// a scan found controller 7 at 9600 baud: the five combo boxes by their
// captions with what they show, and the scan's percentage.

#include "serial_setting_fixture.h"

#include "support/atspi_tree.h"
#include "support/replies.h"

#include <QTest>

using namespace orbalis;
using namespace orbalis::test;

namespace {

using SerialSettingOverAtspi = SerialSettingFixture;

} // namespace

TEST_F(SerialSettingOverAtspi, CombosByTheirCaptionsAndTheScanPercentageAreHeardAsShown)
{
    open({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("USB Serial (COM1)"), QString()}});
    port.onOutput = [&](const QByteArray &request) {
        if (quint8(request[0]) == 7 && port.Settings().startsWith(QStringLiteral("9600,")))
            port.received += readReply(7, 4, {250});
    };
    window->Command1_Click(3);
    for (int ticks = 0; window->Timer1().isEnabled() && ticks < 2000; ++ticks)
        window->Timer1_Timer();
    ASSERT_EQ(window->Label2()->text(), QStringLiteral("25 %"));
    pick(SerialField::Party, QStringLiteral("Even"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    QString error;
    const auto tree = readOverAtspi(window->windowTitle(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(heardOtherwiseThanShown(window.get(), *tree).join(u'\n').toStdString(), "");

    EXPECT_EQ(tree->find(QStringLiteral("label"), QStringLiteral("Scan progress: 25 %")).size(), 1u);
    // The caption beside a combo box labels it too.
    const auto baud = tree->find(QStringLiteral("combo box"), QStringLiteral("Baud rate"));
    ASSERT_EQ(baud.size(), 1u);
    EXPECT_TRUE(baud[0]->labelledBy.contains(QStringLiteral("Baud rate")));
}
