#include "core/model/DocumentModel.h"

#include "core/model/GroupPicture.h"

namespace pictrove::word {

picture::Picture Shape::picture(QString* unreadable) const {
    QString ignored;
    QString& why = unreadable ? *unreadable : ignored;
    why.clear();
    switch (kind) {
        case Kind::Picture:
        case Kind::OleObject:
        case Kind::Chart: {
            if (!load_) {
                why = unreadable_;
                return picture_;
            }
            picture::Picture loaded = load_(&why);
            if (!loaded.isNull())
                why.clear();
            return loaded;
        }
        case Kind::Group:
            return composeGroup(children, groupExtent);
        case Kind::TextBox:
        case Kind::Other:
            break;
    }
    return {};
}

}  // namespace pictrove::word
