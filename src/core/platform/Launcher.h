#pragma once

#include <QString>

namespace pictrove::platform {

// Hands a web address to the user's browser without waiting for it.
class Launcher {
  public:
    virtual ~Launcher() = default;
    virtual void openAddress(const QString& address) = 0;
};

}  // namespace pictrove::platform
