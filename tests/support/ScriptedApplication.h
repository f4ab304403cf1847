#pragma once

#include "core/engine/Application.h"
#include "core/extract/DocumentExtraction.h"
#include "core/picture/Clipboard.h"

#include <QMap>
#include <QStringList>

namespace pictrove::test {

// A scripted document: what each inline and floating shape copies (a null picture
// copies nothing), and which steps fail.
struct ScriptedDocument {
    std::vector<picture::Picture> inlinePictures;
    std::vector<picture::Picture> floatingPictures;
    bool openFails = false;
    QString openError = QStringLiteral("the file is damaged");
    QList<int> failingInlineSelects;  // k whose Select fails
};

// The engine with documents from a script instead of files; records every call.
class ScriptedApplication final : public word::Application {
  public:
    ScriptedApplication(picture::Clipboard& clipboard, QMap<QString, ScriptedDocument> documents,
                        QStringList& calls);

    word::CallStatus create() override;
    word::CallStatus documentsOpen(const QString& path) override;
    word::CallStatus activeDocumentInlineShapesCount(qint32& count) const override;
    word::CallStatus activeDocumentShapesCount(qint32& count) const override;
    word::CallStatus activeDocumentInlineShapesSelect(qint32 k) override;
    word::CallStatus activeDocumentShapesSelect(qint32 j) override;
    word::CallStatus activeWindowSelectionCopy() override;
    word::CallStatus documentClose() override;
    word::CallStatus quit() override;

  private:
    picture::Clipboard& clipboard_;
    QMap<QString, ScriptedDocument> documents_;
    QStringList& calls_;
    const ScriptedDocument* open_ = nullptr;
    const picture::Picture* selected_ = nullptr;
};

// An extraction environment whose engine plays the scripted documents, whose temporary
// folder is `folder`, and which counts the yields.
struct ScriptedEngine {
    QMap<QString, ScriptedDocument> documents;
    QStringList calls;
    int yields = 0;
    std::function<void()> onYield;

    extract::ExtractionEnvironment environment(const QString& folder);
};

}  // namespace pictrove::test
