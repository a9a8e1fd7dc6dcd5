#pragma once

namespace orbalis::sim {

// One PID loop in position form, as a panel controller runs it: the
// proportional band in degrees, integral and derivative times in seconds,
// derivative on the measurement, integral held while the output saturates.
class PidLoop {
public:
    struct Tuning {
        double band = 30.0;         // proportional band, degrees; 0 or less: on/off control
        double integral = 60.0;     // seconds; 0 or less: no integral, manual reset instead
        double derivative = 1.0;    // seconds; 0 or less: no derivative
        double manualReset = 0.0;   // % added when there is no integral
        double antiReset = 100.0;   // limit of the integral term, %
        bool reverse = true;        // heating: output rises as PV falls below SV
        double onOffHysteresis = 0.5;   // degrees, on/off control only
        double outputLow = 0.0;     // %
        double outputHigh = 100.0;  // %
    };

    // What the controller shows of its loop.
    struct Terms {
        double sv = 0, pv0 = 0, pv1 = 0, pv2 = 0;
        double e0 = 0, e1 = 0, e2 = 0;
        double gain = 0;            // % per degree
        double pOut = 0, iOut = 0, dOut = 0;
    };

    // One control step of dt seconds; returns the output in %.
    double step(double sv, double pv, const Tuning &tuning, double dt);
    // Forgets the integral and history (the loop was off or in hand).
    void reset(double pv);
    // Starts the integral from the output the loop takes over from, so that
    // switching from hand to automatic does not jump.
    void track(double outputPercent, double pv);

    const Terms &terms() const { return terms_; }
    double output() const { return output_; }

private:
    Terms terms_;
    double integralTerm_ = 0.0;
    double filteredPv_ = 0.0;
    bool primed_ = false;
    bool relayOn_ = false;
    double output_ = 0.0;
};

} // namespace orbalis::sim
