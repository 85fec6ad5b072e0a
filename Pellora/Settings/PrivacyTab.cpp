#include "PrivacyTab.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pellora {

// Stands in until the tab is built.
PrivacyTab::PrivacyTab(SettingsContext&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Not available yet"), this), 0, Qt::AlignCenter);
}

} // namespace pellora
