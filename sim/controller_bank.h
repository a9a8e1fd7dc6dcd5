#pragma once

#include "controller_model.h"

#include <memory>
#include <vector>

namespace orbalis::sim {

// The controllers that share the simulated line.
class ControllerBank {
public:
    // One controller per id, seeded from seed so that runs repeat.
    ControllerBank(const std::vector<int> &ids, std::uint32_t seed);

    // The controller that takes a request to id at this baud rate, if any.
    // Should two answer on the same address, the first one served wins.
    ControllerModel *answering(int id, int baud);
    // The controller first served as id (its address may have changed since).
    ControllerModel *servedAs(int id);

    void step(double dt);

    std::size_t size() const { return controllers_.size(); }
    ControllerModel &at(std::size_t i) { return *controllers_[i]; }

private:
    std::vector<int> servedIds_;
    std::vector<std::unique_ptr<ControllerModel>> controllers_;
};

} // namespace orbalis::sim
