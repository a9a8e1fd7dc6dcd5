#include "trend_window.h"

#include "core/gap_rule.h"
#include "trend_csv.h"
#include "core/trend_histories.h"
#include "trend_plot.h"

#include "base/error.h"
#include "base/error_trap.h"
#include "base/whole_file_save.h"
#include "model/display.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace orbalis {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString numberText(int n)
{
    return QLocale::c().toString(n);
}

QString sampleValues(const TrendSample &s, const QString &unit)
{
    const std::int32_t dpCode = 47 + s.decimals();
    const QString inUnit = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    return QStringLiteral("PV %1%4, SV %2%4, output %3 %")
        .arg(scaledText(s.pv, dpCode), scaledText(s.sv, dpCode), tenthsText(s.output), inUnit);
}

// Every control is named by its caption for screen readers.
template <class Control>
Control *captioned(Control *control, const QString &name)
{
    control->setAccessibleName(name);
    return control;
}

} // namespace

TrendWindow::TrendWindow(const Console &console, const TrendHistories &histories, int slot,
                         Reporter &reporter, QWidget *parent)
    : QWidget(parent, Qt::Window), console_(console), histories_(histories), slot_(slot), reporter_(reporter)
{
    setAttribute(Qt::WA_DeleteOnClose);
    chooseSaveFile = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };

    followLive_ = captioned(new QCheckBox(QStringLiteral("Follow live"), this), QStringLiteral("Follow live"));
    auto *fromLabel = new QLabel(QStringLiteral("From"), this);
    auto *toLabel = new QLabel(QStringLiteral("to"), this);
    const QDate today = console_.clock->now().date();
    fromDay_ = captioned(new QDateEdit(today, this), QStringLiteral("From"));
    toDay_ = captioned(new QDateEdit(today, this), QStringLiteral("to"));
    for (QDateEdit *edit : {fromDay_, toDay_}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
    }
    fromLabel->setBuddy(fromDay_);
    toLabel->setBuddy(toDay_);
    loadButton_ = captioned(new QPushButton(QStringLiteral("Load record files"), this),
                            QStringLiteral("Load record files"));
    png_ = captioned(new QPushButton(QStringLiteral("Save PNG"), this), QStringLiteral("Save PNG"));
    csv_ = captioned(new QPushButton(QStringLiteral("Save CSV"), this), QStringLiteral("Save CSV"));
    status_ = new QLabel(this);
    nameByRoleAndText(status_, QStringLiteral("Status"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A month of file names must not widen the window.
    status_->setWordWrap(true);
    plot_ = new TrendPlot(this);
    plot_->setAccessibleName(QStringLiteral("Trend plot"));
    plot_->setMinimumSize(480, 280);

    auto *controls = new QHBoxLayout;
    controls->addWidget(followLive_);
    controls->addSpacing(16);
    controls->addWidget(fromLabel);
    controls->addWidget(fromDay_);
    controls->addWidget(toLabel);
    controls->addWidget(toDay_);
    controls->addWidget(loadButton_);
    controls->addStretch(1);
    controls->addWidget(png_);
    controls->addWidget(csv_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(plot_, 1);
    layout->addWidget(status_);
    resize(900, 560);

    connect(followLive_, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            plot_->setFollowLive(false);
            return;
        }
        if (source_ != Source::Live)
            showLive();
        else {
            plot_->setFollowLive(true);
            plot_->replot();
        }
    });
    connect(plot_, &TrendPlot::followLiveLeft, this, [this] {
        const QSignalBlocker quiet(followLive_);
        followLive_->setChecked(false);
    });
    connect(loadButton_, &QPushButton::clicked, this, [this] { loadRecordFiles(fromDay_->date(), toDay_->date()); });
    connect(png_, &QPushButton::clicked, this, [this] { askAndSave(true); });
    connect(csv_, &QPushButton::clicked, this, [this] { askAndSave(false); });
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] {
        plot_->setTitle(plotTitle());
        const QString unit = unitText();
        const QString label = unit.isEmpty() ? QStringLiteral("PV, SV") : QStringLiteral("PV, SV (%1)").arg(unit);
        if (plot_->yAxis->label() != label)
            plot_->yAxis->setLabel(label);
    });
    connect(plot_, &QCustomPlot::afterReplot, this, [this] { updateDescription(); });

    // While no good reply comes the live view still moves on with the clock,
    // so the gap shows as it grows and not only once replies are back.
    auto *clockTick = new QTimer(this);
    clockTick->setInterval(1000);
    connect(clockTick, &QTimer::timeout, this, [this] { followClock(); });
    clockTick->start();

    showLive();
}

TrendWindow::~TrendWindow() = default;

bool TrendWindow::liveStale(qint64 nowMs) const
{
    const SlotHistory &h = history();
    return h.empty() || breaksLine(h.newest().timeMs, nowMs, pollPeriodMs(console_));
}

void TrendWindow::followClock()
{
    if (source_ != Source::Live || !plot_->followsLive() || !isVisible())
        return;
    const qint64 now = console_.clock->nowMs();
    if (!liveStale(now))
        return;
    plot_->followNewest(keyOf(now));
    refreshStatus();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

const SlotHistory &TrendWindow::history() const
{
    return histories_.history(slot_);
}

int TrendWindow::controllerId() const
{
    if (source_ == Source::RecordFiles || shownId_ != 0)
        return shownId_;
    return console_.slots.SlotId[std::size_t(slot_)];
}

QString TrendWindow::slotCaption() const
{
    const QString name = console_.settings.panel.NameText[std::size_t(slot_)].trimmed();
    return QStringLiteral("%1 (ID %2)")
        .arg(name.isEmpty() ? QStringLiteral("Slot %1").arg(slot_ + 1) : name)
        .arg(controllerId());
}

QString TrendWindow::unitText() const
{
    return histories_.unitText(slot_, controllerId());
}

QString TrendWindow::plotTitle() const
{
    // The time axis shows the time of day; the title says which days the
    // points in view are of (the room at the edges may reach into another).
    const QCPRange r = plot_->xAxis->range();
    double from = r.lower, to = r.upper;
    const auto data = plot_->pvGraph()->data();
    const auto begin = data->findBegin(r.lower, false), end = data->findEnd(r.upper, false);
    if (begin != end) {
        from = begin->key;
        to = (end - 1)->key;
    }
    const QDate first = QDateTime::fromMSecsSinceEpoch(qint64(from * 1000)).date();
    const QDate last = QDateTime::fromMSecsSinceEpoch(qint64(to * 1000)).date();
    const QString day = first == last ? first.toString(Qt::ISODate)
                                      : first.toString(Qt::ISODate) + QStringLiteral(" to ") + last.toString(Qt::ISODate);
    return slotCaption() + QStringLiteral(", ") + day;
}

void TrendWindow::updateCaption()
{
    setWindowTitle(QStringLiteral("Trend - ") + slotCaption());
}

void TrendWindow::showSamples(auto &&samples)
{
    builder_ = TrendSeriesBuilder();
    builder_.addAll(samples);
    plot_->showSeries(builder_.series(), builder_.inTimeOrder());
    plot_->setBands(builder_.series().alarm1, builder_.series().alarm2);
    builder_.clearPoints();
}

void TrendWindow::showLive()
{
    source_ = Source::Live;
    load_ = {};
    rebuildLive();
    {
        const QSignalBlocker quiet(followLive_);
        followLive_->setChecked(true);
    }
    if (builder_.empty()) {
        // An hour: a shorter span would repaint on nearly every reply, for
        // as long as the window stays open.
        const double now = keyOf(console_.clock->nowMs());
        plot_->showRange(now - TrendPlot::DefaultSpanSeconds, now);
    } else {
        // An hour at most, ten minutes at least, the whole history if shorter.
        const double newest = keyOf(builder_.last().timeMs);
        const double span = std::clamp(newest - keyOf(history().oldest().timeMs), TrendPlot::ShortestOpeningSpan,
                                       TrendPlot::DefaultSpanSeconds);
        plot_->xAxis->setRange(newest - span, newest);
    }
    plot_->setFollowLive(true);
    paintedNewest_ = builder_.empty() ? 0 : keyOf(builder_.last().timeMs);
    plot_->replot();
}

void TrendWindow::rebuildLive()
{
    const SlotHistory &h = history();
    shownId_ = h.controllerId() != 0 ? h.controllerId() : console_.slots.SlotId[std::size_t(slot_)];
    showSamples(h);
    seen_ = h.appended();
    updateCaption();
    note_.clear();
    refreshStatus();
}

void TrendWindow::liveSampleAdded()
{
    if (source_ != Source::Live)
        return;
    const SlotHistory &h = history();
    const std::uint64_t fresh = h.appended() - seen_;
    if (h.appended() < seen_ || h.controllerId() != shownId_ || fresh > h.size()) {
        rebuildLive();   // another controller, or more came than the history keeps
        paintedNewest_ = -LiveRepaintDelay;
    } else {
        for (std::size_t i = h.size() - std::size_t(fresh); i < h.size(); ++i)
            builder_.add(h[i]);
        plot_->appendSeries(builder_.series(), builder_.inTimeOrder());
        builder_.clearPoints();
        seen_ = h.appended();
        // The plot keeps what the history keeps.
        if (!h.empty() && h.size() == h.capacity()) {
            const double oldest = keyOf(h.oldest().timeMs);
            plot_->removeBefore(oldest);
            if (seen_ % 1024 == 0)
                builder_.removeBandsBefore(oldest);
        }
    }
    if (h.empty())
        return;
    const double newest = keyOf(h.newest().timeMs);
    plot_->followNewest(newest);
    updateDescription();   // a screen reader gets the newest values at once
    // A repaint shows something new once the newest point has moved a pixel
    // on, and LiveRepaintSpacing after the last (a short span with fast
    // replies would repaint on each); the last values wait no longer than
    // LiveRepaintDelay for it.
    const double keysPerPixel = plot_->xAxis->range().size() / std::max(plot_->axisRect()->width(), 1);
    const double moved = newest - paintedNewest_;
    if (moved >= std::max(keysPerPixel, LiveRepaintSpacing) || moved >= LiveRepaintDelay || moved < 0)
        repaintLive();
}

void TrendWindow::repaintLive()
{
    paintedNewest_ = builder_.empty() ? 0 : keyOf(builder_.last().timeMs);
    updateCaption();   // the panel settings may have renamed the slot
    refreshStatus();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::loadRecordFiles(const QDate &from, const QDate &to)
{
    const QDate first = std::min(from, to), last = std::max(from, to);
    if (first.daysTo(last) >= MaxDays) {
        setNote(QStringLiteral("Choose at most %1 days.").arg(MaxDays));
        return;
    }
    const int id = console_.slots.SlotId[std::size_t(slot_)] != 0 ? console_.slots.SlotId[std::size_t(slot_)]
                                                                    : shownId_;
    source_ = Source::RecordFiles;
    shownId_ = id;
    {
        const QSignalBlocker quiet(followLive_);
        followLive_->setChecked(false);
    }
    plot_->setFollowLive(false);
    // A month of files takes a moment: say so by the pointer.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ErrorTrap trap(reporter_, QStringLiteral("loadRecordFiles"));
    if (!trap.step([&] { load_ = RecordFileReader(console_.programDir, id).load(first, last, pollPeriodMs(console_)); }))
        load_ = {};
    QGuiApplication::restoreOverrideCursor();
    showSamples(load_.samples);
    if (load_.samples.empty())
        plot_->showRange(keyOf(QDateTime(first, QTime(0, 0)).toMSecsSinceEpoch()),
                         keyOf(QDateTime(last.addDays(1), QTime(0, 0)).toMSecsSinceEpoch()));
    else
        plot_->showRange(keyOf(load_.samples.front().timeMs), keyOf(load_.samples.back().timeMs));
    updateCaption();
    note_.clear();
    refreshStatus();
    plot_->replot();
}

QString TrendWindow::statusText() const
{
    return status_->text();
}

void TrendWindow::setNote(const QString &note)
{
    note_ = note;
    refreshStatus();
}

void TrendWindow::refreshStatus()
{
    QString s;
    if (source_ == Source::Live) {
        const SlotHistory &h = history();
        s = h.empty() ? QStringLiteral("Live: no good reply yet")
                      : QStringLiteral("Live: %1 replies since %2")
                            .arg(numberText(int(h.size())),
                                 QDateTime::fromMSecsSinceEpoch(h.oldest().timeMs).toString(TimeFormat));
        if (!h.empty() && liveStale(console_.clock->nowMs()))
            s += QStringLiteral("; no good reply since ")
                + QDateTime::fromMSecsSinceEpoch(h.newest().timeMs).toString(TimeFormat);
    } else {
        s = QStringLiteral("Record files: %1 lines").arg(numberText(int(load_.samples.size())));
        if (load_.linesSkipped > 0)
            s += QStringLiteral(", %1 lines skipped (not readable as record lines)").arg(numberText(load_.linesSkipped));
        if (!load_.filesRead.isEmpty())
            s += QStringLiteral("; read: ") + load_.filesRead.join(QStringLiteral(", "));
        if (!load_.filesMissing.isEmpty())
            s += QStringLiteral("; no file: ") + load_.filesMissing.join(QStringLiteral(", "));
        if (!load_.filesFailed.isEmpty())
            s += QStringLiteral("; cannot read: ") + load_.filesFailed.join(QStringLiteral(", "));
        if (!load_.filesCutShort.isEmpty())
            s += QStringLiteral("; cut short while being read: ") + load_.filesCutShort.join(QStringLiteral(", "));
        if (load_.cutAfter.isValid())
            s += QStringLiteral("; too many lines, those after %1 left out").arg(load_.cutAfter.toString(TimeFormat));
    }
    if (!note_.isEmpty())
        s += QStringLiteral(" | ") + note_;
    status_->setText(s);
}

void TrendWindow::updateDescription()
{
    const QCPRange r = plot_->xAxis->range();
    auto at = [](double key) { return QDateTime::fromMSecsSinceEpoch(qint64(key * 1000)).toString(TimeFormat); };
    QString d = QStringLiteral("%1 of %2 from %3 to %4")
                    .arg(source_ == Source::Live ? QStringLiteral("Live trend") : QStringLiteral("Recorded trend"),
                         slotCaption(), at(r.lower), at(r.upper));
    if (builder_.empty())
        d += QStringLiteral("; no values");
    else
        d += QStringLiteral("; last ") + sampleValues(builder_.last(), unitText());
    if (plot_->accessibleDescription() != d)
        plot_->setAccessibleDescription(d);
}

std::vector<TrendSample> TrendWindow::visibleSamples() const
{
    const QCPRange r = plot_->xAxis->range();
    std::vector<TrendSample> out;
    auto take = [&](const auto &samples) {
        for (const TrendSample &s : samples) {
            const double key = keyOf(s.timeMs);
            if (key >= r.lower && key <= r.upper)
                out.push_back(s);
        }
    };
    if (source_ == Source::Live)
        take(history());
    else
        take(load_.samples);
    // The first sample in view starts the file: nothing before it to break from.
    if (!out.empty())
        out.front().setBreaksBefore(false);
    return out;
}

bool TrendWindow::savePng(const QString &path)
{
    ErrorTrap trap(reporter_, QStringLiteral("savePng"));
    return trap.step([&] {
        // Encoded in memory first, so that a failure to write is reported
        // with the system's own reason, and through the same save as the
        // CSV: a failed save leaves a file of that name as it was.
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !plot_->toPixmap().toImage().save(&buffer, "PNG"))
            throw Error(PathFileAccess, path + QStringLiteral(": the plot could not be encoded as PNG"));
        try {
            saveWholeFile(path, png);
        } catch (const Error &e) {
            throw withContext(e, path);
        }
    });
}

bool TrendWindow::saveCsv(const QString &path)
{
    ErrorTrap trap(reporter_, QStringLiteral("saveCsv"));
    return trap.step([&] { saveTrendCsv(path, visibleSamples()); });
}

QString TrendWindow::suggestedName(const QString &extension) const
{
    const QCPRange r = plot_->xAxis->range();
    const QString from = QDateTime::fromMSecsSinceEpoch(qint64(r.lower * 1000)).toString(QStringLiteral("yyMMdd-HHmm"));
    return QDir(console_.programDir)
        .filePath(QStringLiteral("Trend %1 %2.%3").arg(controllerId()).arg(from, extension));
}

void TrendWindow::askAndSave(bool png)
{
    const QString path = png ? chooseSaveFile(QStringLiteral("Save PNG"), QStringLiteral("PNG image (*.png)"),
                                              suggestedName(QStringLiteral("png")))
                             : chooseSaveFile(QStringLiteral("Save CSV"), QStringLiteral("CSV file (*.csv)"),
                                              suggestedName(QStringLiteral("csv")));
    if (path.isEmpty())
        return;
    const bool saved = png ? savePng(path) : saveCsv(path);
    if (saved)
        setNote(QStringLiteral("Saved ") + QDir::toNativeSeparators(path));
}

} // namespace orbalis
