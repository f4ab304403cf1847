#pragma once

#include <QtGlobal>

#include <random>

namespace pictrove::platform {

// The pseudo-random generator of the program: seeded anew at each start.
class Random {
  public:
    virtual ~Random() = default;
    virtual void seed(quint32 value) = 0;
    // A fraction in [0, 1).
    virtual double next() = 0;
};

// The generator used outside tests.
class StdRandom final : public Random {
  public:
    void seed(quint32 value) override { engine_.seed(value); }
    double next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }

  private:
    std::mt19937 engine_;
};

}  // namespace pictrove::platform
