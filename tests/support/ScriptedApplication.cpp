#include "ScriptedApplication.h"

#include "core/picture/PictureStore.h"

namespace pictrove::test {

using word::CallStatus;

ScriptedApplication::ScriptedApplication(picture::Clipboard& clipboard,
                                         QMap<QString, ScriptedDocument> documents,
                                         QStringList& calls)
    : word::Application(clipboard),
      clipboard_(clipboard),
      documents_(std::move(documents)),
      calls_(calls) {}

CallStatus ScriptedApplication::create() {
    calls_ << QStringLiteral("create");
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::documentsOpen(const QString& path) {
    calls_ << QStringLiteral("open ") + path;
    auto it = documents_.constFind(path);
    if (it == documents_.constEnd() || it->openFails) {
        return fail(CallStatus::OpenFailed,
                    it == documents_.constEnd() ? QStringLiteral("no such file") : it->openError);
    }
    open_ = &*it;
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::activeDocumentInlineShapesCount(qint32& count) const {
    if (!open_) {
        return CallStatus::NoDocument;
    }
    count = qint32(open_->inlinePictures.size());
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::activeDocumentShapesCount(qint32& count) const {
    if (!open_) {
        return CallStatus::NoDocument;
    }
    count = qint32(open_->floatingPictures.size());
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::activeDocumentInlineShapesSelect(qint32 k) {
    calls_ << QStringLiteral("select inline %1").arg(k);
    if (!open_ || k < 1 || k > qint32(open_->inlinePictures.size()) ||
        open_->failingInlineSelects.contains(k)) {
        return CallStatus::IndexOutOfRange;
    }
    selected_ = &open_->inlinePictures[size_t(k - 1)];
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::activeDocumentShapesSelect(qint32 j) {
    calls_ << QStringLiteral("select floating %1").arg(j);
    if (!open_ || j < 1 || j > qint32(open_->floatingPictures.size())) {
        return CallStatus::IndexOutOfRange;
    }
    selected_ = &open_->floatingPictures[size_t(j - 1)];
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::activeWindowSelectionCopy() {
    calls_ << QStringLiteral("copy");
    if (!selected_) {
        return CallStatus::NothingSelected;
    }
    clipboard_.setPicture(*selected_);
    return CallStatus::Ok;
}

CallStatus ScriptedApplication::documentClose() {
    calls_ << QStringLiteral("close");
    const bool wasOpen = open_ != nullptr;
    open_ = nullptr;
    selected_ = nullptr;
    return wasOpen ? CallStatus::Ok : CallStatus::NoDocument;
}

CallStatus ScriptedApplication::quit() {
    calls_ << QStringLiteral("quit");
    return CallStatus::Ok;
}

extract::ExtractionEnvironment ScriptedEngine::environment(const QString& folder) {
    extract::ExtractionEnvironment env;
    env.temporaryFolder = folder;
    env.store = picture::PictureStore::create();
    env.makeApplication = [this](picture::Clipboard& clipboard) {
        return std::make_unique<ScriptedApplication>(clipboard, documents, calls);
    };
    env.yield = [this] {
        ++yields;
        if (onYield) {
            onYield();
        }
    };
    return env;
}

}  // namespace pictrove::test
