#pragma once

namespace orbalis {

// The step the polling cycle runs on every valid live-value reply, before the
// slot is painted: decode Reply_Buffer of Poll_Slot and record it. It handles
// all its own errors; nothing it does can stop the polling.
class LiveValueStore {
public:
    virtual ~LiveValueStore() = default;
    virtual void Store_Live_Values() noexcept = 0;
};

} // namespace orbalis
