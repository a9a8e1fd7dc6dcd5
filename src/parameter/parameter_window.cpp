#include "parameter_window.h"

#include "file_dialogs.h"
#include "parameter_controls.h"
#include "parameter_file.h"
#include "parameter_layout.h"

#include "base/error.h"
#include "base/error_trap.h"
#include "base/reporter.h"
#include "base/twips.h"
#include "widgets/accessible_names.h"
#include "widgets/status_panel.h"

#include <QCloseEvent>
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
    console_.lineObservers.remove(this);
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
    console_.lineObservers.remove(this);
    console_.lineObservers.add(this);

    ErrorTrap trap(reporter_, QStringLiteral("FM_Parameter_Load"));
    trap.step([&] {
        setFormHeight(FormHeightIdle);
        for (QPushButton *b : buttons_)
            b->setEnabled(true);
    });
    trap.step([&] {
        // A fresh window: nothing of another controller stays on show.
        pendingSummary_.clear();
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
    console_.lineObservers.remove(this);
    pendingSummary_.clear();
}

void FM_Parameter::Command_None_Click(int index)
{
    switch (index) {
    case 0: readAllParameters(); break;
    case 1: openFile(); break;
    case 2: saveFile(); break;
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

void FM_Parameter::openFile()
{
    if (writeCycle_.running()) {
        reporter_.beep();
        return;
    }
    // A name of no existing file brings the dialog up again; cancel ends quietly.
    QString name;
    do {
        const std::optional<QString> chosen = dialogs_->openFileName(QStringLiteral("Open"), ParameterFilter);
        if (!chosen)
            return;
        name = *chosen;
        parFileName_ = name;
    } while (!QFileInfo::exists(name));

    QStringList texts;
    try {
        // The whole file is checked before any control changes.
        texts = parseParameterFile(readParameterFile(name));
    } catch (...) {
        refuseFile(QStringLiteral("Open File"), name, currentExceptionAsError(),
                   QStringLiteral("The file was not loaded: the window is unchanged and nothing was written."));
        return;
    }
    controls_->loadTexts(texts);

    setFormHeight(FormHeightWriteAll);
    for (QPushButton *b : buttons_)
        b->setEnabled(false);
    writeCycle_.startWriteAll(*this);
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

void FM_Parameter::writeAllEnded(const QString &summary)
{
    setFormHeight(FormHeightIdle);
    for (QPushButton *b : buttons_)
        b->setEnabled(true);
    pendingSummary_ = summary;
}

void FM_Parameter::replyJudged(Exchange exchange, int slot, std::uint8_t, const QByteArray &, LineOutcome)
{
    if (exchange != Exchange::ReadAll || slot != slot_ || pendingSummary_.isEmpty())
        return;
    // The polling cycle reports the judgement before it writes the outcome
    // into panel 2; the summary follows once the tick is over.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (pendingSummary_.isEmpty())
                return;
            append(2, QStringLiteral(" ") + pendingSummary_);
            pendingSummary_.clear();
        },
        Qt::QueuedConnection);
}

} // namespace orbalis
