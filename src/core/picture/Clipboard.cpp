#include "core/picture/Clipboard.h"

namespace pictrove::picture {

Clipboard& processClipboard() {
    static Clipboard clipboard;
    return clipboard;
}

}  // namespace pictrove::picture
