#include "parameter_window.h"

#include "compare_window.h"
#include "copy_window.h"
#include "file_dialogs.h"
#include "parameter_controls.h"
#include "parameter_layout.h"

#include "core/parameter_backup.h"
#include "core/parameter_diff.h"
#include "core/parameter_file.h"

#include "base/error.h"
#include "base/error_trap.h"
#include "base/reporter.h"
#include "base/twips.h"
#include "widgets/accessible_names.h"
#include "widgets/status_panel.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace orbalis {

namespace {

const QString ParameterFilter = QStringLiteral("(*.par)|*.par");
constexpr int StatusPanel1Width = 2700;

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}


QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

FM_Parameter::FM_Parameter(Console &console, WriteCycle &writeCycle, Reporter &reporter, QWidget *parent)
    : QWidget(parent, Qt::Window),
      console_(console),
      writeCycle_(writeCycle),
      reporter_(reporter),
      ownDialogs_(std::make_unique<QtFileDialogs>(this)),
      dialogs_(ownDialogs_.get())
{
    setWindowTitle(caption());
    // 新細明體 where it is installed; elsewhere the Traditional Chinese face
    // the set-up installs, whose narrow Latin letters fit the designed boxes
    // as the original face does (a wide substitute would cut the items).
    QFont face(QStringLiteral("新細明體"), 9);
    face.setFamilies(
        {QStringLiteral("新細明體"), QStringLiteral("PMingLiU"), QStringLiteral("Noto Sans CJK TC")});
    setFont(face);
    build();
    setFormHeight(FormHeightIdle);
}

FM_Parameter::~FM_Parameter()
{
    // The write cycle may already be gone: only the console is touched here.
    if (console_.parameterWindow == this)
        console_.parameterWindow = nullptr;
    if (open_)
        console_.line.parametersClosed();
}

void FM_Parameter::setFileDialogs(FileDialogs &dialogs)
{
    dialogs_ = &dialogs;
    if (compare_)
        compare_->setFileDialogs(dialogs);
}

QString FM_Parameter::slotText(int slot, int id)
{
    return QStringLiteral("No.") + QString::number(slot + 1) + QStringLiteral(" Slot ; ID = ")
        + QString::number(id);
}

void FM_Parameter::build()
{
    tabs_ = new QTabWidget(this);
    tabs_->setAccessibleName(QStringLiteral("SSTab2"));
    tabs_->setGeometry(twipsRect(SSTabLeft, SSTabTop, SSTabWidth, SSTabHeight));
    std::array<QWidget *, 6> pages{};
    for (size_t t = 0; t < TabCaptions.size(); ++t) {
        pages[t] = new QWidget(tabs_);
        const QString tabCaption = latin1(TabCaptions[t]);
        tabs_->addTab(pages[t], tabCaption);
        // Screen readers get the caption without its padding blanks.
        tabs_->tabBar()->setAccessibleTabName(int(t), tabCaption.trimmed());
    }
    tabs_->setCurrentIndex(OpeningTab);

    // Built after the tab control, so that the left column lies over it.
    controls_ = new ParameterControls(this, pages);
    controls_->onEnter = [this](int address) { Para_KeyDown(address, Qt::Key_Return); };

    for (size_t i = 0; i < buttons_.size(); ++i) {
        const QString text = latin1(ButtonCaptions[i]);
        auto *button = new QPushButton(text, this);
        button->setAccessibleName(text);
        const QRect r = buttonTwips(int(i));
        button->setGeometry(twipsRect(r.x(), r.y(), r.width(), r.height()));
        connect(button, &QPushButton::clicked, this, [this, i] { Command_None_Click(int(i)); });
        buttons_[i] = button;
    }

    progress_ = new QProgressBar(this);
    progress_->setAccessibleName(QStringLiteral("Progress"));
    progress_->setRange(0, HoldingRegisterCount - 1);
    progress_->setValue(0);
    const QRect p = progressBarTwips();
    progress_->setGeometry(twipsRect(p.x(), p.y(), p.width(), p.height()));

    // Last, so that it covers the progress bar while the window is short.
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    for (size_t k = 0; k < statusPanels_.size(); ++k) {
        auto *label = new StatusPanel(statusBar_);
        nameByRoleAndText(label, QStringLiteral("Status %1").arg(k + 1));
        statusPanels_[k] = label;
    }
    statusPanels_[0]->setFixedWidth(twipsToPixels(StatusPanel1Width));
    // A long result must not widen the window; it shows in full as a tip.
    statusPanels_[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar_->addWidget(statusPanels_[0]);
    statusBar_->addWidget(statusPanels_[1], 1);
}

ParameterSink &FM_Parameter::controls()
{
    return *controls_;
}

ParameterSource &FM_Parameter::source()
{
    return *controls_;
}

void FM_Parameter::setFormHeight(int twips)
{
    formHeight_ = twips;
    setFixedSize(twipsToPixels(ClientWidth), twipsToPixels(twips - NonClientHeight));
    progress_->setVisible(twips == FormHeightWriteAll);
    placeStatusBar();
}

void FM_Parameter::placeStatusBar()
{
    const int h = statusBar_->sizeHint().height();
    statusBar_->setGeometry(0, height() - h, width(), h);
}

void FM_Parameter::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStatusBar();
}

bool FM_Parameter::openForSlot(int slot)
{
    if (open_) {
        if (slot == slot_) {
            console_.line.showParametersOf(slot_);
        } else if (writeCycle_.running()) {
            // The values on show belong to the controller being written.
            console_.line.showParametersOf(slot_);
            reporter_.beep();
            return false;
        } else {
            console_.line.showParametersOf(slot);
            FM_Parameter_Load();
        }
    } else {
        console_.line.showParametersOf(slot);
        show();   // the show event loads the window
    }
    raise();
    activateWindow();
    return true;
}

void FM_Parameter::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The tab control has laid out its pages by now; frames on them are
    // placed relative to the tab control as designed.
    controls_->placeFrames(tabs_->widget(0)->mapTo(tabs_, QPoint(0, 0)));
    // A spontaneous show is the window manager restoring the window.
    if (!event->spontaneous())
        FM_Parameter_Load();
}

void FM_Parameter::FM_Parameter_Load()
{
    open_ = true;
    console_.parameterWindow = this;
    // What was compared or offered for a copy belongs to the controller shown before.
    closeHelpers();

    ErrorTrap trap(reporter_, QStringLiteral("FM_Parameter_Load"));
    trap.step([&] {
        setFormHeight(FormHeightIdle);
        for (QPushButton *b : buttons_)
            b->setEnabled(true);
    });
    trap.step([&] {
        // A fresh window: nothing of another controller stays on show.
        controls_->resetToInitialTexts();
        progress_->setValue(0);
        setText(2, QString());
        tabs_->setCurrentIndex(OpeningTab);
    });
    trap.step([&] {
        slot_ = console_.line.Para_Slot();
        if (!isSlot(slot_))
            throw Error(SubscriptOutOfRange, QStringLiteral("slot %1").arg(slot_));
        setText(1, slotText(slot_, console_.slots.SlotId[size_t(slot_)]));
    });
    trap.step([&] { readAllParameters(); });
}

void FM_Parameter::closeEvent(QCloseEvent *event)
{
    unload();
    event->accept();
}

void FM_Parameter::unload()
{
    if (!open_)
        return;
    open_ = false;
    if (writeCycle_.running())
        writeCycle_.stopAndResumePolling();
    console_.line.parametersClosed();
    slot_ = NoParameterSlot;
    if (console_.parameterWindow == this)
        console_.parameterWindow = nullptr;
    closeHelpers();
}

void FM_Parameter::closeHelpers()
{
    pendingCompare_.reset();
    download_ = Download::None;
    if (compare_)
        compare_->close();
    if (copy_)
        copy_->close();
}

void FM_Parameter::Command_None_Click(int index)
{
    switch (index) {
    case 0: readAllParameters(); break;
    case 1: openFile(); break;
    case 2: saveFile(); break;
    case 3: compareFile(); break;
    case 4: restoreBackup(); break;
    case 5: copyTo(); break;
    default: break;
    }
}

void FM_Parameter::readAllParameters()
{
    // The line belongs to the write until it ends.
    if (writeCycle_.running()) {
        reporter_.beep();
        return;
    }
    if (!console_.line.Timer_Read())
        throw Error(PortNotOpen, QStringLiteral("no polling timer"));
    console_.line.readAllParametersNext();
}

void FM_Parameter::Para_KeyDown(int address, int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (!open_)
        return;
    writeCycle_.startSingleWrite(address);
}

bool FM_Parameter::refuseWhileWriting()
{
    // The line belongs to the write until it ends.
    if (!writeCycle_.running())
        return false;
    reporter_.beep();
    return true;
}

std::optional<QStringList> FM_Parameter::chooseParameterFile(const QString &title, const QString &filter,
                                                             const QString &folder, const QString &consequence)
{
    // A name of no existing file brings the dialog up again; cancel ends quietly.
    QString name;
    do {
        const std::optional<QString> chosen = dialogs_->openFileName(title, filter, folder);
        if (!chosen)
            return std::nullopt;
        name = *chosen;
        parFileName_ = name;
    } while (!QFileInfo::exists(name));
    try {
        // The whole file is checked before anything else happens.
        return parseParameterFile(readParameterFile(name));
    } catch (...) {
        refuseFile(title == QLatin1String("Open") ? QStringLiteral("Open File") : title, name,
                   currentExceptionAsError(), consequence);
        return std::nullopt;
    }
}

void FM_Parameter::openFile()
{
    if (refuseWhileWriting())
        return;
    const std::optional<QStringList> texts = chooseParameterFile(
        QStringLiteral("Open"), ParameterFilter, QString(),
        QStringLiteral("The file was not loaded: the window is unchanged and nothing was written."));
    if (!texts)
        return;
    controls_->loadTexts(*texts);

    DownloadPlan plan;
    plan.origin = WriteOrigin::File;
    plan.texts = *texts;
    plan.writes = DownloadPlan::Writes::All;
    plan.targets = {{slot_, console_.slots.SlotId[size_t(slot_)]}};
    lockForDownload(true, true);
    download_ = Download::File;
    if (!writeCycle_.startDownload(std::move(plan), *this)) {
        download_ = Download::None;
        lockForDownload(false, false);
    }
}

void FM_Parameter::lockForDownload(bool locked, bool showProgress)
{
    setFormHeight(locked && showProgress ? FormHeightWriteAll : FormHeightIdle);
    for (QPushButton *b : buttons_)
        b->setEnabled(!locked);
}

void FM_Parameter::compareFile()
{
    if (refuseWhileWriting())
        return;
    const std::optional<QStringList> texts =
        chooseParameterFile(QStringLiteral("Compare File"), ParameterFilter, QString(),
                            QStringLiteral("Nothing was compared."));
    if (texts)
        compareWith(parFileName_, *texts, WriteOrigin::File);
}

void FM_Parameter::restoreBackup()
{
    if (refuseWhileWriting())
        return;
    const int id = console_.slots.SlotId[size_t(slot_)];
    const QString folder = backupFolder(console_.programDir);
    bool any = false;
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        any = any || isBackupOf(name, id);
    if (!any) {
        reporter_.beep();
        reporter_.warn(QStringLiteral("Restore Backup"),
                       QStringLiteral("No backup of controller %1 in %2 yet.\nA backup is taken before every download "
                                      "(\"Open File\", \"Write differences\", \"Copy to...\").")
                           .arg(id)
                           .arg(folder));
        return;
    }
    const std::optional<QStringList> texts =
        chooseParameterFile(QStringLiteral("Restore Backup"),
                            QStringLiteral("Backups of controller %1|%2").arg(id).arg(backupNamePattern(id)), folder,
                            QStringLiteral("Nothing was compared."));
    if (texts)
        compareWith(parFileName_, *texts, WriteOrigin::Restore);
}

void FM_Parameter::compareWith(const QString &path, const QStringList &texts, WriteOrigin origin)
{
    pendingCompare_ = PendingCompare{path, texts, origin};
    lockForDownload(true, false);
    if (!writeCycle_.startCompareRead(*this)) {
        pendingCompare_.reset();
        lockForDownload(false, false);
    }
}

void FM_Parameter::compareRead(const std::optional<ControllerParameters> &controller, const QString &failure)
{
    lockForDownload(false, false);
    if (!pendingCompare_)
        return;
    const PendingCompare pending = *pendingCompare_;
    pendingCompare_.reset();
    if (!controller) {
        reporter_.beep();
        reporter_.warn(QStringLiteral("Compare"),
                       QStringLiteral("Controller %1 could not be read (%2): nothing was compared.")
                           .arg(console_.slots.SlotId[size_t(slot_)])
                           .arg(failure));
        return;
    }
    if (!compare_) {
        compare_ = new FM_Compare(reporter_, *dialogs_, this);
        compare_->onWriteDifferences = [this] { writeDifferences(); };
    }
    compare_->showComparison(Comparison::of(slot_, console_.slots.SlotId[size_t(slot_)], pending.path,
                                            pending.origin, console_.clock->now(), *controller, pending.texts));
}

void FM_Parameter::writeDifferences()
{
    const Comparison &c = compare_->comparison();
    // The compare belongs to the controller it read; the window may have
    // moved on to another since.
    if (!open_ || c.slot != slot_ || c.controllerId != console_.slots.SlotId[size_t(slot_)]) {
        reporter_.beep();
        compare_->showResult(QStringLiteral("The parameter window shows another controller now: compare again."));
        return;
    }
    if (refuseWhileWriting())
        return;
    DownloadPlan plan;
    plan.origin = c.origin;
    plan.texts = c.wanted;
    plan.writes = DownloadPlan::Writes::Listed;
    plan.listed = addressesToWrite(c.differences);
    plan.targets = {{c.slot, std::uint8_t(c.controllerId)}};
    lockForDownload(true, true);
    compare_->setWriting(true);
    compare_->showResult(QStringLiteral("Writing..."));
    download_ = Download::Differences;
    if (!writeCycle_.startDownload(std::move(plan), *this)) {
        download_ = Download::None;
        lockForDownload(false, false);
        compare_->setWriting(false);
        compare_->showResult(QString());
    }
}

void FM_Parameter::copyTo()
{
    if (refuseWhileWriting())
        return;
    if (!copy_) {
        copy_ = new FM_CopyTo(console_, this);
        copy_->onCopy = [this](const std::vector<DownloadTarget> &targets) { startCopy(targets); };
    }
    copy_->load(slot_);
    copy_->show();
    copy_->raise();
    copy_->activateWindow();
}

void FM_Parameter::startCopy(const std::vector<DownloadTarget> &targets)
{
    if (writeCycle_.running()) {
        reporter_.beep();
        copy_->setStatusText(QStringLiteral("A write is running: copy again when it has ended."));
        return;
    }
    if (targets.empty()) {
        copy_->setStatusText(QStringLiteral("Tick the controllers to copy to."));
        return;
    }
    // Only what a parameter file could hold is copied: a box holding no
    // number would be written as 0.
    const QStringList texts = controls_->parameterTexts();
    try {
        for (int a = 0; a < HoldingRegisterCount; ++a)
            checkParameterText(a, texts[a]);
    } catch (...) {
        const Error e = currentExceptionAsError();
        reporter_.beep();
        reporter_.warn(QStringLiteral("Copy to"), capitalised(e.detail()) + QStringLiteral(".\nNothing was copied."));
        return;
    }
    DownloadPlan plan;
    plan.origin = WriteOrigin::Copy;
    plan.texts = texts;
    plan.writes = DownloadPlan::Writes::Differences;
    plan.targets = targets;
    lockForDownload(true, true);
    copy_->setCopying(true);
    copy_->setStatusText(QStringLiteral("Copying..."));
    download_ = Download::Copy;
    if (!writeCycle_.startDownload(std::move(plan), *this)) {
        download_ = Download::None;
        lockForDownload(false, false);
        copy_->setCopying(false);
        copy_->setStatusText(QString());
    }
}

void FM_Parameter::saveFile()
{
    const std::optional<QString> chosen = dialogs_->saveFileName(QStringLiteral("Save As"), ParameterFilter);
    if (!chosen)
        return;
    const QString name = *chosen;
    parFileName_ = name;
    if (QFileInfo::exists(name)
        && !reporter_.askYesNo(QStringLiteral("Warning!"), name + QStringLiteral(" Exit ,Over Write ?")))
        return;
    try {
        // Every text is checked before a byte is written.
        writeParameterFile(name, buildParameterFile(controls_->parameterTexts()));
    } catch (...) {
        refuseFile(QStringLiteral("Save File"), name, currentExceptionAsError(),
                   QFileInfo::exists(name) ? QStringLiteral("Nothing was saved: the file is as it was.")
                                           : QStringLiteral("Nothing was saved."));
    }
}

void FM_Parameter::refuseFile(const QString &title, const QString &path, const Error &e,
                              const QString &consequence)
{
    const QString cause = e.detail().isEmpty() ? errorDescription(e.number()) : capitalised(e.detail());
    reporter_.beep();
    reporter_.warn(title, QStringLiteral("%1\n%2.\n%3").arg(path, cause, consequence));
}

QString FM_Parameter::text(int panel) const
{
    if (panel < 1 || panel > 2)
        return {};
    return statusPanels_[size_t(panel - 1)]->text();
}

void FM_Parameter::setText(int panel, const QString &text)
{
    if (panel < 1 || panel > 2)
        return;
    statusPanels_[size_t(panel - 1)]->setPanelText(text);
}

void FM_Parameter::setProgress(int value)
{
    progress_->setValue(value);
}

void FM_Parameter::controllerDone(const DownloadResult &result)
{
    if (download_ == Download::Copy && copy_)
        copy_->controllerDone(result);
    if (download_ == Download::Differences && compare_)
        compare_->showResult(downloadSummaryText(result));
}

void FM_Parameter::downloadEnded(bool completed)
{
    lockForDownload(false, false);
    if (download_ == Download::Copy && copy_) {
        copy_->setCopying(false);
        copy_->setStatusText(completed ? QStringLiteral("Copy done.") : QStringLiteral("The copy was stopped."));
    }
    if (download_ == Download::Differences && compare_)
        compare_->setWriting(false);
    download_ = Download::None;
}

} // namespace orbalis
