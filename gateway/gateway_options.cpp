#include "gateway_options.h"

namespace orbalis {

std::optional<std::array<bool, SlotCount>> parseRecordSlots(const QString &text)
{
    std::array<bool, SlotCount> slots{};
    const QString t = text.trimmed();
    if (t == u"none")
        return slots;
    if (t == u"all") {
        slots.fill(true);
        return slots;
    }
    if (t.isEmpty())
        return std::nullopt;
    const auto slotNumber = [](const QString &s) -> std::optional<int> {
        bool ok = false;
        const int n = s.trimmed().toInt(&ok);
        if (!ok || n < 1 || n > SlotCount)
            return std::nullopt;
        return n;
    };
    for (const QString &part : t.split(u',')) {
        const QStringList ends = part.split(u'-');
        if (ends.size() > 2)
            return std::nullopt;
        const std::optional<int> first = slotNumber(ends.front());
        const std::optional<int> last = slotNumber(ends.back());
        if (!first || !last || *first > *last)
            return std::nullopt;
        for (int n = *first; n <= *last; ++n)
            slots[size_t(n - 1)] = true;
    }
    return slots;
}

ParsedGatewayOptions parseGatewayOptions(const QStringList &arguments)
{
    GatewayOptions options;
    const auto refuse = [](const QString &why) { return ParsedGatewayOptions{std::nullopt, why}; };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const auto valueOf = [&](const QString &name) -> std::optional<QString> {
            if (a.startsWith(name + u'='))
                return a.mid(name.size() + 1);
            if (a == name && i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (a == u"--help" || a == u"-h") {
            options.help = true;
        } else if (a == u"--program-dir" || a.startsWith(QStringLiteral("--program-dir="))) {
            const std::optional<QString> dir = valueOf(QStringLiteral("--program-dir"));
            if (!dir || dir->isEmpty())
                return refuse(QStringLiteral("--program-dir needs a folder"));
            options.programDir = *dir;
        } else if (a == u"--record" || a.startsWith(QStringLiteral("--record="))) {
            const std::optional<QString> list = valueOf(QStringLiteral("--record"));
            const auto slots = list ? parseRecordSlots(*list) : std::nullopt;
            if (!slots)
                return refuse(QStringLiteral("--record takes all, none or slots 1..16 like 1,3,5-8, not '%1'")
                                  .arg(list.value_or(QString())));
            options.record = *slots;
        } else {
            return refuse(QStringLiteral("unknown argument '%1'").arg(a));
        }
    }
    return {options, {}};
}

QString gatewayUsage()
{
    return QStringLiteral(
        "Usage: orbalis-gateway [--program-dir DIR] [--record all|none|LIST]\n"
        "Polls the controllers of one RS-485 line as the Orbalis console does, without a window,\n"
        "records the chosen slots and publishes every controller's values over MQTT.\n"
        "\n"
        "  --program-dir DIR  the program folder: \"User Setting.ini\" (port, baud rate, slots),\n"
        "                     Orbalis.ini ([mqtt]), the record files; created when missing\n"
        "                     (default: the folder of this program, or ~/.local/share/Orbalis\n"
        "                     when that folder may not be written)\n"
        "  --record SLOTS     record these slots to their record files, as the pen of a slot\n"
        "                     does in the console: all, none or a list like 1,3,5-8 (default none)\n"
        "  --help             this text\n"
        "  --version          the version\n"
        "\n"
        "It logs one line per change (port, broker, controllers) to standard error and ends\n"
        "cleanly on SIGTERM or SIGINT. Only one console or gateway may use a program folder.\n");
}

} // namespace orbalis
