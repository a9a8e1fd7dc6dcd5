#pragma once

#include "settings/settings_model.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace orbalis {

// The command line of orbalis-gateway.
struct GatewayOptions {
    QString programDir;                        // empty: the default program folder
    std::array<bool, SlotCount> record{};      // slots to record, from slot index 0
    bool help = false;
};

struct ParsedGatewayOptions {
    std::optional<GatewayOptions> options;
    QString error;   // why the arguments were refused
};

// arguments[0] is the program name ("--version" is answered before this).
ParsedGatewayOptions parseGatewayOptions(const QStringList &arguments);

// "all", "none" or slots 1 to 16 like "1,3,5-8"; none when malformed.
std::optional<std::array<bool, SlotCount>> parseRecordSlots(const QString &text);

QString gatewayUsage();

} // namespace orbalis
