#pragma once

#include "state/console.h"
#include "support/fakes.h"

namespace orbalis::test {

// The parameter window as the cycles see it: a sink that doubles as the
// source, and its status panels.
class FakeParameterWindow : public ParameterView {
public:
    ParameterSink &controls() override { return sink; }
    ParameterSource &source() override { return sink; }
    StatusPanels &status() override { return panels; }
    RecordingSink sink;
    FakeStatus panels;
};

} // namespace orbalis::test
