#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace pellora::testing {

// Runs `act` on the next modal window once its modal loop is running, so that a test can
// drive a window whose opening call blocks. `act` is expected to end the modal loop; a
// window it leaves open is closed (and the test fails) so that nothing hangs.
inline void whenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
        QApplication::processEvents();
        if (modal->isVisible() && QApplication::activeModalWidget() == modal) {
            ADD_FAILURE() << "the modal window was left open";
            modal->close();
        }
    });
    poll->start();
}

// The child of `root` known by this name: the accessible name it was given, or the name
// assistive technology announces for it.
template <class Widget> Widget* named(const QWidget* root, const QString& name) {
    for (Widget* child : root->findChildren<Widget*>()) {
        const auto* accessible = QAccessible::queryAccessibleInterface(child);
        if (child->accessibleName() == name || (accessible && accessible->text(QAccessible::Name) == name))
            return child;
    }
    return nullptr;
}

// The text a reader sees for `text` shown by a label of this format or a tool tip (which
// reads markup where it guesses there is some).
inline QString shownText(const QString& text, Qt::TextFormat format = Qt::AutoText) {
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}
inline QString shownText(const QLabel* label) { return shownText(label->text(), label->textFormat()); }

// The accessible names of the controls that Tab stops at, starting at `first` and going
// once round its window's focus chain.
inline std::vector<std::string> tabStops(QWidget* first) {
    std::vector<std::string> stops;
    QWidget* widget = first;
    do {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
            stops.push_back(widget->accessibleName().toStdString());
        widget = widget->nextInFocusChain();
    } while (widget && widget != first);
    return stops;
}

} // namespace pellora::testing
