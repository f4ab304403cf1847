#pragma once

#include "gui/run/ExtractionRun.h"
#include "gui/ui/Controls.h"
#include "gui/ui/Pointer.h"

#include <QWidget>

namespace pictrove::shell {

// The main window: the document list, the two ways of adding documents, the button
// that starts a run and the run's progress bar. Sizes are fixed (464 x 307 client).
class Form1 : public QWidget, public extract::RunWindow {
    Q_OBJECT
  public:
    explicit Form1(QWidget* parent = nullptr);

    // The load handler; runs once, before the window is first shown.
    void load();

    // Enables or disables everything the user could start while a run or a folder walk
    // is yielding to the event loop: the three buttons and the list.
    void setControlsEnabled(bool enabled) override;

    // What a run needs of this window.
    QWidget& runWindow() override { return *this; }
    int documentCount() const override { return ListView1->rowCount(); }
    QString document(int row) const override { return ListView1->rowText(row).value_or(QString()); }
    void setBusy(bool busy) override {
        MousePointer.setKind(busy ? kPointerHourglass : kPointerDefault);
    }
    void setProgressPercent(double percent) override { ProgressBar1->setPercent(percent); }

    ListView* ListView1;
    PushButton* PushButton1;  // "Add Word File(s)"
    PushButton* PushButton4;  // "Add All Word Files In Folder"
    PushButton* PushButton2;  // "Start Extracting Images"
    ProgressBar* ProgressBar1;
    WindowPointer MousePointer{this};

    static constexpr int kTwipsPerPixel = 15;
    static QRect twipsRect(int left, int top, int width, int height) {
        return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                     height / kTwipsPerPixel);
    }

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void removeSelectedDocument();
    bool loaded_ = false;
};

}  // namespace pictrove::shell
