#include "MenuPanel.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/MenuPanelButton.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "Pellora/Shell/MenuPanelRow.h"

namespace pellora {
namespace {

constexpr int margin = 12;

// Remembers a widget's fade, to draw it again when the appearance changes.
constexpr const char* fadeProperty = "secondaryOpacity";

// Text (and lines) in the panel's text colour at `opacity`: the secondary style.
void fade(QWidget* widget, double opacity, const QPalette& panel) {
    widget->setProperty(fadeProperty, opacity);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, Brand::withOpacity(panel.color(QPalette::WindowText), opacity));
    widget->setPalette(palette);
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    fade(line, 0.15, parent->palette());
    return line;
}

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    fade(label, 0.6, parent->palette());
    return label;
}

QFont scaled(QFont font, double factor, QFont::Weight weight = QFont::Normal) {
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

} // namespace

MenuPanel::MenuPanel(MenuPanelModel& model, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), model_(model) {
    // A click on the status icon while the panel is open only closes it; without this Qt
    // would pass the click on and the icon would open the panel again at once.
    setAttribute(Qt::WA_NoMouseReplay);
    setWindowTitle("Tovrin");
    setAccessibleName("Tovrin");
    setFixedWidth(panelWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin - 4);
    layout->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    icon_ = new QLabel(this);
    icon_->setPixmap(Brand::applicationIcon().pixmap(26, 26));
    icon_->setFixedSize(26, 26);
    icon_->setAccessibleName("Tovrin");
    header->addWidget(icon_);
    auto* title = new QLabel(QString::fromUtf8(MenuPanelModel::title.data(), qsizetype(MenuPanelModel::title.size())), this);
    title->setFont(scaled(font(), 1.1, QFont::DemiBold));
    header->addWidget(title);
    header->addStretch(1);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0); // indeterminate
    progress_->setTextVisible(false);
    progress_->setFixedSize(36, 6);
    progress_->setAccessibleName("Sending");
    header->addWidget(progress_);
    status_ = secondaryLabel({}, this);
    status_->setFont(scaled(font(), 0.85));
    header->addWidget(status_);
    layout->addLayout(header);

    layout->addWidget(divider(this));
    auto* section = secondaryLabel(
        QString::fromUtf8(MenuPanelModel::sectionLabel.data(), qsizetype(MenuPanelModel::sectionLabel.size())), this);
    section->setFont(scaled(font(), 0.9, QFont::Medium));
    layout->addWidget(section);

    rows_ = new QVBoxLayout;
    rows_->setSpacing(2);
    layout->addLayout(rows_);

    layout->addWidget(divider(this));
    footer_ = new QWidget(this);
    auto* footerLayout = new QHBoxLayout(footer_);
    footerLayout->setContentsMargins(0, 0, 0, 0);
    footerLayout->setSpacing(2);
    for (const auto& button : MenuPanelModel::footer()) {
        if (button.afterSpace)
            footerLayout->addStretch(1);
        auto* widget = new MenuPanelButton(button, footer_);
        connect(widget, &QAbstractButton::clicked, this, [this, which = button.button] { model_.press(which); });
        footerLayout->addWidget(widget);
    }
    layout->addWidget(footer_);

    connect(&model_, &MenuPanelModel::changed, this, &MenuPanel::rebuild);
    rebuild();
}

void MenuPanel::rebuild() {
    status_->setText(QString::fromStdString(model_.status()));
    progress_->setVisible(model_.showsProgress());

    // Later, not now: a change can arrive while one of these rows is handling its click.
    while (QLayoutItem* item = rows_->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const auto rows = model_.rows();
    if (rows.empty()) {
        auto* empty = secondaryLabel(
            QString::fromUtf8(MenuPanelModel::emptyText.data(), qsizetype(MenuPanelModel::emptyText.size())), this);
        empty->setWordWrap(true);
        rows_->addWidget(empty);
        empty->show();
    }
    QWidget* previous = nullptr;
    for (const auto& row : rows) {
        auto* widget = new MenuPanelRow(row, this);
        connect(widget, &QAbstractButton::clicked, this, [this, action = row.action] { model_.choose(action); });
        rows_->addWidget(widget);
        widget->show(); // at once, also while the panel is open
        // Tab goes down the rows, then along the footer.
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    if (previous)
        setTabOrder(previous, footer_);
    adjustSize();
}

QPoint MenuPanel::placement(const QRect& anchor, const QRect& screen, const QSize& size) {
    QPoint position;
    if (anchor.isValid() && !anchor.isEmpty()) {
        position = QPoint(anchor.x() + anchor.width() / 2 - size.width() / 2, anchor.bottom() + 1 + 4);
        // A tray at the bottom of the screen: above the icon, so the panel never covers it.
        if (position.y() + size.height() > screen.bottom() + 1)
            position.setY(anchor.top() - 4 - size.height());
    } else {
        position = QPoint(screen.right() + 1 - size.width() - 8, screen.top() + 4);
    }
    position.setX(std::clamp(position.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
    position.setY(std::clamp(position.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    return position;
}

void MenuPanel::popUp(const QRect& anchor) {
    adjustSize();
    QScreen* screen = anchor.isValid() ? QGuiApplication::screenAt(anchor.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    move(placement(anchor, area, size()));
    show();
    raise();
    activateWindow();
}

void MenuPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange)
        return;
    // A faded colour was worked out from the old appearance's text colour: again, from the new.
    icon_->setPixmap(Brand::applicationIcon().pixmap(26, 26));
    for (QWidget* child : findChildren<QWidget*>())
        if (const QVariant opacity = child->property(fadeProperty); opacity.isValid())
            fade(child, opacity.toDouble(), palette());
}

void MenuPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MenuPanel::paintEvent(QPaintEvent*) {
    // Square corners: without a compositor, see-through corners would come out black.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.25f);
    painter.setPen(edge);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace pellora
