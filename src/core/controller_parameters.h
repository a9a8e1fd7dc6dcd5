#pragma once

#include "model/parameter_sink.h"
#include "model/register_map.h"

#include <QByteArray>
#include <QStringList>
#include <array>
#include <cstdint>

namespace orbalis {

// The 109 parameters of one controller as a read of all parameters found
// them: the register values, the decimal-point code of register 45, and the
// texts the parameter window shows for them after that read, trimmed as a
// parameter file stores them (a backup is these texts).
class ControllerParameters {
public:
    ControllerParameters() = default;
    // From the controller's answer to the read of all parameters, judged
    // good by the reply judge. Throws Error 9 when it holds fewer than 109
    // registers.
    static ControllerParameters fromReply(const QByteArray &reply);

    std::uint16_t value(int address) const { return registers_.at(size_t(address)); }
    // Register 45, taken as 47 outside 47..50, as the read-all pass takes it.
    std::int32_t dpCode() const { return dpCode_; }
    const QStringList &texts() const { return texts_; }
    QString text(int address) const { return texts_.value(address); }

private:
    std::array<std::uint16_t, HoldingRegisterCount> registers_{};
    std::int32_t dpCode_ = 47;
    QStringList texts_;
};

// The 109 texts of a parameter file (or of the window) as the encoder reads
// them: a text box's text, and for a combo box the item whose trimmed text
// equals the text, as the window selects it when it loads the file.
class ParameterTextsSource : public ParameterSource {
public:
    explicit ParameterTextsSource(const QStringList &texts) : texts_(texts) {}
    QString text(int address) const override { return texts_.value(address); }
    int selectedIndex(int address) const override;

private:
    const QStringList &texts_;
};

} // namespace orbalis
