#pragma once

#include <QWidget>
#include <QTimer>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace orbalis {

struct Console;
class CountersModel;
class LineCounters;
class Reporter;
class TrafficModel;
class TrafficRing;

// "Line Monitor": the counters of every bound slot's controller with
// "Reset", and the traffic of the line, newest at the bottom, with "Pause",
// "Clear", a controller filter and "Save...". Created on first use and kept;
// closing it hides it, and while hidden it does no work.
class LineMonitorWindow : public QWidget {
    Q_OBJECT
public:
    // Both tables take what came once a second: painting rows costs more
    // than anything else the monitor does.
    static constexpr int RefreshMs = 1000;
    // Asks for the name of the file to save the traffic in; empty: cancelled.
    using FileNameAsker = std::function<QString(QWidget *parent, const QString &suggested)>;

    // All references outlive the window. With a parent it stays a separate
    // top-level window above it.
    LineMonitorWindow(const Console &console, LineCounters &counters, TrafficRing &ring, Reporter &reporter,
                      QWidget *parent = nullptr);
    ~LineMonitorWindow() override;

    static QString caption() { return QStringLiteral("Line Monitor"); }

    // What the timer runs while the window is shown; tests call it directly.
    void refresh();
    // "Save...": asks for a name and writes the frames shown, oldest first.
    void saveTraffic();
    // Writes the frames shown to the file; errors go to the reporter.
    bool saveTrafficTo(const QString &path);
    void setFileNameAsker(FileNameAsker asker) { askFileName_ = std::move(asker); }
    // The MQTT publisher's state and what it dropped, shown above the
    // counters and refreshed with them; none: the line is not shown.
    void setPublisherState(std::function<QString()> state);
    QLabel *publisherLine() const { return publisher_; }

    CountersModel &countersModel() const { return *counters_; }
    TrafficModel &trafficModel() const { return *traffic_; }
    QTableView *countersView() const { return countersView_; }
    QTableView *trafficView() const { return trafficView_; }
    QPushButton *resetButton() const { return reset_; }
    QPushButton *pauseButton() const { return pause_; }
    QPushButton *clearButton() const { return clear_; }
    QPushButton *saveButton() const { return save_; }
    QComboBox *controllerFilter() const { return filter_; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void build();
    void fillFilter();

    const Console &console_;
    LineCounters &lineCounters_;
    Reporter &reporter_;
    CountersModel *counters_ = nullptr;
    TrafficModel *traffic_ = nullptr;
    QTableView *countersView_ = nullptr;
    QTableView *trafficView_ = nullptr;
    QPushButton *reset_ = nullptr;
    QPushButton *pause_ = nullptr;
    QPushButton *clear_ = nullptr;
    QPushButton *save_ = nullptr;
    QComboBox *filter_ = nullptr;
    QLabel *publisher_ = nullptr;
    std::function<QString()> publisherState_;
    QList<int> filterIds_;
    QTimer timer_;
    bool atEnd_ = true;   // the traffic view showed its newest frame before new ones came
    FileNameAsker askFileName_;
};

} // namespace orbalis
