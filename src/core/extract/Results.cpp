#include "core/extract/Results.h"

namespace pictrove::extract {

int ResultStore::appendRow(const QString& text) {
    rows.push_back({text, QString()});
    return int(rows.size());
}

bool ResultStore::setRowNumber(int row, const QString& number) {
    if (row < 1 || row > rowCount()) {
        return false;
    }
    rows[size_t(row - 1)].number = number;
    return true;
}

bool PictureHolders::create(int index) {
    if (index < 0 || size_t(index) < holders_.size()) {
        return false;
    }
    holders_.resize(size_t(index) + 1);
    return true;
}

bool PictureHolders::set(int index, const picture::Picture& picture) {
    if (index < 0 || size_t(index) >= holders_.size()) {
        return false;
    }
    holders_[size_t(index)] = picture;
    return true;
}

picture::Picture PictureHolders::get(int index) const {
    return index >= 0 && size_t(index) < holders_.size() ? holders_[size_t(index)]
                                                         : picture::Picture();
}

QString ResultStore::rowText(int row) const {
    return row >= 1 && row <= rowCount() ? rows[size_t(row - 1)].text : QString();
}

QString ResultStore::rowNumber(int row) const {
    return row >= 1 && row <= rowCount() ? rows[size_t(row - 1)].number : QString();
}

}  // namespace pictrove::extract
