#include "PromptsTab.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>

#include "Pellora/Settings/ActionDetail.h"
#include "Pellora/Settings/ActionRow.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora {

PromptsTab::PromptsTab(SettingsContext& context, QWidget* parent) : QWidget(parent), model_(context.store) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    list_ = new QListWidget(this);
    list_->setFixedWidth(240);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setItemDelegate(new ActionRow(list_));
    list_->setAccessibleName(QStringLiteral("Actions"));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The sidebar's tone: a little apart from the editor's window background.
    QPalette sidebar = list_->palette();
    sidebar.setColor(QPalette::Base, sidebar.color(QPalette::Window).darker(104));
    list_->setPalette(sidebar);
    for (std::size_t i = 0; i < Action::allCases().size(); ++i)
        list_->addItem(new QListWidgetItem);
    layout->addWidget(list_);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedWidth(1);
    divider->setForegroundRole(QPalette::Mid);
    layout->addWidget(divider);

    detail_ = new ActionDetail(model_, this);
    layout->addWidget(detail_, 1);

    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.select(row >= 0 ? std::optional<Action>(Action::allCases()[std::size_t(row)]) : std::nullopt);
        detail_->refresh(true);
    });
    connect(&context.store, &ConfigStore::configChanged, this, &PromptsTab::refresh);
    refresh();
}

void PromptsTab::refresh() {
    const auto rows = model_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* item = list_->item(int(i));
        const auto& row = rows[i];
        const QString title = QString::fromStdString(row.title());
        if (item->text() != title)
            item->setText(title);
        item->setData(ActionRow::shortcutRole, QString::fromStdString(row.shortcut));
        item->setData(ActionRow::configuredRole, row.configured);
        item->setData(ActionRow::dimmedRole, row.dimmed());
        QString spoken = title.left(400);
        if (!row.configured)
            spoken += QStringLiteral(", ") + QString::fromUtf8(PromptsTabModel::notInMenu);
        item->setData(Qt::AccessibleTextRole, spoken + QStringLiteral(", ") + QString::fromStdString(row.shortcut));
    }
    detail_->refresh();
}

} // namespace pellora
