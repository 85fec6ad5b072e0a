#pragma once

#include <memory>
#include <string>

#include "Pellora/Updates/UpdateProgress.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace pellora {

// The small floating window that follows an update from download to restart: "Updating
// Tovrin", one line of text above a progress bar. Built once per install; hiding keeps it.
class UpdateProgressWindow {
public:
    explicit UpdateProgressWindow(const std::string& version);
    ~UpdateProgressWindow();

    // Shows what `progress` says; it starts with the download's first line.
    void show(const UpdateProgress& progress);

    // Centres the panel on the screen and shows it in front, as the key window.
    void present();
    void hide();

    QWidget* panel() const { return panel_.get(); }
    QLabel* label() const { return label_; }
    QProgressBar* bar() const { return bar_; }

private:
    std::unique_ptr<QWidget> panel_;
    QLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
};

} // namespace pellora
