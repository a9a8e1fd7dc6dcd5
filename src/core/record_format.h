#pragma once

#include "trend_sample.h"

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace orbalis {

class ParameterSource;

// The record files, one per day and controller in the program folder: their
// names, their header and their lines, written by the recorder and read back
// by the trends through this one description. A line is the time of day
// "hh:mm:ss" and then the 27 live values (a Time32 under its high half) in
// address order, as the main window's live-value boxes show them, joined by
// commas; every line ends with CR LF, and a file starts with the header.

// "240303 5.Csv": the day as yymmdd, a blank and the controller ID.
QString recordFileName(const QDate &day, int controllerId);
// "Time,PvPvof,SvSvof,Outl,WkErNo,...,A/D 0,A/D 1"
QString recordHeader();
// The time of day, then ",text" per value column; no line end.
QString recordLine(const QTime &time, const ParameterSource &texts);
bool isRecordHeader(QByteArrayView line);

// The times of one day's lines, in ms since the epoch. Days without a change
// of the clock's offset take the fast road.
class RecordDay {
public:
    explicit RecordDay(const QDate &day);
    qint64 msOf(int secondsOfDay) const;

private:
    QDate day_;
    bool uniform_ = true;
    qint64 midnightMs_ = 0;
};

// The PV, SV, output and alarm lamps of one line (without its line end),
// stamped on the day; nothing when the line is not one the recorder writes.
std::optional<TrendSample> parseRecordLine(QByteArrayView line, const RecordDay &day);
std::optional<TrendSample> parseRecordLine(QByteArrayView line, const QDate &day);

} // namespace orbalis
