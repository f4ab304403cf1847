#pragma once

#include "core/extract/Results.h"
#include "core/picture/Picture.h"
#include "gui/ui/Controls.h"
#include "gui/ui/Pointer.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QWidget>

namespace pictrove::results {

// The preview picture: sits inside the viewport, takes its picture's size, and reports
// presses and moves (with the position inside itself) for dragging.
class PreviewPicture : public QLabel {
    Q_OBJECT
  public:
    explicit PreviewPicture(QWidget* parent) : QLabel(parent) {}
    void setPicture(const picture::Picture& picture);
    const picture::Picture& picture() const { return picture_; }

  signals:
    void pressed(QPointF pos);
    void moved(QPointF pos, Qt::MouseButtons buttons);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    picture::Picture picture_;
};

// The results window: one row per picture of the last run, the preview, the output
// options and the commands "< Back" and "Save Results". Client area 536 x 636 pixels.
// It is also where the extraction puts rows and pictures, and what saving reads.
class Form2 : public QWidget, public extract::ResultSink, public extract::ResultSource {
    Q_OBJECT
  public:
    // `mainWindow` is shown again by "< Back".
    explicit Form2(QWidget* mainWindow, QWidget* parent = nullptr);

    // The load handler; runs once, at the first access of a run.
    void load();

    // A run starts: its rows replace the last run's.
    void beginRun();
    // A run ended with mTotalImages pictures: previews the first, shows and activates
    // the window with the preview at its start.
    void presentRun();

    // While a save runs: the hourglass, and every control that could start another
    // save, change the options or the rows disabled. The caption shows the progress.
    void setSaving(bool saving);

    // Puts the preview back at the top-left corner and sets up the scroll bars for the
    // picture Picture1 shows.
    void ResetPreview();

    // Rows and holders, as the extraction writes them.
    int appendRow(const QString& text) override;
    bool setRowNumber(int row, const QString& number) override;
    bool createHolder(int index) override { return Image1.create(index); }
    bool setHolder(int index, const picture::Picture& picture) override {
        return Image1.set(index, picture);
    }
    // ... and as saving reads them.
    int rowCount() const override { return ListView1->rowCount(); }
    QString rowText(int row) const override { return ListView1->rowText(row).value_or(QString()); }
    QString rowNumber(int row) const override {
        return ListView1->subItem(row).value_or(QString());
    }
    picture::Picture holder(int index) const override { return Image1.get(index); }
    int holderCount() const { return Image1.count(); }

    int mTotalImages = 0;  // pictures of the last run
    int mScrollStepX = 0;
    int mScrollStepY = 0;
    float mDragStartX = 0;
    float mDragStartY = 0;

    shell::ListView* ListView1;
    QLabel* Label3;
    QFrame* Picture2;          // the viewport, with a border
    QWidget* Picture2Inner;    // its inside, which clips the picture
    PreviewPicture* Picture1;  // the previewed picture
    QScrollBar* VScroll1;
    QScrollBar* HScroll1;
    QGroupBox* Frame2;
    QRadioButton* Option1;  // BMP
    QRadioButton* Option2;  // JPG
    QRadioButton* Option3;  // Original
    QLabel* Label5;
    QSlider* Slider1;
    QGroupBox* Frame1;
    QLineEdit* Text1;
    shell::PushButton* PushButton7;  // "..."
    shell::PushButton* PushButton8;  // "< Back"
    shell::PushButton* PushButton6;  // "Save Results"
    QLabel* Creator;
    extract::PictureHolders Image1;
    shell::WindowPointer MousePointer{this};

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void listClicked();
    void back();
    void dragTo(QPointF pos);
    void optionClicked(int option);
    void showQuality(int quality);

    QWidget* mainWindow_;
    bool loaded_ = false;
};

}  // namespace pictrove::results
