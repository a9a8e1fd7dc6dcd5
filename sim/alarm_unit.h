#pragma once

namespace orbalis::sim {

// One alarm output of a controller. The function decides what "in alarm"
// means (choice codes 0..12), the mode adds standby and latching
// (codes 13..16); the hysteresis keeps the lamp from chattering.
class AlarmUnit {
public:
    struct Config {
        int function = 0;           // 0 A_OFF ... 12 B_BDLO
        int mode = 13;              // 13 NONE, 14 STDY, 15 LATH, 16 STLA
        double setPoint = 0.0;      // degrees (absolute or deviation, by function)
        double hysteresis = 0.0;    // degrees
        double delay = 0.0;         // seconds the condition must hold before the lamp lights
        bool operator==(const Config &) const = default;
    };

    // Advances dt seconds with the given process and set values.
    void step(double pv, double sv, const Config &config, double dt);

    bool lit() const { return lit_; }
    double litSeconds() const { return litSeconds_; }

private:
    void restart();

    Config config_;
    bool configured_ = false;
    bool condition_ = false;     // the function's condition, with hysteresis
    bool armed_ = false;         // standby: the condition has been clear once
    double pendingSeconds_ = 0;  // how long the condition has held
    bool lit_ = false;
    double litSeconds_ = 0;
};

} // namespace orbalis::sim
