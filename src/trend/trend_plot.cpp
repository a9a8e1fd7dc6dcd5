#include "trend_plot.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace orbalis {

namespace {

const QColor PvColour(220, 0, 0);            // the red of the PV digits
const QColor SvColour(0, 107, 83);           // the teal green of the SV digits
const QColor OutputColour(30, 80, 200);
const QColor Alarm1Colour(255, 160, 0, 70);
const QColor Alarm2Colour(230, 0, 90, 60);
const QString BandLayer = QStringLiteral("bands");

QCPGraph *addLine(QCustomPlot &plot, QCPAxis *valueAxis, const QString &name, const QColor &colour)
{
    QCPGraph *g = plot.addGraph(plot.xAxis, valueAxis);
    g->setName(name);
    g->setPen(QPen(colour, 1));
    g->setSelectable(QCP::stNone);
    return g;
}

// A graph without data whose legend entry shows the colour of a band.
void addBandLegend(QCustomPlot &plot, const QString &name, const QColor &colour)
{
    QCPGraph *g = plot.addGraph(plot.xAxis, plot.yAxis);
    g->setName(name);
    g->setPen(Qt::NoPen);
    QColor opaque = colour;
    opaque.setAlpha(150);
    g->setBrush(opaque);
    g->setSelectable(QCP::stNone);
}

} // namespace

TrendPlot::TrendPlot(QWidget *parent) : QCustomPlot(parent)
{
    setNoAntialiasingOnDrag(true);
    // Bands are many axis-aligned rectangles: antialiasing them costs much and shows nothing.
    setNotAntialiasedElements(QCP::aeItems);
    addLayer(BandLayer, layer(QStringLiteral("grid")), QCustomPlot::limAbove);

    ticker_ = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker_->setDateTimeFormat(QStringLiteral("HH:mm"));
    xAxis->setTicker(ticker_);
    yAxis->setLabel(QStringLiteral("PV, SV"));
    yAxis2->setVisible(true);
    yAxis2->setTickLabels(true);
    yAxis2->setLabel(QStringLiteral("Output %"));
    yAxis2->setRange(-2, 102);

    pv_ = addLine(*this, yAxis, QStringLiteral("PV"), PvColour);
    sv_ = addLine(*this, yAxis, QStringLiteral("SV"), SvColour);
    output_ = addLine(*this, yAxis2, QStringLiteral("Output %"), OutputColour);
    addBandLegend(*this, QStringLiteral("Alarm 1"), Alarm1Colour);
    addBandLegend(*this, QStringLiteral("Alarm 2"), Alarm2Colour);
    legend->setVisible(true);
    legend->setFillOrder(QCPLegend::foColumnsFirst);
    legend->setWrap(5);
    // The legend sits in a row of its own below the plot, never over the lines.
    plotLayout()->addElement(1, 0, legend);
    plotLayout()->setRowStretchFactor(1, 0.001);
    legend->setBorderPen(Qt::NoPen);

    plotLayout()->insertRow(0);
    title_ = new QCPTextElement(this, QString(), QFont(font().family(), font().pointSize(), QFont::Bold));
    plotLayout()->addElement(0, 0, title_);

    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    axisRect()->setRangeZoomAxes(xAxis, nullptr);
    axisRect()->setRangeDragAxes(xAxis, nullptr);

    connect(this, &QCustomPlot::beforeReplot, this, [this] {
        chooseTimeFormat();
        fitValueAxes();
    });
    connect(this, &QCustomPlot::afterLayout, this, [this] { layoutBands(); });

    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    xAxis->setRange(now - DefaultSpanSeconds, now);
}

void TrendPlot::showSeries(const TrendSeries &series, bool inTimeOrder)
{
    pv_->data()->set(series.pv, inTimeOrder);
    sv_->data()->set(series.sv, inTimeOrder);
    output_->data()->set(series.output, inTimeOrder);
    haveNewest_ = !series.pv.isEmpty();
    if (haveNewest_)
        newestKey_ = pv_->data()->constEnd()[-1].key;
}

void TrendPlot::appendSeries(const TrendSeries &series, bool inTimeOrder)
{
    pv_->data()->add(series.pv, inTimeOrder);
    sv_->data()->add(series.sv, inTimeOrder);
    output_->data()->add(series.output, inTimeOrder);
    if (!series.pv.isEmpty()) {
        newestKey_ = haveNewest_ ? std::max(newestKey_, series.pv.last().key) : series.pv.last().key;
        haveNewest_ = true;
    }
}

void TrendPlot::removeBefore(double key)
{
    pv_->data()->removeBefore(key);
    sv_->data()->removeBefore(key);
    output_->data()->removeBefore(key);
}

void TrendPlot::setBands(const std::vector<AlarmBand> &alarm1, const std::vector<AlarmBand> &alarm2)
{
    alarm1_ = &alarm1;
    alarm2_ = &alarm2;
}

void TrendPlot::setFollowLive(bool on)
{
    followLive_ = on;
    if (on && haveNewest_)
        followNewest(newestKey_);
}

void TrendPlot::followNewest(double newestKey)
{
    newestKey_ = newestKey;
    haveNewest_ = true;
    if (!followLive_)
        return;
    const double span = xAxis->range().size() > 0 ? xAxis->range().size() : DefaultSpanSeconds;
    // A sliver of room on the right, so the newest point is not on the frame.
    const double room = span * 0.02;
    xAxis->setRange(newestKey + room - span, newestKey + room);
}

void TrendPlot::showRange(double from, double to)
{
    if (!(to > from))
        to = from + 60;
    const double room = (to - from) * 0.02;
    xAxis->setRange(from - room, to + room);
}

void TrendPlot::wheelEvent(QWheelEvent *event)
{
    QCustomPlot::wheelEvent(event);
    // Zooming while following keeps the newest point at the right edge.
    if (followLive_ && haveNewest_) {
        followNewest(newestKey_);
        replot(rpQueuedReplot);
    }
}

void TrendPlot::mouseMoveEvent(QMouseEvent *event)
{
    const QCPRange before = xAxis->range();
    QCustomPlot::mouseMoveEvent(event);
    if (followLive_ && (event->buttons() & Qt::LeftButton) && xAxis->range() != before) {
        followLive_ = false;
        Q_EMIT followLiveLeft();
    }
}

void TrendPlot::chooseTimeFormat()
{
    const double span = xAxis->range().size();
    const QString format = span <= 1200 ? QStringLiteral("HH:mm:ss")
        : span <= 36 * 3600           ? QStringLiteral("HH:mm")
                                      : QStringLiteral("MM-dd\nHH:mm");
    if (ticker_->dateTimeFormat() != format)
        ticker_->setDateTimeFormat(format);
}

void TrendPlot::fitValueAxes()
{
    bool foundPv = false, foundSv = false;
    const QCPRange keys = xAxis->range();
    QCPRange range = pv_->getValueRange(foundPv, QCP::sdBoth, keys);
    const QCPRange svRange = sv_->getValueRange(foundSv, QCP::sdBoth, keys);
    if (foundSv)
        range = foundPv ? QCPRange(std::min(range.lower, svRange.lower), std::max(range.upper, svRange.upper))
                        : svRange;
    if (!foundPv && !foundSv)
        return;
    // A flat line still gets some height; the lines never touch the frame.
    const double margin = std::max(range.size() * 0.08, std::max(std::abs(range.upper) * 0.01, 0.5));
    yAxis->setRange(range.lower - margin, range.upper + margin);

    bool foundOutput = false;
    const QCPRange out = output_->getValueRange(foundOutput, QCP::sdBoth, keys);
    if (foundOutput)
        yAxis2->setRange(std::min(out.lower, 0.0) - 2, std::max(out.upper, 100.0) + 2);
}

void TrendPlot::layoutBands()
{
    int used = 0;
    if (alarm1_)
        layoutBandsOf(*alarm1_, Alarm1Colour, used);
    if (alarm2_)
        layoutBandsOf(*alarm2_, Alarm2Colour, used);
    for (int i = used; i < rectsInUse_; ++i)
        rects_[std::size_t(i)]->setVisible(false);
    rectsInUse_ = used;
}

void TrendPlot::layoutBandsOf(const std::vector<AlarmBand> &bands, const QColor &colour, int &used)
{
    const QCPRange view = xAxis->range();
    const double pixelKeys = axisRect()->width() > 0 ? view.size() / axisRect()->width() : view.size();
    auto flush = [&](double from, double to) {
        // At least one pixel wide: a lamp lit for one reply still shows.
        if (to - from < pixelKeys)
            to = from + pixelKeys;
        QCPItemRect *r = bandRect(used++);
        r->setBrush(colour);
        r->topLeft->setCoords(from, 0);
        r->bottomRight->setCoords(to, 1);
        r->setVisible(true);
    };
    bool open = false;
    double from = 0, to = 0;
    for (const AlarmBand &b : bands) {
        if (b.to < view.lower || b.from > view.upper)
            continue;
        if (open && b.from - to < pixelKeys) {
            to = std::max(to, b.to);
            continue;
        }
        if (open)
            flush(from, to);
        open = true;
        from = b.from;
        to = b.to;
    }
    if (open)
        flush(from, to);
}

QCPItemRect *TrendPlot::bandRect(int index)
{
    while (int(rects_.size()) <= index) {
        auto *r = new QCPItemRect(this);
        r->setLayer(BandLayer);
        r->setClipToAxisRect(true);
        r->setSelectable(false);
        r->setPen(Qt::NoPen);
        r->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
        r->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
        r->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
        r->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
        rects_.push_back(r);
    }
    return rects_[std::size_t(index)];
}

void TrendPlot::setTitle(const QString &text)
{
    if (title_->text() != text)
        title_->setText(text);
}

QString TrendPlot::title() const
{
    return title_->text();
}

int TrendPlot::visibleBandRects() const
{
    return rectsInUse_;
}

} // namespace orbalis
