#pragma once

#include "model/parameter_sink.h"

#include <QGroupBox>
#include <QMap>

class QLabel;
class QLineEdit;

namespace orbalis {

// The main window's hidden frame "Read Only": one label and one locked text
// box per live value, indexed by register address. The live pass writes the
// texts; the recording reads them back. The user never sees the frame.
class LiveValueBoxes : public QGroupBox, public ParameterSink, public ParameterSource {
public:
    explicit LiveValueBoxes(QWidget *parent = nullptr);

    void setText(int address, const QString &text) override;
    void selectItem(int address, int index) override;
    QString text(int address) const override;
    int selectedIndex(int address) const override { return -1; }

    // The 27 addresses that have a box, in address order.
    static const QList<int> &addresses();
    QLabel *Label_Para(int address) const { return labels_.value(address); }
    QLineEdit *Text_Para(int address) const { return boxes_.value(address); }

private:
    QMap<int, QLabel *> labels_;
    QMap<int, QLineEdit *> boxes_;
};

} // namespace orbalis
