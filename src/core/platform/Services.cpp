#include "core/platform/Services.h"

namespace pictrove::platform {

namespace {
Services g_services;
bool g_ending = false;
}  // namespace

Services& services() {
    return g_services;
}
bool programEnding() {
    return g_ending;
}
void setProgramEnding(bool ending) {
    g_ending = ending;
}

}  // namespace pictrove::platform
