#include "atspi_tree.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

#include <algorithm>

namespace orbalis::test {

namespace {

// The reader waits this long for the window to show on the bus, and is given
// this long in all before it is stopped.
constexpr int WindowWaitSeconds = 20;
constexpr int ReaderSeconds = 60;

const QStringList ListRoles{"list", "list box", "table", "tree", "tree table"};

QStringList strings(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &s : v.toArray())
        out << s.toString();
    return out;
}

AtspiNode fromJson(const QJsonObject &o)
{
    AtspiNode n;
    n.role = o["role"].toString();
    n.name = o["name"].toString();
    n.description = o["description"].toString();
    if (o.contains("text"))
        n.text = o["text"].toString();
    n.states = strings(o["states"]);
    n.labelledBy = strings(o["labelledBy"]);
    n.selected = strings(o["selected"]);
    for (const QJsonValue &c : o["children"].toArray())
        n.children.push_back(fromJson(c.toObject()));
    return n;
}

QString quoted(const std::optional<QString> &s)
{
    return s ? u'"' + *s + u'"' : QStringLiteral("no text");
}

} // namespace

std::vector<const AtspiNode *> AtspiNode::all() const
{
    std::vector<const AtspiNode *> out{this};
    for (const AtspiNode &c : children) {
        const auto below = c.all();
        out.insert(out.end(), below.begin(), below.end());
    }
    return out;
}

std::vector<const AtspiNode *> AtspiNode::find(const QString &role, const QString &name) const
{
    std::vector<const AtspiNode *> out;
    for (const AtspiNode *n : all())
        if (n->role == role && n->name == name)
            out.push_back(n);
    return out;
}

QStringList AtspiNode::selectedItem() const
{
    for (const AtspiNode &c : children)
        if (ListRoles.contains(c.role))
            return c.selected;
    return {};
}

std::optional<AtspiNode> readOverAtspi(const QString &title, QString &error)
{
    // Qt joins the bus from its event loop.
    const QDeadlineTimer joinBy(10000);
    while (!QAccessible::isActive() && !joinBy.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    if (!QAccessible::isActive()) {
        error = QStringLiteral("accessibility is not active: run the test under tests/support/atspi_session");
        return std::nullopt;
    }

    // The reader's questions are answered by this event loop while it runs.
    QProcess reader;
    QEventLoop loop;
    QObject::connect(&reader, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&reader, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(ReaderSeconds * 1000, &loop, &QEventLoop::quit);
    reader.start(QStringLiteral(ORBALIS_ATSPI_READER),
                 {QString::number(QCoreApplication::applicationPid()), title, QString::number(WindowWaitSeconds)});
    loop.exec();
    if (reader.state() != QProcess::NotRunning) {
        reader.kill();
        reader.waitForFinished();
        error = QStringLiteral("the AT-SPI reader took more than %1 s").arg(ReaderSeconds);
        return std::nullopt;
    }
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        error = QStringLiteral("the AT-SPI reader failed: ") + reader.errorString() + u'\n'
                + QString::fromUtf8(reader.readAllStandardError());
        return std::nullopt;
    }
    const QByteArray json = reader.readAllStandardOutput();
    // ORBALIS_ATSPI_TREES names a folder to keep what was read, one file per window.
    if (const QString keep = qEnvironmentVariable("ORBALIS_ATSPI_TREES"); !keep.isEmpty()) {
        QFile file(QDir(keep).filePath(title + QStringLiteral(".json")));
        if (file.open(QIODevice::WriteOnly))
            file.write(json);
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (!doc.isObject()) {
        error = QStringLiteral("the AT-SPI reader wrote no tree: ") + parse.errorString();
        return std::nullopt;
    }
    return fromJson(doc.object());
}

QStringList heardOtherwiseThanShown(QWidget *window, const AtspiNode &tree)
{
    QStringList out;
    const auto nodes = tree.all();

    for (const QLabel *label : window->findChildren<QLabel *>()) {
        const QString shown = label->text();
        if (shown.isEmpty())
            continue;
        const bool heard = std::any_of(nodes.begin(), nodes.end(), [&](const AtspiNode *n) {
            return n->role == "label" && (n->name == shown || n->name.endsWith(QStringLiteral(": ") + shown));
        });
        if (!heard)
            out << QStringLiteral("label \"%1\" (named \"%2\") is not heard with its text")
                       .arg(shown, QAccessible::queryAccessibleInterface(const_cast<QLabel *>(label))
                                       ->text(QAccessible::Name));
    }

    for (const QComboBox *combo : window->findChildren<QComboBox *>()) {
        const QString name = combo->accessibleName();
        // The item of the shown text: an editable box may show a text that is no item.
        const int row = combo->isEditable()
            ? combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive)
            : combo->currentIndex();
        const QStringList item = row >= 0 ? QStringList{combo->itemText(row)} : QStringList{};
        const auto found = tree.find(QStringLiteral("combo box"), name);
        const bool tells = std::any_of(found.begin(), found.end(), [&](const AtspiNode *n) {
            return n->text == combo->currentText() && n->selectedItem() == item;
        });
        if (name.isEmpty() || !tells) {
            QString heard;
            for (const AtspiNode *n : found)
                heard += QStringLiteral(" text %1, selected [%2];").arg(quoted(n->text), n->selectedItem().join(", "));
            out << QStringLiteral("combo box \"%1\" showing \"%2\" is heard as:%3")
                       .arg(name, combo->currentText(), found.empty() ? QStringLiteral(" nothing") : heard);
        }
    }

    for (const QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        if (qobject_cast<QComboBox *>(edit->parent()) || qobject_cast<QAbstractSpinBox *>(edit->parent()))
            continue;   // heard as part of their box
        const QString name = edit->accessibleName();
        const auto found = tree.find(QStringLiteral("text"), name);
        const bool tells = std::any_of(found.begin(), found.end(),
                                       [&](const AtspiNode *n) { return n->text == edit->text(); });
        if (name.isEmpty() || !tells)
            out << QStringLiteral("text box \"%1\" showing \"%2\" is heard with %3")
                       .arg(name, edit->text(), found.empty() ? QStringLiteral("nothing")
                                                              : quoted(found.front()->text));
    }
    return out;
}

} // namespace orbalis::test
