#pragma once

#include "error.h"
#include "reporter.h"

#include <QString>
#include <exception>
#include <utility>

namespace orbalis {

// The common error trap. A procedure runs its statements as steps; a step that
// fails is reported (beep and the "Attention! Wrong" box naming the procedure)
// and the next step runs, so no error ever leaves an event handler.
class ErrorTrap {
public:
    ErrorTrap(Reporter &reporter, QString procedure)
        : reporter_(reporter), procedure_(std::move(procedure)) {}

    template <class Step>
    bool step(Step &&s)
    {
        try {
            std::forward<Step>(s)();
            return true;
        } catch (...) {
            report(currentExceptionAsError());
        }
        return false;
    }

    void report(const Error &e);
    int failures() const { return failures_; }

    // The text of the box: three lines joined by CR LF.
    static QString messageText(const QString &procedure, const Error &e);
    static QString title() { return QStringLiteral("Attention! Wrong"); }

private:
    Reporter &reporter_;
    QString procedure_;
    int failures_ = 0;
};

} // namespace orbalis
