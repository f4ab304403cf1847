#pragma once

#include "core/picture/Picture.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <vector>

namespace pictrove::word {

// One picture child of a group, placed in the group's own coordinate space.
struct PlacedPicture {
    picture::Picture picture;
    QRectF rect;  // in group coordinates (see Shape::groupExtent)
};

// An object of the main document text as the two shape collections see it.
struct Shape {
    enum class Kind {
        Picture,    // a picture, or a shape filled with a picture
        Group,      // a group; its picture children are composed into one picture
        OleObject,  // an embedded object; its preview picture stands for it
        Chart,      // a chart; its stored fallback image, if any
        TextBox,    // a text box: nothing is copied
        Other,      // a line, a plain autoshape, ...: nothing is copied
    };
    Kind kind = Kind::Other;
    std::vector<PlacedPicture> children;  // Group only
    QRectF groupExtent;                   // Group only: the children's coordinate space

    // The picture that copying the shape gives: its own picture (Picture, OleObject,
    // Chart), read now if it was left in its package; a group's picture children composed
    // into one; null for a text box or another shape, and when there is none. A null
    // picture of a shape whose picture is there but could not be read comes with the
    // reason in *unreadable (when given); otherwise *unreadable is emptied.
    picture::Picture picture(QString* unreadable = nullptr) const;

    // A reader gives a Picture, OleObject or Chart its own picture either now (with the
    // reason when the stored picture could not be read) ...
    void setPicture(picture::Picture picture, QString unreadable = {}) {
        picture_ = std::move(picture);
        unreadable_ = picture_.isNull() ? std::move(unreadable) : QString();
        load_ = nullptr;
    }
    // ... or leaves it in its package until the shape is copied, so that memory grows
    // with one picture, not with the document's. `load` gives null, with the reason in
    // its argument, when the part turns out to be damaged.
    using PictureLoader = std::function<picture::Picture(QString* unreadable)>;
    void setPictureLoader(PictureLoader load) {
        picture_ = picture::Picture();
        unreadable_.clear();
        load_ = std::move(load);
    }

  private:
    picture::Picture picture_;
    QString unreadable_;
    PictureLoader load_;
};

// What a reader makes of one document: the inline objects of the main text in
// document order, and the floating objects anchored in the main text in anchor order.
struct DocumentModel {
    std::vector<Shape> inlineShapes;
    std::vector<Shape> floatingShapes;
};

// Why a document could not be opened.
enum class OpenStatus {
    Ok,
    FileNotFound,      // nothing at the path
    Unreadable,        // the file exists but cannot be read (permissions, a folder)
    NotAWordDocument,  // the bytes are no format a word processor opens
    Damaged,           // a known format, but its structure is broken
    Encrypted,         // password protected
    TooOld,            // a binary format older than Word 97
    TooLarge,          // limits against decompression bombs and absurd sizes
};

// A reader's result: the model, or the reason for failure in words for people
// ("zip central directory is damaged", "table stream 1Table is missing").
struct ReadResult {
    OpenStatus status = OpenStatus::Ok;
    QString reason;
    DocumentModel model;

    bool ok() const { return status == OpenStatus::Ok; }
    static ReadResult failure(OpenStatus s, QString why) {
        ReadResult r;
        r.status = s;
        r.reason = std::move(why);
        return r;
    }
};

}  // namespace pictrove::word
