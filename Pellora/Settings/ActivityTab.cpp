#include "ActivityTab.h"

#include <algorithm>
#include <chrono>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "Pellora/Claude/ClaudeBridge.h"
#include "Pellora/Platform/Workspace.h"
#include "Pellora/Settings/ActivityTableModel.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ShellUI.h"
#include "PelloraCore/ActivityEntry.h"
#include "PelloraCore/DateFormatter.h"
#include "PelloraCore/UserError.h"

namespace pellora {
namespace {

using Column = ActivityTableModel::Column;
using Style = ActivityTableModel::Style;

// Colours cells by their style (links in the accent colour, secondary text dimmed) and sets
// the dates in digits of equal width.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto style = Style(index.data(ActivityTableModel::styleRole).toInt());
        if (style != Style::plain && !(option->state & QStyle::State_Selected)) {
            const auto tint = style == Style::link ? SettingsStyle::Tint::accent : SettingsStyle::Tint::secondary;
            option->palette.setColor(QPalette::Text, SettingsStyle::color(tint, option->palette));
        }
        if (index.column() == Column::date)
            option->font = SettingsStyle::tabularDigits(option->font);
    }
};

constexpr int dateMinimum = 110;
constexpr int dateIdeal = 130;
constexpr int dateMaximum = 170;

// Wide enough for the longest date of the locale (two-digit day and hour), at least the ideal
// width and at most the maximum.
int dateColumnWidth(const QFont& font) {
    using namespace std::chrono;
    const DateFormatter dates(QLocale().bcp47Name().toStdString());
    const auto longest = dates.abbreviated(sys_days{2026y / December / 28} + 22h + 58min);
    const int needed = QFontMetrics(SettingsStyle::tabularDigits(font)).horizontalAdvance(QString::fromStdString(longest)) + 14;
    return std::clamp(needed, dateIdeal, dateMaximum);
}

} // namespace

ActivityTab::ActivityTab(SettingsContext& context, QWidget* parent) : QWidget(parent), context_(context) {
    model_ = new ActivityTableModel(context.activity, QLocale().bcp47Name().toStdString(), {}, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 14, 20, 14);
    layout->setSpacing(10);

    auto* searchBar = new QHBoxLayout;
    auto* glass = new QLabel(this);
    SettingsStyle::symbol(glass, "magnifyingglass", 14, SettingsStyle::Tint::secondary);
    searchBar->addWidget(glass);
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Search subject, sender, route or prompt"));
    search_->setAccessibleName(QStringLiteral("Search"));
    search_->setClearButtonEnabled(true);
    search_->setMaxLength(std::numeric_limits<int>::max());
    searchBar->addWidget(search_, 1);
    count_ = new QLabel(this);
    count_->setFont(SettingsStyle::tabularDigits(SettingsStyle::callout(font())));
    searchBar->addWidget(count_);
    layout->addLayout(searchBar);

    body_ = new QStackedWidget(this);
    message_ = new QLabel(body_);
    message_->setAlignment(Qt::AlignCenter);
    message_->setTextFormat(Qt::PlainText);
    SettingsStyle::tint(message_, SettingsStyle::Tint::secondary);
    body_->addWidget(message_);
    table_ = new QTableView(body_);
    table_->setModel(model_);
    table_->setItemDelegate(new CellDelegate(table_));
    table_->setAccessibleName(QStringLiteral("Activity"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    table_->setMouseTracking(true);
    table_->verticalHeader()->hide();
    // Fixed row heights and column widths: a long log never has its rows measured.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 10);
    auto* header = table_->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(90);
    for (int column : {Column::subject, Column::from, Column::route})
        header->setSectionResizeMode(column, QHeaderView::Stretch);
    header->setSectionResizeMode(Column::date, QHeaderView::Interactive);
    header->resizeSection(Column::date, dateColumnWidth(table_->font()));
    // The header knows one minimum for all columns; the date column keeps its own range.
    connect(header, &QHeaderView::sectionResized, this, [header](int column, int, int size) {
        if (column == Column::date && (size < dateMinimum || size > dateMaximum))
            header->resizeSection(column, std::clamp(size, dateMinimum, dateMaximum));
    });
    header->setSectionResizeMode(Column::prompt, QHeaderView::Interactive);
    header->resizeSection(Column::prompt, 120);
    body_->addWidget(table_);
    layout->addWidget(body_, 1);

    auto* footer = new QHBoxLayout;
    auto* note = new QLabel(QStringLiteral("Stored only on this Mac. Click a subject to open the email in Mail, or a "
                                           "route to open its chat in Claude."),
                            this);
    note->setWordWrap(true);
    note->setFont(SettingsStyle::caption(font()));
    SettingsStyle::tint(note, SettingsStyle::Tint::secondary);
    footer->addWidget(note, 1);
    auto* reveal = new QPushButton(QStringLiteral("Show Log File"), this);
    clear_ = new QPushButton(QStringLiteral("Clear Log…"), this);
    footer->addWidget(reveal);
    footer->addWidget(clear_);
    layout->addLayout(footer);

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) { model_->setQuery(text.toStdString()); });
    connect(model_, &ActivityTableModel::filtered, this, &ActivityTab::refresh);
    connect(table_, &QTableView::clicked, this, &ActivityTab::open);
    connect(table_, &QTableView::entered, this, [this](const QModelIndex& index) {
        const bool link = Style(index.data(ActivityTableModel::styleRole).toInt()) == Style::link;
        table_->viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    });
    connect(reveal, &QPushButton::clicked, this, [this] { context_.activity.revealInFinder(context_.services.workspace); });
    connect(clear_, &QPushButton::clicked, this, &ActivityTab::confirmClear);
    table_->installEventFilter(this);
    setTabOrder(search_, table_);
    setTabOrder(table_, reveal);
    setTabOrder(reveal, clear_);
    refresh();
}

ActivityTab::~ActivityTab() = default;

void ActivityTab::refresh() {
    const QString count = QString::fromStdString(model_->countText());
    count_->setText(count);
    count_->setAccessibleName(count);
    const std::string message = model_->message();
    message_->setText(QString::fromStdString(message));
    body_->setCurrentWidget(message.empty() ? static_cast<QWidget*>(table_) : message_);
    clear_->setEnabled(!context_.activity.entries().empty());
}

bool ActivityTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && table_->currentIndex().isValid()) {
            open(table_->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ActivityTab::open(const QModelIndex& index) {
    if (!index.isValid() || Style(index.data(ActivityTableModel::styleRole).toInt()) != Style::link)
        return;
    const ActivityEntry& entry = model_->entry(index.row());
    if (index.column() == Column::subject) {
        if (const auto link = entry.mailURL())
            context_.services.workspace.openURL(*link);
    } else if (index.column() == Column::route) {
        openChat(context_.services.claude(), context_.ui, entry.destination->target());
    }
}

QCoro::Task<void> ActivityTab::openChat(ClaudePlatform platform, ShellUI& ui, ChatTarget target) {
    std::optional<std::string> failure;
    try {
        co_await ClaudeBridge::reveal(platform, std::move(target));
    } catch (const UserError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (failure) {
        ui.activateApplication();
        ui.showAlert("Tovrin", *failure);
    }
}

void ActivityTab::confirmClear() {
    // Cancel first, so it is the default button: Return alone never empties the log.
    const std::vector<std::string> buttons{"Cancel", "Clear Log"};
    if (context_.ui.runAlert("Clear the activity log?",
                             "This only removes the list in this app. Your emails and Claude chats are not touched.",
                             buttons) == 1)
        context_.activity.clear();
}

} // namespace pellora
