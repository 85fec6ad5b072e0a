#include "ActivityTableModel.h"

#include <numeric>

#include "Pellora/Shell/ActivityStore.h"
#include "PelloraCore/ActivitySearch.h"

namespace pellora {
namespace {

// Cells show one line; a text that long could never be seen whole in one anyway, and
// measuring it on every paint would stall scrolling.
constexpr qsizetype shownCharacters = 500;
// Tool tips show the whole text up to a size a tip can usefully hold.
constexpr qsizetype tipCharacters = 2000;

QString cut(QString text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    qsizetype end = limit;
    if (text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

QString oneLine(const std::string& text) {
    QString line = cut(QString::fromStdString(text), shownCharacters);
    for (QChar& c : line)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return line;
}

} // namespace

ActivityTableModel::ActivityTableModel(ActivityStore& store, const std::string& locale, std::string_view timeZone,
                                       QObject* parent)
    : QAbstractTableModel(parent), store_(store), dates_(locale, timeZone) {
    refilter();
    connect(&store_, &ActivityStore::entriesChanged, this, &ActivityTableModel::refilter);
}

ActivityTableModel::~ActivityTableModel() = default;

int ActivityTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int ActivityTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns; }

void ActivityTableModel::setQuery(const std::string& query) {
    query_ = query;
    refilter();
}

void ActivityTableModel::refilter() {
    beginResetModel();
    const auto& entries = store_.entries();
    rows_.clear();
    const ActivitySearch search(query_);
    if (search.words().empty()) {
        rows_.resize(entries.size());
        std::iota(rows_.begin(), rows_.end(), 0u);
    } else {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (search.matches(entries[i]))
                rows_.push_back(std::uint32_t(i));
    }
    endResetModel();
    emit filtered();
}

std::string ActivityTableModel::countText() const {
    return std::to_string(rows_.size()) + " of " + std::to_string(store_.entries().size());
}

std::string ActivityTableModel::message() const {
    if (store_.entries().empty())
        return "Nothing here yet.\nEmails you send to Claude are listed here.";
    if (rows_.empty())
        return "No matches.";
    return {};
}

const ActivityEntry& ActivityTableModel::entry(int row) const { return store_.entries()[rows_.at(std::size_t(row))]; }

std::string ActivityTableModel::text(int row, Column column) const {
    const ActivityEntry& shown = entry(row);
    switch (column) {
    case date: return dates_.abbreviated(shown.date);
    case subject: return shown.subject.empty() ? "(no subject)" : shown.subject;
    case from: return shown.sender;
    case route: return shown.routeText();
    case prompt: return shown.prompt.empty() ? "Pasted the email only" : shown.prompt;
    }
    return {};
}

ActivityTableModel::Style ActivityTableModel::style(int row, Column column) const {
    const ActivityEntry& shown = entry(row);
    switch (column) {
    case date: return Style::secondary;
    case subject: return shown.mailURL() ? Style::link : Style::plain;
    case route: return shown.canOpenChat() ? Style::link : Style::secondary;
    case prompt: return shown.prompt.empty() ? Style::secondary : Style::plain;
    default: return Style::plain;
    }
}

std::string ActivityTableModel::toolTip(int row, Column column) const {
    switch (column) {
    case subject: return style(row, column) == Style::link ? "Open this email in Mail" : "";
    case route: return style(row, column) == Style::link ? "Open this chat or project in Claude" : "";
    case prompt: return text(row, column);
    default: return {};
    }
}

QVariant ActivityTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columns)
        return {};
    const int row = index.row();
    const auto column = Column(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return oneLine(text(row, column));
    case Qt::ToolTipRole: {
        const std::string tip = toolTip(row, column);
        if (tip.empty())
            return {};
        // Rich text by choice, so that nothing in a prompt is ever read as markup.
        return QStringLiteral("<p style='white-space:pre-wrap'>") +
               cut(QString::fromStdString(tip), tipCharacters).toHtmlEscaped() + QStringLiteral("</p>");
    }
    case Qt::AccessibleDescriptionRole: {
        const std::string tip = toolTip(row, column);
        return tip.empty() ? QVariant() : QVariant(cut(QString::fromStdString(tip), tipCharacters));
    }
    case styleRole: return int(style(row, column));
    default: return {};
    }
}

QVariant ActivityTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {"Date", "Subject", "From", "Claude route", "Prompt"};
    return section >= 0 && section < columns ? QString::fromUtf8(titles[section]) : QVariant();
}

} // namespace pellora
