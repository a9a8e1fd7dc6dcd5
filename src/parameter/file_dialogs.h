#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace orbalis {

// The open and save dialogs as the parameter window uses them: a title, a
// filter in the "description|pattern" form ("(*.par)|*.par"), the folder it
// opens in (empty: where the dialog last was), the chosen name, and a cancel
// the caller can tell apart (nullopt). No default extension is added: the
// name is used as the user gives it.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> openFileName(const QString &title, const QString &filter,
                                                const QString &folder) = 0;
    // Asks nothing about an existing file; the caller does.
    virtual std::optional<QString> saveFileName(const QString &title, const QString &filter) = 0;
};

// "(*.par)|*.par" as Qt writes filters: "*.par". A pair whose description is
// just its pattern in brackets shows the pattern; others show
// "description (pattern)". Pairs are joined by ";;".
QString qtFileFilter(const QString &filter);

// QFileDialog.
class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget *parent) : parent_(parent) {}
    std::optional<QString> openFileName(const QString &title, const QString &filter, const QString &folder) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override;

private:
    QWidget *parent_;
};

} // namespace orbalis
