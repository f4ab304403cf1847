#pragma once

#include "core/model/DocumentModel.h"
#include "core/picture/Clipboard.h"

#include <QString>

#include <optional>

namespace pictrove::word {

// Outcome of one call into the engine. Every call returns one; none throws. A caller
// that follows the rule "a failed step is skipped and the next one runs" can ignore
// any value but Ok.
enum class CallStatus {
    Ok,
    NotStarted,       // the application was not created (create() failed or not called) or has quit
    AlreadyStarted,   // create() on an application that runs already
    OpenFailed,       // Documents.Open: the document cannot be opened (lastError() says why)
    NoDocument,       // no document is open (Open failed, or the document was closed)
    IndexOutOfRange,  // InlineShapes(k) / Shapes(j) with k or j outside 1..Count
    NothingSelected,  // Selection.Copy with nothing selected: the clipboard keeps its content
};

// Short English name of a status ("ok", "open failed", ...), for messages and tests.
QString callStatusName(CallStatus status);

// The engine behind "Word.Application": one instance per document, driven through the
// same object model and call order as the word processor's automation interface.
//
//   W1  create()                                  CreateObject("Word.Application")
//   W2  documentsOpen(path)                       .Documents.Open(path)
//   W3  activeDocumentInlineShapesCount(n)        .ActiveDocument.InlineShapes.Count
//   W4  activeDocumentInlineShapesSelect(k)       .ActiveDocument.InlineShapes(k).Select
//   W5  activeWindowSelectionCopy()               .ActiveDocument.ActiveWindow.Selection.Copy
//   W6  activeDocumentShapesCount(n)              .ActiveDocument.Shapes.Count
//   W7  activeDocumentShapesSelect(j)             .ActiveDocument.Shapes(j).Select
//   W8  activeWindowSelectionCopy()               as W5
//   W9  documentClose()                           document.Close
//   W10 quit()                                    .Quit
//
// Copy contract: a selected object always replaces the clipboard's content. An object
// that has a picture (a picture, a picture-filled shape, a group with picture children,
// an OLE object's preview, a chart's stored image) puts that picture there; one without
// (a text box, a line, a plain shape, a chart without image, a linked picture) leaves
// the clipboard empty, as copying it in the word processor leaves no picture to read.
// Copy with nothing selected fails with NothingSelected and leaves the clipboard as it
// was. A failed Select leaves the previous selection in place.
//
// The methods are virtual so that tests of the callers can script failures.
class Application {
  public:
    // `clipboard` is where copies go; it must outlive the application.
    explicit Application(picture::Clipboard& clipboard = picture::processClipboard());
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    virtual CallStatus create();                            // W1
    virtual CallStatus documentsOpen(const QString& path);  // W2
    // W3 / W6: `count` is written only on Ok.
    virtual CallStatus activeDocumentInlineShapesCount(qint32& count) const;
    virtual CallStatus activeDocumentShapesCount(qint32& count) const;
    // W4 / W7: 1-based.
    virtual CallStatus activeDocumentInlineShapesSelect(qint32 k);
    virtual CallStatus activeDocumentShapesSelect(qint32 j);
    virtual CallStatus activeWindowSelectionCopy();  // W5 / W8
    virtual CallStatus documentClose();              // W9
    virtual CallStatus quit();                       // W10

    // A sentence for people about the last call that failed ("" after a success).
    QString lastError() const { return lastError_; }
    // Why the last documentsOpen() failed; Ok when it succeeded or was not called.
    OpenStatus lastOpenStatus() const { return lastOpenStatus_; }
    // Why the last copy left no picture of a shape whose picture is there ("" when it
    // gave a picture, when the shape has none, or when the copy failed).
    QString unreadablePicture() const { return unreadablePicture_; }

    // The opened document's shapes (null when none is open); for tools and tests.
    const DocumentModel* activeDocument() const;

  protected:
    CallStatus fail(CallStatus status, QString why) const;
    CallStatus succeed() const;

  private:
    struct Selection {
        bool isInline = true;
        qint32 index = 0;  // 1-based
    };

    picture::Clipboard& clipboard_;
    bool running_ = false;
    std::optional<DocumentModel> document_;
    std::optional<Selection> selection_;
    mutable QString lastError_;
    OpenStatus lastOpenStatus_ = OpenStatus::Ok;
    QString unreadablePicture_;
};

}  // namespace pictrove::word
