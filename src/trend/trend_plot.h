#pragma once

#include "qcp_include.h"
#include "trend_series.h"

#include <vector>

namespace orbalis {

// The plot of one slot's trend: PV and SV on the left axis, the output in %
// on the right one, against the time of day; alarm 1 and alarm 2 as lit
// bands behind the lines. The wheel zooms and a drag pans the time axis; the
// value axes follow the data in view.
class TrendPlot : public QCustomPlot {
    Q_OBJECT
public:
    static constexpr double DefaultSpanSeconds = 3600;
    static constexpr double ShortestOpeningSpan = 600;

    explicit TrendPlot(QWidget *parent = nullptr);

    QCPGraph *pvGraph() const { return pv_; }
    QCPGraph *svGraph() const { return sv_; }
    QCPGraph *outputGraph() const { return output_; }

    // Replaces the lines by the points of `series`.
    void showSeries(const TrendSeries &series, bool inTimeOrder);
    // Adds the points of `series` to the lines.
    void appendSeries(const TrendSeries &series, bool inTimeOrder);
    // Drops the points before `key` (seconds since the epoch).
    void removeBefore(double key);
    // The bands drawn at each replot; they stay the caller's and must live
    // until replaced.
    void setBands(const std::vector<AlarmBand> &alarm1, const std::vector<AlarmBand> &alarm2);

    // Follow live: the newest point stays at the right edge; zooming keeps it
    // there, dragging leaves it.
    bool followsLive() const { return followLive_; }
    void setFollowLive(bool on);
    // Puts the newest key at the right edge when following.
    void followNewest(double newestKey);
    // Shows keys from..to (seconds since the epoch), with a little room.
    void showRange(double from, double to);

    // The line above the plot (also in a saved image).
    void setTitle(const QString &text);
    QString title() const;

    // Items drawn as alarm bands (for tests and the description).
    int visibleBandRects() const;

Q_SIGNALS:
    // The user dragged the view away from the newest data.
    void followLiveLeft();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void fitValueAxes();
    void layoutBands();
    void layoutBandsOf(const std::vector<AlarmBand> &bands, const QColor &colour, int &used);
    QCPItemRect *bandRect(int index);
    void chooseTimeFormat();

    QCPGraph *pv_ = nullptr;
    QCPGraph *sv_ = nullptr;
    QCPGraph *output_ = nullptr;
    QSharedPointer<QCPAxisTickerDateTime> ticker_;
    QCPTextElement *title_ = nullptr;
    const std::vector<AlarmBand> *alarm1_ = nullptr;
    const std::vector<AlarmBand> *alarm2_ = nullptr;
    // Rectangles are reused from replot to replot: only bands in view get
    // one, and bands closer than a pixel share one.
    std::vector<QCPItemRect *> rects_;
    int rectsInUse_ = 0;
    bool followLive_ = false;
    double newestKey_ = 0;
    bool haveNewest_ = false;
};

} // namespace orbalis
