#pragma once

#include <QDialog>

namespace orbalis {

// "About Orbalis": the version and the program folder in use, so a user of
// an installed console knows where its settings and records are.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const QString &programDir, QWidget *parent = nullptr);
};

} // namespace orbalis
