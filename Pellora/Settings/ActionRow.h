#pragma once

#include <QStyledItemDelegate>

namespace pellora {

// Draws one line of the Prompts tab's action list: the name (or its dimmed placeholder), an
// orange "Not in the menu yet" while the action is not set up, and the shortcut below.
class ActionRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    // What the list's items carry besides their display text.
    enum Role { shortcutRole = Qt::UserRole + 1, configuredRole, dimmedRole };

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace pellora
