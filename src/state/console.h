#pragma once

#include "line_observer.h"
#include "parameter_view.h"
#include "read_state.h"
#include "serial_settings_view.h"

#include "base/clock.h"
#include "base/cycle_timer.h"
#include "link/line_buffers.h"
#include "link/serial_port.h"
#include "settings/settings_model.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace orbalis {

constexpr int NoParameterSlot = 16;

// The process-wide state. Created in main(), alive until exit; windows and
// cycles receive it by reference. There is no other global state.
struct Console {
    SettingsModel settings;
    SlotTables slots;

    ReadState Read_State = ReadState::Select;
    std::int16_t Poll_Slot = 0;
    std::int16_t Para_Slot = NoParameterSlot;
    std::int16_t Para_Index = 0;
    std::int32_t Para_Value = 0;
    int Write_Mode = 0;
    bool Send_Pending = false;

    LineBuffers line;

    // Owned by the main window (or a test); never null once the console runs.
    SerialPort *port = nullptr;
    CycleTimer *Timer_Read = nullptr;
    CycleTimer *Timer_Write = nullptr;
    // Present only while the parameter window is open.
    ParameterView *parameterWindow = nullptr;
    // The serial settings window, loaded (hidden) by the first call when it
    // is not loaded yet. Set by the main window.
    std::function<SerialSettingsView &()> serialSettingsWindow;

    // Everything sent and how each reply was judged goes here too.
    LineObservers lineObservers;

    QString programDir;   // folder of the settings file and the record files
    const Clock *clock = &systemClock();

    QString settingsPath() const { return programDir + QStringLiteral("/User Setting.ini"); }
};

} // namespace orbalis
