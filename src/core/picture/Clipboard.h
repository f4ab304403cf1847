#pragma once

#include "core/picture/Picture.h"

namespace pictrove::picture {

// The process-local clipboard: holds one picture or nothing. The document engine's
// Selection.Copy writes it, the extraction reads it. It never touches the desktop
// clipboard, so other programs can neither see nor disturb what a run copies.
class Clipboard {
  public:
    // Replaces the content. A null picture empties the clipboard.
    void setPicture(Picture picture) { picture_ = std::move(picture); }
    void clear() { picture_ = Picture(); }

    bool hasPicture() const { return !picture_.isNull(); }
    // The picture held, or a null Picture when the clipboard holds none.
    const Picture& picture() const { return picture_; }

  private:
    Picture picture_;
};

// The clipboard of the calling thread: documents read at once on several threads each
// copy into their own. The program's windows use only the GUI thread's.
Clipboard& processClipboard();

}  // namespace pictrove::picture
