#include "parameter_controls.h"

#include "core/parameter_file.h"
#include "parameter_layout.h"

#include "base/twips.h"
#include "widgets/accessible_names.h"

#include <QComboBox>
#include <algorithm>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace orbalis {

namespace {

const char *const AddressProperty = "registerAddress";
// Pixels between a label's text and its value control.
constexpr int LabelPadding = 4;

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void showInitialText(const RegisterInfo &r, QLineEdit *text, QComboBox *combo)
{
    if (text) {
        text->setText(latin1(r.initialText));
        return;
    }
    if (r.noInitialText) {
        combo->setCurrentIndex(-1);
        return;
    }
    const int item = combo->findText(latin1(r.initialText));
    if (item >= 0)
        combo->setCurrentIndex(item);
    else
        combo->setEditText(latin1(r.initialText));
}

} // namespace

ParameterControls::ParameterControls(QWidget *window, const std::array<QWidget *, 6> &pages)
    : QObject(window)
{
    build(window, pages);
}

void ParameterControls::build(QWidget *window, const std::array<QWidget *, 6> &pages)
{
    const QFontMetrics metrics(window->font());
    for (const FrameLayout &f : parameterFrames()) {
        const bool onPage = f.page != Page::LeftColumn;
        QWidget *parent = onPage ? pages[size_t(tabOfPage(f.page))] : window;
        auto *box = new QGroupBox(latin1(f.caption), parent);
        frames_.push_back({box, onPage, f.rect});

        // Labels as wide as the frame's widest mnemonic; the value controls take the rest.
        int labelWidth = 0;
        for (const RowLayout &row : f.rows)
            labelWidth = std::max(labelWidth,
                                  metrics.horizontalAdvance(latin1(findRegister(row.address)->mnemonic)));
        labelWidth += LabelPadding;
        const int inset = twipsToPixels(FrameInset);
        const int controlLeft = inset + labelWidth;
        const int controlWidth = twipsToPixels(f.rect.width()) - inset / 2 - controlLeft;

        for (const RowLayout &row : f.rows) {
            const RegisterInfo &r = *findRegister(row.address);
            const QString mnemonic = latin1(r.mnemonic);
            Entry &e = *entryOf(row.address);
            const int top = twipsToPixels(row.top);
            const int height = twipsToPixels(RowHeight);

            e.label = new QLabel(mnemonic, box);
            e.label->setGeometry(inset, top, labelWidth, height);

            QWidget *control = nullptr;
            if (r.control == ControlKind::TextBox) {
                e.text = new QLineEdit(box);
                e.text->setReadOnly(row.address >= InputRegisterBase);
                e.text->setAccessibleName(mnemonic);
                control = e.text;
            } else {
                e.combo = new QComboBox(box);
                if (!r.listOnly) {
                    e.combo->setEditable(true);
                    // What is typed stays as typed until Enter sends it.
                    e.combo->setCompleter(nullptr);
                    e.combo->setInsertPolicy(QComboBox::NoInsert);
                    e.combo->lineEdit()->setProperty(AddressProperty, row.address);
                    e.combo->lineEdit()->installEventFilter(this);
                }
                for (std::string_view item : r.enumeration->items)
                    e.combo->addItem(latin1(item));
                nameComboBox(e.combo, mnemonic);
                control = e.combo;
            }
            control->setProperty(AddressProperty, row.address);
            control->installEventFilter(this);
            control->setGeometry(controlLeft, top, controlWidth, height);
            e.label->setBuddy(control);
            showInitialText(r, e.text, e.combo);
        }
    }
    placeFrames(QPoint(0, 0));
}

void ParameterControls::placeFrames(QPoint pageOrigin)
{
    for (const PlacedFrame &f : frames_) {
        QRect pixels = twipsRect(f.twips.x(), f.twips.y(), f.twips.width(), f.twips.height());
        if (f.onPage)
            pixels.translate(-pageOrigin);
        else
            pixels.translate(twipsToPixels(SSTabLeft), twipsToPixels(SSTabTop));
        f.box->setGeometry(pixels);
    }
}

ParameterControls::Entry *ParameterControls::entryOf(int address)
{
    return const_cast<Entry *>(std::as_const(*this).entryOf(address));
}

const ParameterControls::Entry *ParameterControls::entryOf(int address) const
{
    if (address >= 0 && address < HoldingRegisterCount)
        return &holding_[size_t(address)];
    if (address >= InputRegisterBase && address < InputRegisterBase + InputRegisterCount)
        return &live_[size_t(address - InputRegisterBase)];
    return nullptr;
}

QLabel *ParameterControls::Label_Para(int address) const
{
    const Entry *e = entryOf(address);
    return e ? e->label : nullptr;
}

QLineEdit *ParameterControls::Text_Para(int address) const
{
    const Entry *e = entryOf(address);
    return e ? e->text : nullptr;
}

QComboBox *ParameterControls::Combo_Para(int address) const
{
    const Entry *e = entryOf(address);
    return e ? e->combo : nullptr;
}

QWidget *ParameterControls::valueControl(int address) const
{
    const Entry *e = entryOf(address);
    if (!e)
        return nullptr;
    return e->text ? static_cast<QWidget *>(e->text) : static_cast<QWidget *>(e->combo);
}

QGroupBox *ParameterControls::frame(const QString &caption) const
{
    for (const PlacedFrame &f : frames_)
        if (f.box->title() == caption)
            return f.box;
    return nullptr;
}

void ParameterControls::resetToInitialTexts()
{
    for (int address : addressesWithControls()) {
        const Entry &e = *entryOf(address);
        showInitialText(*findRegister(address), e.text, e.combo);
    }
}

QStringList ParameterControls::parameterTexts() const
{
    QStringList texts;
    for (int a = 0; a < HoldingRegisterCount; ++a)
        texts << text(a).trimmed();
    return texts;
}

void ParameterControls::loadTexts(const QStringList &texts)
{
    for (int a = 0; a < HoldingRegisterCount && a < texts.size(); ++a) {
        const Entry &e = holding_[size_t(a)];
        const RegisterInfo &r = *findRegister(a);
        if (e.text) {
            e.text->setText(texts[a]);
        } else if (r.listOnly) {
            e.combo->setCurrentIndex(matchingItem(*r.enumeration, texts[a]));
        } else {
            const int item = e.combo->findText(texts[a]);
            if (item >= 0)
                e.combo->setCurrentIndex(item);
            else
                e.combo->setEditText(texts[a]);
        }
    }
}

void ParameterControls::setText(int address, const QString &text)
{
    const Entry *e = entryOf(address);
    if (!e)
        return;
    if (e->text) {
        e->text->setText(text);
    } else if (e->combo) {
        const int item = e->combo->findText(text);
        if (item >= 0 || !e->combo->isEditable())
            e->combo->setCurrentIndex(item);
        else
            e->combo->setEditText(text);
    }
}

void ParameterControls::selectItem(int address, int index)
{
    const Entry *e = entryOf(address);
    if (e && e->combo)
        e->combo->setCurrentIndex(index);
}

QString ParameterControls::text(int address) const
{
    const Entry *e = entryOf(address);
    if (!e)
        return {};
    if (e->text)
        return e->text->text();
    return e->combo ? e->combo->currentText() : QString();
}

int ParameterControls::selectedIndex(int address) const
{
    const Entry *e = entryOf(address);
    if (!e || !e->combo)
        return -1;
    if (!e->combo->isEditable())
        return e->combo->currentIndex();
    return e->combo->findText(e->combo->currentText());
}

bool ParameterControls::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const QVariant address = watched->property(AddressProperty);
            if (address.isValid() && onEnter) {
                onEnter(address.toInt());
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orbalis
