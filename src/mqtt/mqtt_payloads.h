#pragma once

#include "mqtt_message.h"

#include "core/line_counters.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace orbalis {

class MqttTopics;
struct AlarmChange;
struct RemoteWriteResult;

// "2026-12-10T14:21:17.664Z": UTC, milliseconds, Z.
QString utcTimeText(const QDateTime &time);

// scaled / 10^decimals (decimals 0 to 3) as JSON writes the double: the
// shortest text that reads back as it ("98.9", "100", "-0.05", "0").
void appendScaledNumber(QByteArray &json, int scaled, int decimals);

// The decimal places of a slot's decimal-point code: 48 one, 49 two, 50
// three, any other none.
int decimalsOf(std::int32_t dpCode);

// P/<ID>/live for a good live-value reply (the 30 input registers from
// 4096): {"time":"2026-12-10T14:21:17.664Z","slot":1,"name":"Oven1","id":1,
// "pv":98.9,"sv":100,"out":25,"state":"Hand","error":null,"al1":false,
// "al2":true}. slot counts from 1 as the status bar does; pv and sv carry
// the slot's decimal places; state is the banner's legend (null when blank),
// error the legend of an error code (null without one). Nothing for a reply
// too short to hold the first four registers.
QByteArray liveJson(const QDateTime &time, int slot, const QString &name, int id, const QByteArray &reply,
                    std::int32_t dpCode);

// P/<ID>/health: the controller's line counters.
QByteArray healthJson(const QDateTime &time, int id, const ControllerCounters &c, SteadyTime now);

// P/<ID>/alarm (P/alarm for the line) for one change of one alarm, as the
// journal keeps it: {"time":...,"slot":1,"name":"Oven1","id":1,
// "alarm":"Alarm 1","change":"activated","from":"Normal",
// "to":"Active, unacknowledged","pv":98.9,"sv":100,"comment":null,
// "user":"op","shelved_until":null}. slot, name and id are null for the
// line; pv and sv as the slot showed them, null when not known.
QByteArray alarmJson(const AlarmChange &change);

// P/<ID>/set/<MNEMONIC>/result: {"time":...,"ok":true,"value":"100.0"} or
// {"time":...,"ok":false,"reason":"Value out of range !"}.
QByteArray writeResultJson(const QDateTime &time, const RemoteWriteResult &result);

// Home Assistant's discovery: retained configs under haPrefix that show
// PV, SV, the output and the two alarms of one controller as the entities
// of one device. `node` tells this line's controllers from other lines'.
std::vector<MqttMessage> discoveryMessages(const QString &haPrefix, const QString &node, const MqttTopics &topics,
                                           int id, const QString &name);
// Empty retained messages on the same topics: the device is removed.
std::vector<MqttMessage> discoveryRemovals(const QString &haPrefix, const QString &node, int id);
// A prefix made fit to name entities: letters, digits, "_" and "-" only.
QString discoveryNode(const QString &prefix);

} // namespace orbalis
