#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>
#include <optional>

class QMimeData;

namespace pictrove::shell {

// The report-style list of both windows, behind 1-based helpers. Rows have a text
// (column 1) and at most one sub-item (column 2); no editing, no sorting, single
// selection, rows shown in the order they were appended. A text too long for its
// column is cut in the middle, so a path keeps its file name; the whole text is the
// row's tooltip.
class ListView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent = nullptr);

    void addColumn(const QString& header);
    // Width of column k (1-based) in pixels.
    void setColumnWidthPx(int k, double width);

    // Appends a row and returns its 1-based index.
    int appendRow(const QString& text);
    // Sets the first sub-item (column 2) of row i; false when i is out of range.
    bool setSubItem(int i, const QString& text);
    void removeAllRows() { clear(); }
    int rowCount() const { return topLevelItemCount(); }
    // Text of row i, or nullopt when i is outside 1..rowCount().
    std::optional<QString> rowText(int i) const;
    std::optional<QString> subItem(int i) const;
    // 1-based index of the selected row; nullopt when no row is selected.
    std::optional<int> selectedIndex() const;
    // Removes row i; the rows below move up. False when i is out of range.
    bool removeRow(int i);

    // Makes the list a drop target: `accepts` decides during drag-over whether the
    // dragged data may be dropped, `dropped` receives it.
    void setDropHandlers(std::function<bool(const QMimeData*)> accepts,
                         std::function<void(const QMimeData*)> dropped);

  signals:
    // A left click on a row (after the row is selected), and a double click anywhere.
    void rowClicked();
    void doubleClicked();
    // The keyboard (arrows, Home, End, Page keys) moved the selection to another row.
    void rowChosenByKey();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    std::function<bool(const QMimeData*)> accepts_;
    std::function<void(const QMimeData*)> dropped_;
};

// A command button with a caption and an optional 32 x 32 icon; reports mouse moves.
class PushButton : public QPushButton {
    Q_OBJECT
  public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

  signals:
    void mouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    // The icon sits above the caption, which wraps onto several lines when needed.
    void paintEvent(QPaintEvent* event) override;
};

// A progress bar from 0 to 100, written with fractional percentages.
class ProgressBar : public QProgressBar {
    Q_OBJECT
  public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void setPercent(double value);
};

}  // namespace pictrove::shell
