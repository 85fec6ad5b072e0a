#include "FormSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Pellora/Settings/RouteStyle.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Brand.h"

namespace pellora {
namespace {

// The rounded box behind a section's rows: a shade lighter than the window in the dark
// appearance, the base colour in the light one.
class Box : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette& colors = palette();
        const bool dark = Brand::isDark(colors);
        const QColor fill = dark ? colors.color(QPalette::Window).lighter(125) : colors.color(QPalette::Base);
        QPainterPath box;
        box.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(box, fill);
        painter.setPen(QPen(Brand::withOpacity(colors.color(QPalette::WindowText), dark ? 0.12 : 0.10), 1));
        painter.drawPath(box);
        // Lines between rows, inset from the leading edge.
        const auto* rows = layout();
        painter.setPen(QPen(Brand::withOpacity(colors.color(QPalette::WindowText), 0.10), 1));
        for (int i = 1; rows && i < rows->count(); ++i) {
            const QWidget* row = rows->itemAt(i)->widget();
            if (!row || !row->isVisible())
                continue;
            const qreal y = row->geometry().top() - 0.5;
            painter.drawLine(QPointF(12, y), QPointF(width() - 12, y));
        }
    }
};

} // namespace

FormSection::FormSection(const QString& header, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!header.isEmpty()) {
        header_ = new QLabel(header, this);
        header_->setFont(SettingsStyle::headline(font()));
        header_->setContentsMargins(4, 0, 0, 0);
        header_->setAccessibleName(header);
        layout->addWidget(header_);
    }
    box_ = new Box(this);
    rows_ = new QVBoxLayout(box_);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(1);
    layout->addWidget(box_);
    footer_ = new QLabel(this);
    footer_->setWordWrap(true);
    footer_->setFont(SettingsStyle::caption(font()));
    footer_->setContentsMargins(4, 0, 4, 0);
    footer_->setTextFormat(Qt::PlainText);
    footer_->hide();
    SettingsStyle::tint(footer_, SettingsStyle::Tint::secondary);
    layout->addWidget(footer_);
}

QWidget* FormSection::addRow(const QString& label, QWidget* field) {
    auto* row = new QWidget(box_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(8);
    auto* name = new QLabel(label, row);
    name->setTextFormat(Qt::PlainText);
    name->setBuddy(field);
    layout->addWidget(name);
    layout->addStretch(1);
    layout->addWidget(field);
    if (field->accessibleName().isEmpty())
        field->setAccessibleName(label);
    rows_->addWidget(row);
    return row;
}

void FormSection::addRow(QWidget* content) {
    auto* row = new QWidget(box_);
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    content->setParent(row);
    layout->addWidget(content);
    rows_->addWidget(row);
}

void FormSection::addButton(QWidget* button) {
    auto* row = new QWidget(box_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button);
    layout->addStretch(1);
    addRow(row);
}

QVBoxLayout* FormSection::makeForm(QWidget* tab, QMargins margins) {
    QVBoxLayout* sections = nullptr;
    auto* scroll = RouteStyle::scrollingPage(tab, sections);
    scroll->viewport()->setAutoFillBackground(false);
    auto* outer = new QVBoxLayout(tab);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    sections->setContentsMargins(margins);
    return sections;
}

void FormSection::setFooter(const QString& text) {
    footer_->setText(text);
    footer_->setVisible(!text.isEmpty());
}

} // namespace pellora
