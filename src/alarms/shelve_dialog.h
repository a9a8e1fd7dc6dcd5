#pragma once

#include <QDialog>
#include <chrono>

class QLineEdit;
class QSpinBox;

namespace orbalis {

// "Shelve": for how long (15 minutes unless changed, 8 hours at most) and an
// optional comment.
class ShelveDialog : public QDialog {
    Q_OBJECT
public:
    // `alarms` names what is shelved, shown above the choices.
    ShelveDialog(const QString &alarms, QWidget *parent = nullptr);

    std::chrono::minutes duration() const;
    QString comment() const;
    QSpinBox *minutesBox() const { return minutes_; }
    QLineEdit *commentBox() const { return comment_; }

private:
    QSpinBox *minutes_;
    QLineEdit *comment_;
};

} // namespace orbalis
