#include "UpdateProgressWindow.h"

#include <cmath>

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace pellora {
namespace {

constexpr int barSteps = 1000;

} // namespace

UpdateProgressWindow::UpdateProgressWindow(const std::string& version)
    : panel_(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::CustomizeWindowHint |
                                                                         Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)) {
    panel_->setWindowTitle(QStringLiteral("Updating Tovrin"));
    panel_->setAccessibleName(QStringLiteral("Updating Tovrin"));
    panel_->setFixedSize(360, 96);

    label_ = new QLabel(panel_.get());
    label_->setAccessibleName(QStringLiteral("Update status"));
    bar_ = new QProgressBar(panel_.get());
    bar_->setAccessibleName(QStringLiteral("Update progress"));
    bar_->setFixedWidth(320);
    bar_->setTextVisible(false);

    auto* layout = new QVBoxLayout(panel_.get());
    layout->setContentsMargins(20, 18, 20, 18);
    layout->setSpacing(10);
    layout->addWidget(label_, 0, Qt::AlignLeft);
    layout->addWidget(bar_, 0, Qt::AlignLeft);
    layout->addStretch();
    show(UpdateProgress(version));
}

UpdateProgressWindow::~UpdateProgressWindow() = default;

void UpdateProgressWindow::show(const UpdateProgress& progress) {
    label_->setText(QString::fromStdString(progress.label()));
    if (progress.determinate()) {
        bar_->setRange(0, barSteps);
        bar_->setValue(int(std::lround(progress.fraction() * barSteps)));
    } else {
        bar_->setRange(0, 0); // a busy bar
    }
}

void UpdateProgressWindow::present() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        panel_->move(area.center() - panel_->rect().center());
    }
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
}

void UpdateProgressWindow::hide() { panel_->hide(); }

} // namespace pellora
