#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class QCheckBox;
class QDateTimeEdit;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orbalis {

// The controls every journal view has after its own lists: "From" and "To"
// with their times, "Search" and "Export CSV...". A search or a time typed
// waits a moment (typing goes on); a box ticked asks at once.
class JournalFilterControls : public QObject {
    Q_OBJECT
public:
    // Adds the controls to `row`; `parent` holds them.
    JournalFilterControls(QHBoxLayout *row, QWidget *parent);

    std::optional<qint64> fromMs() const;
    std::optional<qint64> toMs() const;
    QString searchText() const;
    // A waiting search is taken up now.
    void stopWaiting();

    QCheckBox *fromBox() const { return fromOn_; }
    QCheckBox *toBox() const { return toOn_; }
    QDateTimeEdit *fromEdit() const { return from_; }
    QDateTimeEdit *toEdit() const { return to_; }
    QLineEdit *searchBox() const { return search_; }
    QPushButton *exportButton() const { return export_; }

Q_SIGNALS:
    // The filter the controls choose is to be applied.
    void filterChosen();
    // "Export CSV..." was pressed.
    void exportAsked();

private:
    void addTimeControls(const QString &caption, QCheckBox *&on, QDateTimeEdit *&edit, const QDateTime &at,
                         QHBoxLayout *row, QWidget *parent);

    QCheckBox *fromOn_ = nullptr;
    QCheckBox *toOn_ = nullptr;
    QDateTimeEdit *from_ = nullptr;
    QDateTimeEdit *to_ = nullptr;
    QLineEdit *search_ = nullptr;
    QPushButton *export_ = nullptr;
    QTimer searchLater_;
};

} // namespace orbalis
