#pragma once

#include <cstdint>
#include <deque>
#include <random>

namespace orbalis::sim {

// A heated load: the temperature follows the heater output through a
// first-order lag with a short dead time, from the ambient temperature.
// The measurement adds a little sensor noise.
class Plant {
public:
    struct Params {
        double ambient = 25.0;          // degrees
        double gainPerPercent = 3.75;   // degrees above ambient per % output, settled
        double timeConstant = 60.0;     // seconds
        double deadTime = 2.0;          // seconds
        double noise = 0.05;            // standard deviation of the measurement, degrees
    };

    Plant(Params params, std::uint32_t seed);

    // Advances the load by dt seconds with the heater at outputPercent (0..100).
    void step(double dt, double outputPercent);

    double temperature() const { return temperature_; }   // noise-free
    double measured() const { return measured_; }         // as the sensor reads it
    double ambient() const { return params_.ambient; }

private:
    Params params_;
    double temperature_;
    double measured_;
    std::deque<double> delayed_;   // outputs still travelling through the dead time
    std::mt19937 random_;
    std::normal_distribution<double> noise_;
};

} // namespace orbalis::sim
