#pragma once

#include "clock.h"
#include "cycle_timer.h"
#include "status_panels.h"

#include "../link/line_buffers.h"
#include "../link/serial_port.h"
#include "../model/parameter_sink.h"
#include "../settings/settings_model.h"

#include <QString>
#include <cstdint>

namespace orbalis {

constexpr int NoParameterSlot = 16;

// The parameter window as the cycles see it, present only while it is open.
class ParameterView {
public:
    virtual ~ParameterView() = default;
    virtual ParameterSink &controls() = 0;
    virtual ParameterSource &source() = 0;
    virtual StatusPanels &status() = 0;
};

// The process-wide state. Created in main(), alive until exit; windows and
// cycles receive it by reference. There is no other global state.
struct Console {
    SettingsModel settings;
    SlotTables slots;

    std::uint8_t Read_State = 0;
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
    ParameterView *parameterWindow = nullptr;

    QString programDir;   // folder of the settings file and the record files
    const Clock *clock = nullptr;

    QString settingsPath() const { return programDir + QStringLiteral("/User Setting.ini"); }
};

} // namespace orbalis
