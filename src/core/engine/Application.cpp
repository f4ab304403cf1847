#include "core/engine/Application.h"

#include "core/engine/DocumentReader.h"

namespace pictrove::word {

QString callStatusName(CallStatus status) {
    switch (status) {
        case CallStatus::Ok:
            return QStringLiteral("ok");
        case CallStatus::NotStarted:
            return QStringLiteral("not started");
        case CallStatus::AlreadyStarted:
            return QStringLiteral("already started");
        case CallStatus::OpenFailed:
            return QStringLiteral("open failed");
        case CallStatus::NoDocument:
            return QStringLiteral("no document");
        case CallStatus::IndexOutOfRange:
            return QStringLiteral("index out of range");
        case CallStatus::NothingSelected:
            return QStringLiteral("nothing selected");
    }
    return {};
}

Application::Application(picture::Clipboard& clipboard) : clipboard_(clipboard) {}

Application::~Application() = default;

CallStatus Application::fail(CallStatus status, QString why) const {
    lastError_ = std::move(why);
    return status;
}

CallStatus Application::succeed() const {
    lastError_.clear();
    return CallStatus::Ok;
}

CallStatus Application::create() {
    if (running_)
        return fail(CallStatus::AlreadyStarted, QStringLiteral("the application runs already"));
    running_ = true;
    return succeed();
}

CallStatus Application::documentsOpen(const QString& path) {
    if (!running_)
        return fail(CallStatus::NotStarted, QStringLiteral("the application is not running"));
    ReadResult result = readDocumentFile(path);
    lastOpenStatus_ = result.status;
    if (!result.ok())
        return fail(CallStatus::OpenFailed, result.reason);
    // The opened document becomes the active one, replacing any other.
    document_ = std::move(result.model);
    selection_.reset();
    return succeed();
}

const DocumentModel* Application::activeDocument() const {
    return running_ && document_ ? &*document_ : nullptr;
}

CallStatus Application::activeDocumentInlineShapesCount(qint32& count) const {
    const DocumentModel* doc = activeDocument();
    if (!doc)
        return fail(running_ ? CallStatus::NoDocument : CallStatus::NotStarted,
                    QStringLiteral("no document is open"));
    count = qint32(std::min<size_t>(doc->inlineShapes.size(), INT32_MAX));
    return succeed();
}

CallStatus Application::activeDocumentShapesCount(qint32& count) const {
    const DocumentModel* doc = activeDocument();
    if (!doc)
        return fail(running_ ? CallStatus::NoDocument : CallStatus::NotStarted,
                    QStringLiteral("no document is open"));
    count = qint32(std::min<size_t>(doc->floatingShapes.size(), INT32_MAX));
    return succeed();
}

CallStatus Application::activeDocumentInlineShapesSelect(qint32 k) {
    const DocumentModel* doc = activeDocument();
    if (!doc)
        return fail(running_ ? CallStatus::NoDocument : CallStatus::NotStarted,
                    QStringLiteral("no document is open"));
    if (k < 1 || size_t(k) > doc->inlineShapes.size())
        return fail(CallStatus::IndexOutOfRange,
                    QStringLiteral("the document has no inline shape %1").arg(k));
    selection_ = Selection{true, k};
    return succeed();
}

CallStatus Application::activeDocumentShapesSelect(qint32 j) {
    const DocumentModel* doc = activeDocument();
    if (!doc)
        return fail(running_ ? CallStatus::NoDocument : CallStatus::NotStarted,
                    QStringLiteral("no document is open"));
    if (j < 1 || size_t(j) > doc->floatingShapes.size())
        return fail(CallStatus::IndexOutOfRange,
                    QStringLiteral("the document has no shape %1").arg(j));
    selection_ = Selection{false, j};
    return succeed();
}

CallStatus Application::activeWindowSelectionCopy() {
    unreadablePicture_.clear();
    const DocumentModel* doc = activeDocument();
    if (!doc)
        return fail(running_ ? CallStatus::NoDocument : CallStatus::NotStarted,
                    QStringLiteral("no document is open"));
    if (!selection_)
        return fail(CallStatus::NothingSelected, QStringLiteral("nothing is selected"));
    const auto& shapes = selection_->isInline ? doc->inlineShapes : doc->floatingShapes;
    clipboard_.setPicture(shapes[size_t(selection_->index - 1)].picture(&unreadablePicture_));
    return succeed();
}

CallStatus Application::documentClose() {
    if (!running_)
        return fail(CallStatus::NotStarted, QStringLiteral("the application is not running"));
    if (!document_)
        return fail(CallStatus::NoDocument, QStringLiteral("no document is open"));
    document_.reset();
    selection_.reset();
    return succeed();
}

CallStatus Application::quit() {
    if (!running_)
        return fail(CallStatus::NotStarted, QStringLiteral("the application is not running"));
    document_.reset();
    selection_.reset();
    running_ = false;
    return succeed();
}

}  // namespace pictrove::word
