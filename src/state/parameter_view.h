#pragma once

#include "base/status_panels.h"
#include "model/parameter_sink.h"

namespace orbalis {

// The parameter window as the cycles see it, present only while it is open:
// its value controls (written by the decoders, read by the encoder) and its
// status bar.
class ParameterView {
public:
    virtual ~ParameterView() = default;
    virtual ParameterSink &controls() = 0;
    virtual ParameterSource &source() = 0;
    virtual StatusPanels &status() = 0;
};

} // namespace orbalis
