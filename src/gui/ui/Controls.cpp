#include "gui/ui/Controls.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <cmath>
#include <memory>

namespace pictrove::shell {

ListView::ListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    connect(this, &QTreeWidget::itemClicked, this, [this] { emit rowClicked(); });
}

void ListView::addColumn(const QString& header) {
    const int n = columnCount();
    setColumnCount(n + 1);
    QTreeWidgetItem* h = headerItem();
    h->setText(n, header);
}

void ListView::setColumnWidthPx(int k, double width) {
    if (k >= 1 && k <= columnCount()) {
        setColumnWidth(k - 1, int(std::lround(width)));
    }
}

int ListView::appendRow(const QString& text) {
    auto* item = new QTreeWidgetItem(this);  // owned by the list
    item->setText(0, text);
    item->setToolTip(0, text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return topLevelItemCount();
}

bool ListView::setSubItem(int i, const QString& text) {
    if (i < 1 || i > rowCount()) {
        return false;
    }
    topLevelItem(i - 1)->setText(1, text);
    return true;
}

std::optional<QString> ListView::rowText(int i) const {
    if (i < 1 || i > rowCount()) {
        return std::nullopt;
    }
    return topLevelItem(i - 1)->text(0);
}

std::optional<QString> ListView::subItem(int i) const {
    if (i < 1 || i > rowCount()) {
        return std::nullopt;
    }
    return topLevelItem(i - 1)->text(1);
}

std::optional<int> ListView::selectedIndex() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    const int index = indexOfTopLevelItem(selected.first());
    return index < 0 ? std::nullopt : std::optional<int>(index + 1);
}

bool ListView::removeRow(int i) {
    if (i < 1 || i > rowCount()) {
        return false;
    }
    std::unique_ptr<QTreeWidgetItem> taken(takeTopLevelItem(i - 1));  // now ours to free
    return true;
}

void ListView::keyPressEvent(QKeyEvent* event) {
    const std::optional<int> before = selectedIndex();
    QTreeWidget::keyPressEvent(event);
    const std::optional<int> after = selectedIndex();
    if (after && after != before) {
        emit rowChosenByKey();
    }
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void ListView::setDropHandlers(std::function<bool(const QMimeData*)> accepts,
                               std::function<void(const QMimeData*)> dropped) {
    accepts_ = std::move(accepts);
    dropped_ = std::move(dropped);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    if (accepts_ && accepts_(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    if (accepts_ && accepts_(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ListView::dropEvent(QDropEvent* event) {
    if (dropped_ && accepts_ && accepts_(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        dropped_(event->mimeData());
    } else {
        event->ignore();
    }
}

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setMouseTracking(true);
    setIconSize(QSize(32, 32));
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    emit mouseMoved();
}

void PushButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    const QRect inner = rect().adjusted(6, 6, -6, -6);
    int textTop = inner.top();
    if (!icon().isNull()) {
        const QSize size = iconSize();
        const QRect iconRect(inner.center().x() - size.width() / 2, inner.top() + 4, size.width(),
                             size.height());
        icon().paint(&painter, iconRect, Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
        textTop = iconRect.bottom() + 4;
    }
    const QRect textRect(inner.left(), textTop, inner.width(), inner.bottom() - textTop);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap, text());
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void ProgressBar::setPercent(double value) {
    setValue(int(std::lround(std::clamp(value, 0.0, 100.0))));
}

}  // namespace pictrove::shell
