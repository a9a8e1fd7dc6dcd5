#include "options.h"

#include <QCommandLineParser>
#include <algorithm>
#include <set>

namespace orbalis::sim {

namespace {

std::optional<int> wholeNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        return std::nullopt;
    return v;
}

std::optional<double> rateOf(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 1.0))
        return std::nullopt;
    return v;
}

} // namespace

std::optional<std::vector<int>> parseIdList(const QString &text)
{
    std::set<int> ids;
    const QStringList parts = text.split(u',');
    for (const QString &part : parts) {
        const QStringList ends = part.split(u'-');
        if (ends.size() > 2)
            return std::nullopt;
        const auto first = wholeNumber(ends[0], 1, 255);
        const auto last = ends.size() == 2 ? wholeNumber(ends[1], 1, 255) : first;
        if (!first || !last || *first > *last)
            return std::nullopt;
        for (int id = *first; id <= *last; ++id)
            ids.insert(id);
    }
    return std::vector<int>(ids.begin(), ids.end());
}

QString formatIdList(const std::vector<int> &ids)
{
    QStringList parts;
    for (std::size_t i = 0; i < ids.size();) {
        std::size_t j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1)
            ++j;
        parts << (j == i ? QString::number(ids[i])
                         : QStringLiteral("%1-%2").arg(ids[i]).arg(ids[j]));
        i = j + 1;
    }
    return parts.join(u',');
}

QString usageText()
{
    return QStringLiteral(
        "Usage: orbalis-sim [--program-dir DIR] [--com N] [--ids LIST] [options]\n"
        "Simulated controller modules on a pseudo-terminal, linked as DIR/ports/COMn.\n"
        "\n"
        "  --program-dir DIR    the console's program folder (default: the console's rule: this\n"
        "                       program's folder when writable, else ~/.local/share/Orbalis)\n"
        "  --com N              serve as COMn, 1..32 (default 1)\n"
        "  --ids LIST           controller IDs, e.g. 1-8, 1,3,5 or 1-4,9 (default 1-8)\n"
        "  --init-settings      write DIR/\"User Setting.ini\" binding slots to the IDs, then exit;\n"
        "                       an existing file is left as it is\n"
        "  --baud RATE          the controllers answer at 2400, 4800, 9600 or 19200 baud (default 19200)\n"
        "  --turnaround MS      controller turnaround in ms, 0..1000 (default 5)\n"
        "  --reply-delay MS     every reply reaches the console this much later, 0..1000 (default 0),\n"
        "                       as a USB adapter's latency timer delays it (16 ms unless set lower)\n"
        "  --drop-rate P        share of requests left unanswered, 0..1\n"
        "  --bad-crc-rate P     share of replies with a broken CRC, 0..1\n"
        "  --late-rate P        share of replies sent after the console stopped waiting, 0..1\n"
        "  --garbage-rate P     share of replies preceded by random bytes, 0..1\n"
        "  --error ID:CODE      error code 0..15 in the status word of controller ID (repeatable)\n"
        "  --refuse-write ID:ADDR  controller ID refuses writes of register ADDR, 0..108, with\n"
        "                       exception 2, as a write-protected register (repeatable)\n"
        "  --alter-write ID:ADDR   controller ID echoes writes of register ADDR but keeps the next\n"
        "                       value (the value plus one, or the next item of a list) (repeatable)\n"
        "  --blink ID:LAMP:MS   alarm lamp 1 or 2 of controller ID dark and lit in turns of MS ms,\n"
        "                       100..3600000, whatever its alarm settings say (repeatable)\n"
        "  --seed N             seed of the noise and the faults (default 1)\n"
        "  --log FILE           log every frame to FILE, or to standard output with -\n"
        "  -h, --help           show this text\n"
        "  --version            show the version\n");
}

ParsedOptions parseOptions(const QStringList &arguments, const QString &defaultProgramDir)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption dir(QStringLiteral("program-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption com(QStringLiteral("com"), QString(), QStringLiteral("N"));
    const QCommandLineOption ids(QStringLiteral("ids"), QString(), QStringLiteral("LIST"));
    const QCommandLineOption init(QStringLiteral("init-settings"));
    const QCommandLineOption turnaround(QStringLiteral("turnaround"), QString(), QStringLiteral("MS"));
    const QCommandLineOption replyDelay(QStringLiteral("reply-delay"), QString(), QStringLiteral("MS"));
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("RATE"));
    const QCommandLineOption drop(QStringLiteral("drop-rate"), QString(), QStringLiteral("P"));
    const QCommandLineOption badCrc(QStringLiteral("bad-crc-rate"), QString(), QStringLiteral("P"));
    const QCommandLineOption late(QStringLiteral("late-rate"), QString(), QStringLiteral("P"));
    const QCommandLineOption garbage(QStringLiteral("garbage-rate"), QString(), QStringLiteral("P"));
    const QCommandLineOption error(QStringLiteral("error"), QString(), QStringLiteral("ID:CODE"));
    const QCommandLineOption refuseWrite(QStringLiteral("refuse-write"), QString(), QStringLiteral("ID:ADDR"));
    const QCommandLineOption alterWrite(QStringLiteral("alter-write"), QString(), QStringLiteral("ID:ADDR"));
    const QCommandLineOption blink(QStringLiteral("blink"), QString(), QStringLiteral("ID:LAMP:MS"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("N"));
    const QCommandLineOption log(QStringLiteral("log"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, dir, com, ids, init, baud, turnaround, replyDelay, drop, badCrc, late, garbage, error,
                       refuseWrite, alterWrite, blink, seed, log});

    ParsedOptions result;
    auto refuse = [&result](const QString &why) {
        result.error = why;
        return result;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    SimOptions o;
    o.help = parser.isSet(help);
    o.initSettings = parser.isSet(init);
    o.programDir = parser.isSet(dir) ? parser.value(dir) : defaultProgramDir;
    if (o.programDir.isEmpty())
        return refuse(QStringLiteral("--program-dir needs a folder"));
    if (parser.isSet(com)) {
        const auto n = wholeNumber(parser.value(com), 1, 32);
        if (!n)
            return refuse(QStringLiteral("--com takes a port number 1..32, not '%1'").arg(parser.value(com)));
        o.com = *n;
    }
    if (parser.isSet(ids)) {
        const auto list = parseIdList(parser.value(ids));
        if (!list)
            return refuse(QStringLiteral("--ids takes IDs 1..255 like 1-8, 1,3,5 or 1-4,9, not '%1'")
                              .arg(parser.value(ids)));
        o.ids = *list;
    }
    if (parser.isSet(turnaround)) {
        const auto ms = wholeNumber(parser.value(turnaround), 0, 1000);
        if (!ms)
            return refuse(QStringLiteral("--turnaround takes 0..1000 ms, not '%1'").arg(parser.value(turnaround)));
        o.turnaround = Micros(*ms * 1000LL);
    }
    if (parser.isSet(baud)) {
        const auto rate = wholeNumber(parser.value(baud), 2400, 19200);
        if (!rate || (*rate != 2400 && *rate != 4800 && *rate != 9600 && *rate != 19200))
            return refuse(QStringLiteral("--baud takes 2400, 4800, 9600 or 19200, not '%1'").arg(parser.value(baud)));
        o.baud = *rate;
    }
    if (parser.isSet(replyDelay)) {
        const auto ms = wholeNumber(parser.value(replyDelay), 0, 1000);
        if (!ms)
            return refuse(QStringLiteral("--reply-delay takes 0..1000 ms, not '%1'").arg(parser.value(replyDelay)));
        o.replyDelay = Micros(*ms * 1000LL);
    }
    const std::pair<const QCommandLineOption *, double *> rates[] = {
        {&drop, &o.faults.drop}, {&badCrc, &o.faults.badCrc},
        {&late, &o.faults.late}, {&garbage, &o.faults.garbage}};
    for (const auto &[option, target] : rates) {
        if (!parser.isSet(*option))
            continue;
        const auto p = rateOf(parser.value(*option));
        if (!p)
            return refuse(QStringLiteral("--%1 takes a probability 0..1, not '%2'")
                              .arg(option->names().first(), parser.value(*option)));
        *target = *p;
    }
    for (const QString &e : parser.values(error)) {
        const QStringList parts = e.split(u':');
        const auto id = parts.size() == 2 ? wholeNumber(parts[0], 1, 255) : std::nullopt;
        const auto code = parts.size() == 2 ? wholeNumber(parts[1], 0, 15) : std::nullopt;
        if (!id || !code)
            return refuse(QStringLiteral("--error takes ID:CODE with CODE 0..15, not '%1'").arg(e));
        if (std::find(o.ids.begin(), o.ids.end(), *id) == o.ids.end())
            return refuse(QStringLiteral("--error names controller %1, which is not served").arg(*id));
        o.errors.emplace_back(*id, *code);
    }
    const std::pair<const QCommandLineOption *, std::vector<std::pair<int, int>> *> registerOptions[] = {
        {&refuseWrite, &o.refusedWrites}, {&alterWrite, &o.alteredWrites}};
    for (const auto &[option, target] : registerOptions) {
        for (const QString &value : parser.values(*option)) {
            const QStringList parts = value.split(u':');
            const auto id = parts.size() == 2 ? wholeNumber(parts[0], 1, 255) : std::nullopt;
            const auto address = parts.size() == 2 ? wholeNumber(parts[1], 0, 108) : std::nullopt;
            if (!id || !address)
                return refuse(QStringLiteral("--%1 takes ID:ADDR with ADDR 0..108, not '%2'")
                                  .arg(option->names().first(), value));
            if (std::find(o.ids.begin(), o.ids.end(), *id) == o.ids.end())
                return refuse(QStringLiteral("--%1 names controller %2, which is not served")
                                  .arg(option->names().first())
                                  .arg(*id));
            target->emplace_back(*id, *address);
        }
    }
    for (const QString &b : parser.values(blink)) {
        const QStringList parts = b.split(u':');
        const auto id = parts.size() == 3 ? wholeNumber(parts[0], 1, 255) : std::nullopt;
        const auto lamp = parts.size() == 3 ? wholeNumber(parts[1], 1, 2) : std::nullopt;
        const auto ms = parts.size() == 3 ? wholeNumber(parts[2], 100, 3'600'000) : std::nullopt;
        if (!id || !lamp || !ms)
            return refuse(QStringLiteral("--blink takes ID:LAMP:MS with LAMP 1 or 2 and MS 100..3600000, not '%1'")
                              .arg(b));
        if (std::find(o.ids.begin(), o.ids.end(), *id) == o.ids.end())
            return refuse(QStringLiteral("--blink names controller %1, which is not served").arg(*id));
        o.blinks.push_back({*id, *lamp, *ms});
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        const auto n = parser.value(seed).trimmed().toUInt(&ok);
        if (!ok)
            return refuse(QStringLiteral("--seed takes a number 0..4294967295, not '%1'").arg(parser.value(seed)));
        o.seed = n;
    }
    if (parser.isSet(log)) {
        o.logPath = parser.value(log);
        if (o.logPath.isEmpty())
            return refuse(QStringLiteral("--log takes a file name or -"));
    }
    result.options = o;
    return result;
}

} // namespace orbalis::sim
