#include "LocalPromiseBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {

const char* const LocalPromiseBanner::heading = "Your emails never leave your Mac";
const char* const LocalPromiseBanner::body =
    "Your emails, attachments and prompts are never sent to the developer or to any server of ours. "
    "They go straight from Mail into the Claude app on this Mac, and nowhere else. Once they are in "
    "Claude, Claude handles them under its own terms, exactly as if you had pasted them yourself.";

LocalPromiseBanner::LocalPromiseBanner(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);

    auto* shield = new QLabel(this);
    shield->setPixmap(Symbols::tinted("lock.shield.fill", 28, Brand::accent(palette()), devicePixelRatioF()));
    shield->setAccessibleName(QStringLiteral("Shield"));
    row->addWidget(shield, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* title = new QLabel(QString::fromUtf8(heading), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* text = new QLabel(QString::fromUtf8(body), this);
    text->setWordWrap(true);
    texts->addWidget(title);
    texts->addWidget(text);
    row->addLayout(texts, 1);

    setAccessibleName(QString::fromUtf8(heading));
    setAccessibleDescription(QString::fromUtf8(body));
}

} // namespace pellora
