#pragma once

#include <filesystem>
#include <vector>

#include <QWidget>

#include "Pellora/Platform/Sim/SimMailFolder.h"

class QLabel;
class QPushButton;
class QTextBrowser;
class QTreeWidget;

namespace pellora {

class SimMail;

// The "Mail" window of the simulated desktop: the messages of a folder of .eml files, newest
// first, with the selected one's content below. What is selected here is what SimMail answers
// to the reader's script.
class SimMailWindow : public QWidget {
    Q_OBJECT
public:
    explicit SimMailWindow(SimMail& mail, QWidget* parent = nullptr);

    // Lists the folder's messages and selects the newest.
    void openFolder(const std::filesystem::path& folder);
    const std::filesystem::path& folder() const { return folder_; }
    const std::vector<SimMailFolder::Message>& messages() const { return messages_; }
    QTreeWidget* list() const { return list_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFolder();
    void chooseFolder();
    void selectionChanged();

    SimMail& mail_;
    std::filesystem::path folder_;
    std::vector<SimMailFolder::Message> messages_;
    QLabel* folderLabel_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QTextBrowser* preview_ = nullptr;
};

} // namespace pellora
