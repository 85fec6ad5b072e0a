#pragma once

#include <QListWidget>

namespace pellora {

// The Routes tab's list: rows drawn by item widgets, reordered by dragging within the list
// or with Alt and an arrow key, opened for editing with a double-click or Return. It asks for the changes and leaves
// applying them (and redrawing) to its owner.
class RouteList : public QListWidget {
    Q_OBJECT
public:
    explicit RouteList(QWidget* parent = nullptr);

    // Adds a row drawn by `widget`; `description` is what a screen reader says for it.
    void addRow(QWidget* widget, const QString& description);
    // Gives each row the height its widget needs at the current width.
    void fitRows();

    // The type of the drag data: the dragged row's position.
    static QString rowMimeType();

signals:
    // Move the route at `from` so that it ends up at `to`.
    void moveRequested(int from, int to);
    void editRequested(int row);

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    Qt::DropActions supportedDropActions() const override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void tintSelection();
};

} // namespace pellora
