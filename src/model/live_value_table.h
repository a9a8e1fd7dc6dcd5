#pragma once

#include "parameter_sink.h"
#include "register_map.h"

#include <QString>
#include <array>
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

private:
    std::array<QString, InputRegisterCount> texts_;
};

// The 27 live values that have a text of their own, in address order (a
// Time32 shows under its high half): the value columns of a record line.
std::span<const int> liveValueAddresses();

} // namespace orbalis
