#include "controller_parameters.h"

#include "parameter_file.h"

#include "base/error.h"
#include "model/display.h"
#include "model/reply_registers.h"

namespace orbalis {

namespace {

// Collects what the read-all pass shows, as texts.
class TextCollector : public ParameterSink {
public:
    explicit TextCollector(QStringList &texts) : texts_(texts) {}
    void setText(int address, const QString &text) override
    {
        if (address >= 0 && address < texts_.size())
            texts_[address] = text.trimmed();
    }
    void selectItem(int address, int index) override
    {
        const RegisterInfo *r = findRegister(address);
        if (!r || !r->enumeration || index < 0 || size_t(index) >= r->enumeration->items.size()
            || address >= texts_.size())
            return;
        const std::string_view item = r->enumeration->items[size_t(index)];
        texts_[address] = QString::fromLatin1(item.data(), qsizetype(item.size())).trimmed();
    }

private:
    QStringList &texts_;
};

} // namespace

ControllerParameters ControllerParameters::fromReply(const QByteArray &reply)
{
    ControllerParameters p;
    // ID, function, byte count, the registers, and the CRC after them.
    const int whole = registerPosition(HoldingRegisterCount, 0) + 2;
    if (reply.size() < whole)
        throw Error(SubscriptOutOfRange,
                    QStringLiteral("a reply of %1 bytes holds fewer than %2 registers")
                        .arg(reply.size())
                        .arg(HoldingRegisterCount));
    for (int a = 0; a < HoldingRegisterCount; ++a) {
        const int hi = registerPosition(a, 0);
        p.registers_[size_t(a)] = std::uint16_t(replyRegister(reply, hi, hi + 1));
    }
    for (int a = 0; a < HoldingRegisterCount; ++a)
        p.texts_ << QString();
    TextCollector collector(p.texts_);
    DisplayTargets targets;
    targets.parameterWindow = &collector;
    Show_All_Parameters(reply, p.dpCode_, targets);
    return p;
}

int ParameterTextsSource::selectedIndex(int address) const
{
    const RegisterInfo *r = findRegister(address);
    if (!r || !r->enumeration)
        return -1;
    return matchingItem(*r->enumeration, texts_.value(address));
}

} // namespace orbalis
