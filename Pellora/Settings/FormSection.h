#pragma once

#include <QFrame>
#include <QMargins>
#include <QString>

class QLabel;
class QVBoxLayout;

namespace pellora {

// One section of a grouped form: an optional header, a rounded box of rows divided by thin
// lines, and an optional footer note below the box.
class FormSection : public QWidget {
    Q_OBJECT
public:
    explicit FormSection(const QString& header = {}, QWidget* parent = nullptr);

    // A row with `label` on the leading side and `field` on the trailing side; the label
    // names the field for assistive technology. Returns the row.
    QWidget* addRow(const QString& label, QWidget* field);
    // A row that is all `content`.
    void addRow(QWidget* content);
    // A row holding `button` on the leading side.
    void addButton(QWidget* button);

    // Fills `tab` with a scrolling grouped form and returns the column its sections go in.
    static QVBoxLayout* makeForm(QWidget* tab, QMargins margins);

    void setFooter(const QString& text);
    QLabel* footer() const { return footer_; }
    QLabel* header() const { return header_; }

private:
    QLabel* header_ = nullptr;
    QFrame* box_;
    QVBoxLayout* rows_;
    QLabel* footer_;
};

} // namespace pellora
