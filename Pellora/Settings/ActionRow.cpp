#include "ActionRow.h"

#include <QApplication>
#include <QPainter>

#include "Pellora/Settings/PromptsTabModel.h"
#include "Pellora/Settings/SettingsStyle.h"

namespace pellora {
namespace {

constexpr int padding = 8;
constexpr int lineGap = 1;

} // namespace

QSize ActionRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const QFontMetrics body(option.font), caption(SettingsStyle::caption(option.font));
    return {200, padding + body.height() + lineGap + caption.height() + padding};
}

void ActionRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const auto textColor = [&](SettingsStyle::Tint tint) {
        return selected ? palette.color(QPalette::HighlightedText) : SettingsStyle::color(tint, palette);
    };
    const QFont bodyFont = option.font;
    const QFont captionFont = SettingsStyle::caption(option.font);
    const QFontMetrics body(bodyFont), caption(captionFont);
    const QRect area = option.rect.adjusted(padding + 4, padding, -padding, -padding);

    painter->save();
    const bool configured = index.data(configuredRole).toBool();
    const QString warning = QString::fromUtf8(PromptsTabModel::notInMenu);
    const int warningWidth = configured ? 0 : caption.horizontalAdvance(warning) + 6;
    // Display only: a name many thousands of characters long is cut before it is measured.
    const QString name = index.data(Qt::DisplayRole).toString().left(400);
    const QString shown = body.elidedText(name, Qt::ElideRight, std::max(0, area.width() - warningWidth));
    const QRect nameRect(area.left(), area.top(), area.width(), body.height());
    painter->setFont(bodyFont);
    painter->setPen(textColor(index.data(dimmedRole).toBool() ? SettingsStyle::Tint::secondary
                                                               : SettingsStyle::Tint::primary));
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    if (!configured) {
        painter->setFont(captionFont);
        painter->setPen(textColor(SettingsStyle::Tint::orange));
        const QRect warningRect(area.left() + body.horizontalAdvance(shown) + 6, area.top(), warningWidth,
                                body.height());
        painter->drawText(warningRect, Qt::AlignLeft | Qt::AlignVCenter, warning);
    }
    painter->setFont(captionFont);
    painter->setPen(textColor(SettingsStyle::Tint::secondary));
    painter->drawText(QRect(area.left(), nameRect.bottom() + 1 + lineGap, area.width(), caption.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, index.data(shortcutRole).toString());
    painter->restore();
}

} // namespace pellora
