#include "core/model/DocumentModel.h"

#include "core/model/GroupPicture.h"

namespace pictrove::word {

picture::Picture Shape::picture() const {
    switch (kind) {
        case Kind::Picture:
        case Kind::OleObject:
        case Kind::Chart:
            return load_ ? load_() : picture_;
        case Kind::Group:
            return composeGroup(children, groupExtent);
        case Kind::TextBox:
        case Kind::Other:
            break;
    }
    return {};
}

}  // namespace pictrove::word
