#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace orbalis {

// One table of "Orbalis Journal.db" as the module that owns it declares it.
// Every table starts with "id INTEGER PRIMARY KEY" (the order rows were
// written in); the module names the columns after it and the indexes its
// queries need. Tables and indexes are created when missing, so a module
// that comes later adds its table to an existing journal without touching
// the others.
struct JournalTable {
    struct Column {
        QString name;
        QString declaration; // "INTEGER NOT NULL", "TEXT", ...
    };

    QString name;
    std::vector<Column> columns;
    std::vector<QStringList> indexes; // the columns of each index, in order

    QStringList createStatements() const;
    // "INSERT INTO name (columns...) VALUES (?, ...)": one value per column.
    QString insertStatement() const;
    // The columns after id, in order, joined by ", ".
    QString columnList() const;
};

} // namespace orbalis
