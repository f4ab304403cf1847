#include "core/picture/Clipboard.h"

namespace pictrove::picture {

Clipboard& processClipboard() {
    thread_local Clipboard clipboard;
    return clipboard;
}

}  // namespace pictrove::picture
