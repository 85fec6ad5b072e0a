#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "PelloraCore/DateFormatter.h"

namespace pellora {

class ActivityStore;
struct ActivityEntry;

// The Activity tab's table: the store's entries (newest first) that match the search, in five
// columns, with the count and the note shown instead of an empty table. Follows the store.
class ActivityTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { date, subject, from, route, prompt };
    static constexpr int columns = 5;
    // How a cell is drawn.
    enum class Style { plain, secondary, link };
    static constexpr int styleRole = Qt::UserRole + 1;

    // Dates are written for `locale` (a BCP 47 name) in `timeZone` (empty: the system's).
    explicit ActivityTableModel(ActivityStore& store, const std::string& locale, std::string_view timeZone = {},
                                QObject* parent = nullptr);
    ~ActivityTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Filters the entries again; every change of the search text does.
    void setQuery(const std::string& query);
    const std::string& query() const { return query_; }

    // "<shown> of <all>".
    std::string countText() const;
    // The text shown instead of the table, or empty when the table shows.
    std::string message() const;

    const ActivityEntry& entry(int row) const;
    // A cell's whole text, its style and its tool tip (empty for none).
    std::string text(int row, Column column) const;
    Style style(int row, Column column) const;
    std::string toolTip(int row, Column column) const;

signals:
    // The rows were filtered again (the count and the note may have changed).
    void filtered();

private:
    void refilter();

    ActivityStore& store_;
    std::string query_;
    std::vector<std::uint32_t> rows_; // indices into the store's entries
    DateFormatter dates_;
};

} // namespace pellora
