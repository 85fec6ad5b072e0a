#include "RouteList.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

#include "Pellora/Shell/Brand.h"

namespace pellora {

RouteList::RouteList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Drags and drops of its own rows only: the row type is the one type it accepts.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSpacing(1);
    setAccessibleDescription(QStringLiteral("Alt+Up and Alt+Down move the selected route."));
    tintSelection();
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit editRequested(row(item)); });
}

void RouteList::addRow(QWidget* widget, const QString& description) {
    auto* item = new QListWidgetItem(this);
    item->setData(Qt::AccessibleTextRole, description);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    setItemWidget(item, widget);
}

void RouteList::fitRows() {
    const int width = viewport()->width() - 2 * spacing();
    for (int index = 0; index < count(); ++index) {
        QListWidgetItem* row = item(index);
        const QWidget* widget = itemWidget(row);
        if (!widget)
            continue;
        const int height = widget->hasHeightForWidth() ? widget->heightForWidth(width) : widget->sizeHint().height();
        row->setSizeHint(QSize(width, height));
    }
}

QString RouteList::rowMimeType() { return QStringLiteral("application/x-pellora-route-row"); }

QStringList RouteList::mimeTypes() const { return {rowMimeType()}; }

QMimeData* RouteList::mimeData(const QList<QListWidgetItem*>& items) const {
    if (items.size() != 1)
        return nullptr;
    auto* data = new QMimeData;
    data->setData(rowMimeType(), QByteArray::number(row(items.front())));
    return data;
}

Qt::DropActions RouteList::supportedDropActions() const { return Qt::MoveAction; }

void RouteList::dropEvent(QDropEvent* event) {
    bool ok = false;
    const int from = event->mimeData()->data(rowMimeType()).toInt(&ok);
    if (!ok || from < 0 || from >= count()) {
        event->ignore();
        return;
    }
    const QPoint position = event->position().toPoint();
    const QModelIndex target = indexAt(position);
    int before = count();
    if (target.isValid())
        before = target.row() + (position.y() > visualRect(target).center().y() ? 1 : 0);
    const int to = before > from ? before - 1 : before;
    // Not a move for the drag source: the owner redraws the list from the new order, and a
    // move would make the view remove the dragged row a second time.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
    if (to != from)
        emit moveRequested(from, to);
}

void RouteList::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && currentRow() >= 0) {
        emit editRequested(currentRow());
        return;
    }
    // Reordering without a mouse: Alt with an arrow moves the current row one place.
    if (event->modifiers() == Qt::AltModifier && (key == Qt::Key_Up || key == Qt::Key_Down) && currentRow() >= 0) {
        const int to = currentRow() + (key == Qt::Key_Up ? -1 : 1);
        if (to >= 0 && to < count())
            emit moveRequested(currentRow(), to);
        return;
    }
    QListWidget::keyPressEvent(event);
}

void RouteList::tintSelection() {
    // A light selection: the rows are drawn by widgets in the normal text colours, which must
    // stay readable on it. Only the highlight is set; the rest follows the application.
    QPalette colours = palette();
    const QColor tint = Brand::withOpacity(Brand::accent(colours), 0.22);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        colours.setColor(group, QPalette::Highlight, tint);
    setPalette(colours);
}

void RouteList::changeEvent(QEvent* event) {
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        tintSelection(); // no further event once the tint is in place
}

void RouteList::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    fitRows();
}

} // namespace pellora
