#include "SimMailWindow.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "Pellora/Platform/Sim/SimMail.h"

namespace pellora {
namespace {

QString shownDate(const std::optional<std::chrono::sys_seconds>& date) {
    if (!date)
        return {};
    const QDateTime local = QDateTime::fromSecsSinceEpoch(date->time_since_epoch().count()).toLocalTime();
    return QLocale().toString(local, QLocale::ShortFormat);
}

} // namespace

SimMailWindow::SimMailWindow(SimMail& mail, QWidget* parent) : QWidget(parent), mail_(mail) {
    setWindowTitle("Mail");
    setAccessibleName("Mail");

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    folderLabel_ = new QLabel(this);
    folderLabel_->setTextFormat(Qt::PlainText);
    folderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folderLabel_->setAccessibleName("Folder");
    // A deep folder is shortened in the middle rather than widening the window.
    folderLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(folderLabel_, 1);
    openButton_ = new QPushButton("Open Folder…", this);
    openButton_->setAccessibleName("Open Folder");
    connect(openButton_, &QPushButton::clicked, this, &SimMailWindow::chooseFolder);
    bar->addWidget(openButton_);
    layout->addLayout(bar);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    list_ = new QTreeWidget(splitter);
    list_->setAccessibleName("Messages");
    list_->setHeaderLabels({"From", "Subject", "Date"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    list_->setColumnWidth(0, 190);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &SimMailWindow::selectionChanged);
    preview_ = new QTextBrowser(splitter);
    preview_->setAccessibleName("Message");
    splitter->addWidget(list_);
    splitter->addWidget(preview_);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);

    setTabOrder(list_, preview_);
    setTabOrder(preview_, openButton_);
    resize(620, 720);
}

void SimMailWindow::openFolder(const std::filesystem::path& folder) {
    folder_ = folder;
    messages_ = SimMailFolder::read(folder);
    showFolder();
    list_->clear();
    for (const auto& message : messages_) {
        auto* item = new QTreeWidgetItem(list_);
        // The list shows a sender by name, as Mail does; the address is in the tool tip.
        // Tool tips take markup, and these texts come from the messages: escaped.
        const QString sender = QString::fromStdString(message.listing.sender);
        const qsizetype address = sender.lastIndexOf(" <");
        item->setText(0, address > 0 ? sender.left(address) : sender);
        if (!sender.isEmpty())
            item->setToolTip(0, Qt::convertFromPlainText(sender));
        item->setText(1, QString::fromStdString(message.listing.subject));
        item->setText(2, shownDate(message.listing.date));
        if (!message.listing.attachmentNames.empty())
            item->setToolTip(1, Qt::convertFromPlainText("Attachments: " + QString::fromStdString([&] {
                std::string names;
                for (const auto& name : message.listing.attachmentNames)
                    names += (names.empty() ? "" : ", ") + name;
                return names;
            }())));
    }
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
    else
        selectionChanged();
}

void SimMailWindow::showFolder() {
    const QString path = QString::fromStdString(folder_.string());
    folderLabel_->setText(folderLabel_->fontMetrics().elidedText(path, Qt::ElideMiddle, folderLabel_->width()));
    folderLabel_->setToolTip(Qt::convertFromPlainText(path));
}

void SimMailWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showFolder();
}

void SimMailWindow::chooseFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(this, "Open a Folder of .eml Messages",
                                                             QString::fromStdString(folder_.string()));
    if (!chosen.isEmpty())
        openFolder(chosen.toStdString());
}

void SimMailWindow::selectionChanged() {
    // Mail's selection is in the list's order, whatever order the rows were picked in.
    std::vector<std::filesystem::path> selected;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        if (list_->topLevelItem(row)->isSelected())
            selected.push_back(messages_.at(std::size_t(row)).file);
    mail_.setSelection(selected);

    const int current = list_->currentItem() && list_->currentItem()->isSelected()
                            ? list_->indexOfTopLevelItem(list_->currentItem())
                            : -1;
    if (current < 0) {
        preview_->setPlainText(selected.empty() ? "No Message Selected" : "");
        return;
    }
    const auto& listing = messages_.at(std::size_t(current)).listing;
    QString text = "From: " + QString::fromStdString(listing.sender) + "\nSubject: " +
                   QString::fromStdString(listing.subject) + "\nDate: " + shownDate(listing.date) + "\n\n" +
                   QString::fromStdString(listing.content);
    if (!listing.attachmentNames.empty()) {
        text += "\n\nAttachments:";
        for (const auto& name : listing.attachmentNames)
            text += "\n  • " + QString::fromStdString(name);
    }
    preview_->setPlainText(text);
}

} // namespace pellora
