// The parameter window as a screen reader reads it over AT-SPI, filled by a
// read-all from a simulated controller: every parameter by its mnemonic with
// the value it shows, and the status panels with their texts.

#include "model/register_map.h"
#include "parameter/parameter_controls.h"
#include "parameter/parameter_window.h"
#include "support/atspi_tree.h"
#include "support/console_over_simulator.h"

#include <QComboBox>

using namespace orbalis;

namespace {

using ParameterWindowOverAtspi = test::ConsoleOverSimulator;

} // namespace

TEST_F(ParameterWindowOverAtspi, EveryParameterIsHeardByItsMnemonicWithTheValueItShows)
{
    showConsoleWithControllerFive();
    window->showParameterWindow(2);
    FM_Parameter *parameters = window->parameterWindow();
    ASSERT_NE(parameters, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return parameters->status().text(2).endsWith("Check CRC Ok !"); }, 10000));
    window->Timer_Read().setEnabled(false);   // what is shown stays while it is read

    // Picked and typed, not yet sent: a screen reader hears what is shown.
    ParameterControls &controls = parameters->arrays();
    QComboBox *run = controls.Combo_Para(15);
    run->setCurrentIndex(run->count() - 1);
    const RegisterInfo *editable = nullptr;
    for (const RegisterInfo &r : holdingRegisters())
        if (r.control == ControlKind::ComboBox && !r.listOnly && !editable)
            editable = &r;
    ASSERT_NE(editable, nullptr);
    controls.Combo_Para(editable->address)->setEditText(QStringLiteral("12.5"));

    QString error;
    const auto tree = test::readOverAtspi(QStringLiteral("Parameter"), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(test::heardOtherwiseThanShown(parameters, *tree).join(u'\n').toStdString(), "");

    int holdingHeard = 0;
    for (auto table : {holdingRegisters(), inputRegisters()})
        for (const RegisterInfo &r : table) {
            if (r.control == ControlKind::None)
                continue;
            const QString mnemonic = QString::fromLatin1(r.mnemonic.data(), qsizetype(r.mnemonic.size()));
            const auto heard = tree->find(r.control == ControlKind::TextBox ? "text" : "combo box", mnemonic);
            ASSERT_EQ(heard.size(), 1u) << r.address;
            EXPECT_EQ(heard[0]->text, controls.text(r.address)) << r.address;
            holdingHeard += r.address < InputRegisterBase;
        }
    EXPECT_EQ(holdingHeard, 109);
}
