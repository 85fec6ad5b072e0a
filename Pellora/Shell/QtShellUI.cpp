#include "QtShellUI.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Settings/PrivacyChoice.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Donate.h"
#include "Pellora/Shell/QtStatusBar.h"
#include "Pellora/Shell/RouteChooser.h"

namespace pellora {
namespace {

// A message box that comes to the front when shown and that closing (the window's close
// button or Escape) ends without a choice, whatever its buttons are.
class AlertBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedWithoutChoice = false;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        raise();
        activateWindow();
    }
    void closeEvent(QCloseEvent* event) override {
        closedWithoutChoice = true;
        event->accept();
        done(-1);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            closedWithoutChoice = true;
            done(-1);
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

} // namespace

QtShellUI::QtShellUI(AppServices services, QtStatusBar& statusBar) : services_(services), statusBar_(statusBar) {}

void QtShellUI::beep() { QApplication::beep(); }

void QtShellUI::activateApplication() {
    // No Dock to click: bring forward whatever of ours is modal or active.
    QWidget* window = QApplication::activeModalWidget();
    if (!window)
        window = QApplication::activeWindow();
    if (window) {
        window->raise();
        window->activateWindow();
    }
}

void QtShellUI::showAlert(const std::string& message, const std::string& informativeText) {
    const std::vector<std::string> buttons{"OK"};
    runAlert(message, informativeText, buttons);
}

int QtShellUI::runAlert(const std::string& message, const std::string& informativeText,
                        const std::vector<std::string>& buttons) {
    AlertBox box;
    box.setWindowTitle("Tovrin");
    box.setIconPixmap(Brand::applicationIcon().pixmap(64, 64));
    // Plain text: a message may hold "<address>" and must not be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(message));
    box.setInformativeText(QString::fromStdString(informativeText));
    if (auto* informative = box.findChild<QLabel*>("qt_msgbox_informativelabel"))
        informative->setTextFormat(Qt::PlainText);
    // The message is the alert's heading, bold as a Mac alert sets it, above the plain text.
    if (auto* heading = box.findChild<QLabel*>("qt_msgbox_label")) {
        QFont font = heading->font();
        font.setBold(true);
        heading->setFont(font);
    }
    std::vector<QAbstractButton*> added;
    for (const auto& title : buttons) {
        // One role for all keeps them in the order given.
        QPushButton* button = box.addButton(QString::fromStdString(title), QMessageBox::ActionRole);
        if (added.empty())
            box.setDefaultButton(button);
        added.push_back(button);
    }
    box.exec();
    if (box.closedWithoutChoice)
        return -1;
    for (std::size_t index = 0; index < added.size(); ++index)
        if (box.clickedButton() == added[index])
            return int(index);
    return -1;
}

ChooserResult QtShellUI::askForRoute(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt) {
    const ClaudePlatform claude = services_.claude();
    return RouteChooser::ask(suggestion, previewPrompt, [claude] { return ClaudeSidebar::chatTitles(claude); });
}

void QtShellUI::showDonateDialog() { Donate::showDialog(*this, services_.workspace); }

AnalyticsChoice QtShellUI::askPrivacyChoice() { return PrivacyChoice::ask(); }

void QtShellUI::setStatusItemOpacity(double opacity) { statusBar_.setOpacity(opacity); }

} // namespace pellora
