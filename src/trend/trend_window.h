#pragma once

#include "core/record_file_reader.h"
#include "trend_series.h"

#include <QWidget>
#include <functional>
#include <vector>

class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;

namespace orbalis {

struct Console;
class Reporter;
class SlotHistory;
class TrendHistories;
class TrendPlot;

// The trend of one slot: its live history as it grows, or its controller's
// record files for a range of days. PV and SV, the output and the alarm
// bands against the time of day; the visible range can be saved as PNG and CSV.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    enum class Source { Live, RecordFiles };
    static constexpr int MaxDays = 31;
    // Seconds of new data a live view may hold back from the screen.
    static constexpr double LiveRepaintDelay = 5;
    // Seconds of new data at least between two live repaints.
    static constexpr double LiveRepaintSpacing = 2;

    TrendWindow(const Console &console, const TrendHistories &histories, int slot, Reporter &reporter,
                QWidget *parent = nullptr);
    ~TrendWindow() override;

    int slot() const { return slot_; }
    int controllerId() const;
    Source source() const { return source_; }

    // The slot's history grew (or was started anew for another controller).
    void liveSampleAdded();
    // Back to the live history, following the newest data.
    void showLive();
    // The controller's record files from..to; a message in the status line
    // when the range is longer than MaxDays.
    void loadRecordFiles(const QDate &from, const QDate &to);
    // Name and ID in the caption, after the panel settings changed.
    void updateCaption();

    // What the Save buttons write: the samples in the visible range.
    std::vector<TrendSample> visibleSamples() const;
    // Report failures through the common trap; false when nothing was written.
    bool savePng(const QString &path);
    bool saveCsv(const QString &path);

    TrendPlot &plot() const { return *plot_; }
    const TrendSeriesBuilder &series() const { return builder_; }
    const RecordLoad &recordLoad() const { return load_; }
    QString statusText() const;

    QCheckBox *followLiveBox() const { return followLive_; }
    QDateEdit *fromDayEdit() const { return fromDay_; }
    QDateEdit *toDayEdit() const { return toDay_; }
    QPushButton *loadButton() const { return loadButton_; }
    QPushButton *pngButton() const { return png_; }
    QPushButton *csvButton() const { return csv_; }

    // The save dialog: title, filter, suggested name -> chosen path, empty on cancel.
    std::function<QString(const QString &, const QString &, const QString &)> chooseSaveFile;

private:
    const SlotHistory &history() const;
    void rebuildLive();
    void repaintLive();
    // No good reply for longer than the gap rule allows (or none yet).
    bool liveStale(qint64 nowMs) const;
    void followClock();
    void showSamples(auto &&samples);
    void updateDescription();
    QString slotCaption() const;
    QString plotTitle() const;
    QString unitText() const;
    void refreshStatus();
    // A remark after the status, until the data shown changes.
    void setNote(const QString &note);
    void askAndSave(bool png);
    QString suggestedName(const QString &extension) const;

    const Console &console_;
    const TrendHistories &histories_;
    const int slot_;
    Reporter &reporter_;
    Source source_ = Source::Live;
    TrendSeriesBuilder builder_;
    std::uint64_t seen_ = 0;         // samples of the history already plotted
    int shownId_ = 0;                // controller of what is shown
    double paintedNewest_ = 0;       // key of the newest point at the last live repaint
    RecordLoad load_;
    QString note_;

    TrendPlot *plot_ = nullptr;
    QCheckBox *followLive_ = nullptr;
    QDateEdit *fromDay_ = nullptr;
    QDateEdit *toDay_ = nullptr;
    QPushButton *loadButton_ = nullptr;
    QPushButton *png_ = nullptr;
    QPushButton *csv_ = nullptr;
    QLabel *status_ = nullptr;
};

} // namespace orbalis
