#pragma once

#include "parameter_sink.h"
#include "register_map.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace orbalis {

// The texts of the live values last decoded, by register address: what the
// live pass writes and a record line reads back. Starts with the register
// map's initial texts; addresses outside the live values are ignored.
class LiveValueTable : public ParameterSink, public ParameterSource {
public:
    LiveValueTable();

    void setText(int address, const QString &text) override;
    void selectItem(int, int) override {}   // the live values have no choices
    QString text(int address) const override;
    int selectedIndex(int) const override { return -1; }

    // Keeps a live reply, decoded into the texts only when one is next read
    // or written: the texts of most replies are never read.
    void keepReply(const QByteArray &reply, std::int32_t dpCode);

private:
    void decodeKept() const;

    mutable std::array<QString, InputRegisterCount> texts_;
    struct Kept {
        QByteArray reply;
        std::int32_t dpCode = 0;
    };
    mutable std::optional<Kept> kept_;
};

// The 27 live values that have a text of their own, in address order (a
// Time32 shows under its high half): the value columns of a record line.
std::span<const int> liveValueAddresses();

} // namespace orbalis
