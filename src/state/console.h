#pragma once

#include "last_read_texts.h"
#include "line_observer.h"
#include "line_owner.h"
#include "line_rate_choice.h"
#include "parameter_view.h"
#include "read_state.h"
#include "serial_settings_view.h"

#include "base/clock.h"
#include "settings/settings_model.h"

#include <QString>
#include <functional>

namespace orbalis {

// The process-wide state. Created in main(), alive until exit; windows and
// cycles receive it by reference. There is no other global state.
struct Console {
    Console() = default;
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    SettingsModel settings;
    SlotTables slots;

    // Everything sent and how each reply was judged goes here too.
    LineObservers lineObservers;
    // The port, the line buffers, and who uses the line (Read_State,
    // Poll_Slot, Para_*, Write_Mode, Send_Pending).
    LineOwner line{lineObservers};
    // Whether polling goes at the speed of the line; the serial settings
    // window changes it, the console reads it from Orbalis.ini at its start.
    LineRateChoice lineRate;

    // What each controller's parameters were when last read: a write's "before".
    LastReadTexts lastRead;

    // Present only while the parameter window is open.
    ParameterView *parameterWindow = nullptr;
    // The serial settings window, loaded (hidden) by the first call when it
    // is not loaded yet. Set by the main window.
    std::function<SerialSettingsView &()> serialSettingsWindow;

    QString programDir;   // folder of the settings file and the record files
    const Clock *clock = &systemClock();

    QString settingsPath() const { return programDir + QStringLiteral("/User Setting.ini"); }
};

} // namespace orbalis
