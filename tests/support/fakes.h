#pragma once

#include "base/clock.h"
#include "base/cycle_timer.h"
#include "base/reporter.h"
#include "base/status_panels.h"
#include "model/parameter_sink.h"

#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

namespace orbalis::test {

// Captures beeps and message boxes instead of showing them.
class FakeReporter : public Reporter {
public:
    void beep() override { ++beeps; }
    void warn(const QString &title, const QString &text) override
    {
        titles.append(title);
        messages.append(text);
    }
    bool askYesNo(const QString &title, const QString &text) override
    {
        titles.append(title);
        messages.append(text);
        return answerYes;
    }
    int beeps = 0;
    QStringList titles;
    QStringList messages;
    bool answerYes = true;
};

class FakeTimer : public CycleTimer {
public:
    explicit FakeTimer(int ms = 100) : interval_(ms) {}
    bool isEnabled() const override { return enabled_; }
    void setEnabled(bool e) override { enabled_ = e; }
    int interval() const override { return interval_; }
    void setInterval(int ms) override { interval_ = ms; }

private:
    bool enabled_ = false;
    int interval_;
};

class FakeStatus : public StatusPanels {
public:
    QString text(int panel) const override { return panels.value(panel); }
    void setText(int panel, const QString &t) override { panels[panel] = t; }
    QMap<int, QString> panels;
};

// Records texts and selections by address, and serves them back as a source.
class RecordingSink : public ParameterSink, public ParameterSource {
public:
    void setText(int address, const QString &t) override { texts[address] = t; ++writes; }
    void selectItem(int address, int index) override { selections[address] = index; ++writes; }
    QString text(int address) const override { return texts.value(address); }
    int selectedIndex(int address) const override { return selections.value(address, -1); }
    QMap<int, QString> texts;
    QMap<int, int> selections;
    int writes = 0;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime t) : t_(std::move(t)) {}
    QDateTime now() const override { return t_; }
    QDateTime nowUtc() const override { return t_.toUTC(); }
    void set(QDateTime t) { t_ = std::move(t); }

private:
    QDateTime t_;
};

} // namespace orbalis::test
