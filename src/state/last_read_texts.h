#pragma once

#include <QString>
#include <QStringList>
#include <map>

namespace orbalis {

// The texts of each controller's parameters as the console last read them,
// by controller ID: what a write replaces, for the audit trail. Every read of
// all parameters (the window's, a backup's, a verify's, a compare's) sets
// them all; a read of one parameter sets that one. A write does not: until
// it is read back, "before" stays what the controller was seen to hold.
class LastReadTexts {
public:
    // `texts` in address order, 109 of them.
    void readAll(int controllerId, const QStringList &texts);
    void readOne(int controllerId, int address, const QString &text);
    // Empty when that parameter of that controller was never read.
    QString text(int controllerId, int address) const;

private:
    std::map<int, QStringList> texts_;
};

} // namespace orbalis
