#include "RoutesTab.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pellora {

// Stands in until the tab is built.
RoutesTab::RoutesTab(SettingsContext&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Not available yet"), this), 0, Qt::AlignCenter);
}

} // namespace pellora
