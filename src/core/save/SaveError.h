#pragma once

#include <QString>

namespace pictrove::results {

// An error a save step reports to its caller instead of throwing: the number the
// caller may test and the sentence shown to the user as it stands.
struct SaveError {
    int number = 0;
    QString description;

    bool operator==(const SaveError&) const = default;
};

}  // namespace pictrove::results
