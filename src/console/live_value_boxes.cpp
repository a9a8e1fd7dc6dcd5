#include "live_value_boxes.h"

#include "model/register_map.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace orbalis {

namespace {

// Captions of the hidden boxes; the A/D pair is labelled shorter here than in
// the parameter window.
QString captionFor(int address)
{
    if (address == 4124)
        return QStringLiteral("A0");
    if (address == 4125)
        return QStringLiteral("A1");
    const RegisterInfo *info = findRegister(address);
    return info ? QString::fromLatin1(info->mnemonic.data(), qsizetype(info->mnemonic.size()))
                : QString::number(address);
}

} // namespace

const QList<int> &LiveValueBoxes::addresses()
{
    static const QList<int> list = [] {
        QList<int> a{4096, 4097, 4098, 4099, 4101, 4103, 4105};
        for (int i = 4106; i <= 4125; ++i)
            a.append(i);
        return a;
    }();
    return list;
}

LiveValueBoxes::LiveValueBoxes(QWidget *parent) : QGroupBox(QStringLiteral("Read Only"), parent)
{
    auto *grid = new QGridLayout(this);
    int i = 0;
    for (int address : addresses()) {
        auto *label = new QLabel(captionFor(address), this);
        auto *box = new QLineEdit(this);
        box->setReadOnly(true);
        const RegisterInfo *info = findRegister(address);
        if (info)
            box->setText(QString::fromLatin1(info->initialText.data(),
                                             qsizetype(info->initialText.size())));
        grid->addWidget(label, i % 9, (i / 9) * 2);
        grid->addWidget(box, i % 9, (i / 9) * 2 + 1);
        labels_.insert(address, label);
        boxes_.insert(address, box);
        ++i;
    }
    setVisible(false);
}

void LiveValueBoxes::setText(int address, const QString &text)
{
    if (QLineEdit *box = boxes_.value(address))
        box->setText(text);
}

void LiveValueBoxes::selectItem(int, int)
{
    // The live values have no combo boxes.
}

QString LiveValueBoxes::text(int address) const
{
    const QLineEdit *box = boxes_.value(address);
    return box ? box->text() : QString();
}

} // namespace orbalis
