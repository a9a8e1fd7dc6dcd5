#pragma once

#include "journal/journal_database.h"
#include "support/core_app.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

namespace orbalis::test {

// A read connection of the test's thread to a journal, closed when it goes.
class JournalReader {
public:
    explicit JournalReader(const QString &path) : name_(QStringLiteral("test-reader-%1").arg(++count()))
    {
        ok_ = openJournalReader(name_, path);
    }
    ~JournalReader() { closeJournalConnection(name_); }
    JournalReader(const JournalReader &) = delete;
    JournalReader &operator=(const JournalReader &) = delete;

    bool ok() const { return ok_; }
    const QString &name() const { return name_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }
    // The first column of the first row of a query; invalid when it fails.
    QVariant scalar(const QString &sql) const
    {
        QSqlQuery q(db());
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

private:
    static int &count()
    {
        static int n = 0;
        return n;
    }
    QString name_;
    bool ok_ = false;
};

} // namespace orbalis::test
