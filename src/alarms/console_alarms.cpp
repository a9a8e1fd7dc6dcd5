#include "console_alarms.h"

#include "alarms_window.h"

#include <QToolButton>

namespace orbalis {

ConsoleAlarms::ConsoleAlarms(Console &console, const LineCounters &counters, AlarmPanel &panel, Reporter &reporter,
                             QWidget *windowParent)
    : console_(console),
      reporter_(reporter),
      windowParent_(windowParent),
      core_(console, counters, reporter),
      panel_(console, core_.tracker(), panel, reporter)
{
    core_.tracker().addObserver(&panel_);
}

ConsoleAlarms::~ConsoleAlarms()
{
    delete window_.data();
    core_.tracker().removeObserver(&panel_);
}

QToolButton *ConsoleAlarms::summaryButton(QWidget *parent)
{
    if (summary_)
        return summary_;
    summary_ = new QToolButton(parent);
    summary_->setAutoRaise(true);
    summary_->setAccessibleName(QStringLiteral("Alarm summary"));
    summary_->setToolTip(QStringLiteral("Open the alarms"));
    const auto show = [this](const QString &text) {
        summary_->setText(text);
        summary_->setAccessibleDescription(text);
        summary_->setVisible(!text.isEmpty());
    };
    show(panel_.summary());
    connect(&panel_, &PanelAlarms::summaryChanged, summary_, show);
    connect(summary_, &QToolButton::clicked, this, [this] { showWindow(); });
    return summary_;
}

AlarmsWindow *ConsoleAlarms::window() const
{
    return window_;
}

AlarmsWindow &ConsoleAlarms::showWindow()
{
    if (!window_)
        window_ = new AlarmsWindow(console_, core_.tracker(), panel_, core_.journal(), reporter_, windowParent_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return *window_;
}

} // namespace orbalis
