#include "alarm_state.h"

namespace orbalis {

namespace {

using S = AlarmState;
using C = AlarmChangeKind;

constexpr AlarmTransition same(AlarmState s)
{
    return {s, std::nullopt};
}

} // namespace

AlarmTransition alarmTransition(AlarmState state, AlarmEvent event)
{
    switch (event) {
    case AlarmEvent::Activate:
        switch (state) {
        case S::Normal:
        case S::ReturnedUnacknowledged: return {S::ActiveUnacknowledged, C::Activated};
        case S::ShelvedNormal: return {S::ShelvedActive, C::Activated};
        default: return same(state);
        }
    case AlarmEvent::Return:
        switch (state) {
        case S::ActiveUnacknowledged: return {S::ReturnedUnacknowledged, C::Returned};
        case S::ActiveAcknowledged: return {S::Normal, C::Returned};
        case S::ShelvedActive: return {S::ShelvedNormal, C::Returned};
        default: return same(state);
        }
    case AlarmEvent::Acknowledge:
        switch (state) {
        case S::ActiveUnacknowledged: return {S::ActiveAcknowledged, C::Acknowledged};
        case S::ReturnedUnacknowledged: return {S::Normal, C::Acknowledged};
        default: return same(state);
        }
    case AlarmEvent::Shelve: return {isActive(state) ? S::ShelvedActive : S::ShelvedNormal, C::Shelved};
    case AlarmEvent::Unshelve:
        switch (state) {
        case S::ShelvedActive: return {S::ActiveUnacknowledged, C::Unshelved};
        case S::ShelvedNormal: return {S::Normal, C::Unshelved};
        default: return same(state);
        }
    }
    return same(state);
}

bool isActive(AlarmState state)
{
    return state == S::ActiveUnacknowledged || state == S::ActiveAcknowledged || state == S::ShelvedActive;
}

bool isShelved(AlarmState state)
{
    return state == S::ShelvedNormal || state == S::ShelvedActive;
}

bool isUnacknowledged(AlarmState state)
{
    return state == S::ActiveUnacknowledged || state == S::ReturnedUnacknowledged;
}

bool isCurrent(AlarmState state)
{
    return state != S::Normal && !isShelved(state);
}

QString changeWord(AlarmChangeKind change)
{
    switch (change) {
    case C::Activated: return QStringLiteral("activated");
    case C::Returned: return QStringLiteral("returned");
    case C::Acknowledged: return QStringLiteral("acknowledged");
    case C::Shelved: return QStringLiteral("shelved");
    case C::Unshelved: return QStringLiteral("unshelved");
    }
    return {};
}

std::optional<AlarmChangeKind> changeFromWord(const QString &word)
{
    for (C c : {C::Activated, C::Returned, C::Acknowledged, C::Shelved, C::Unshelved})
        if (changeWord(c) == word)
            return c;
    return std::nullopt;
}

QString stateText(AlarmState state)
{
    switch (state) {
    case S::Normal: return QStringLiteral("Normal");
    case S::ActiveUnacknowledged: return QStringLiteral("Active, unacknowledged");
    case S::ActiveAcknowledged: return QStringLiteral("Active, acknowledged");
    case S::ReturnedUnacknowledged: return QStringLiteral("Returned, unacknowledged");
    case S::ShelvedNormal: return QStringLiteral("Shelved, normal");
    case S::ShelvedActive: return QStringLiteral("Shelved, active");
    }
    return {};
}

} // namespace orbalis
