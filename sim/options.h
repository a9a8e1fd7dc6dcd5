#pragma once

#include "fault_injector.h"
#include "line_timing.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace orbalis::sim {

struct SimOptions {
    QString programDir;
    int com = 1;
    std::vector<int> ids{1, 2, 3, 4, 5, 6, 7, 8};
    Micros turnaround{5000};
    Micros replyDelay{0};
    int baud = 19200;                          // the rate every controller answers at
    FaultRates faults;
    std::vector<std::pair<int, int>> errors;   // controller id, error code
    std::vector<std::pair<int, int>> refusedWrites;   // controller id, register address
    std::vector<std::pair<int, int>> alteredWrites;   // controller id, register address
    struct Blink {
        int id;
        int lamp;        // 1 or 2
        int periodMs;    // lit and dark in turns of this long
        bool operator==(const Blink &) const = default;
    };
    std::vector<Blink> blinks;
    std::uint32_t seed = 1;
    QString logPath;                           // empty: no log; "-": standard output
    bool initSettings = false;
    bool help = false;
};

struct ParsedOptions {
    std::optional<SimOptions> options;
    QString error;   // why the arguments were refused, when options is empty
};

// arguments[0] is the program name. defaultProgramDir stands in when
// --program-dir is not given.
ParsedOptions parseOptions(const QStringList &arguments, const QString &defaultProgramDir);

// "1-8", "1,3,5", "1-4,9": ascending ids 1..255 without repeats; nullopt if malformed.
std::optional<std::vector<int>> parseIdList(const QString &text);
// The shortest such text for ascending ids.
QString formatIdList(const std::vector<int> &ids);

QString usageText();

} // namespace orbalis::sim
