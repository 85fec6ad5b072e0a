#include "PrivacyChoice.h"

#include <QGuiApplication>
#include <QScreen>

#include "Pellora/Settings/PrivacyChoiceView.h"

namespace pellora::PrivacyChoice {

AnalyticsChoice ask() {
    PrivacyChoiceView view;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        view.move(screen->availableGeometry().center() - view.rect().center());
    view.show();
    view.raise();
    view.activateWindow();
    view.exec();
    return view.answer();
}

} // namespace pellora::PrivacyChoice
