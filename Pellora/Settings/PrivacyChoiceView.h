#pragma once

#include <optional>

#include <QDialog>

#include "PelloraCore/AnalyticsChoice.h"

class QPushButton;

namespace pellora {

// The first-run consent window: what the server stores with and without analytics, and the
// two answers. Escape, like closing it without a choice, answers "Don't Share".
class PrivacyChoiceView : public QDialog {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 680;

    explicit PrivacyChoiceView(QWidget* parent = nullptr);

    // The choice made, `notShared` when none was.
    AnalyticsChoice answer() const { return chosen_.value_or(AnalyticsChoice::notShared); }

    // 740, or less on a screen whose visible height leaves under 60 to spare.
    static int windowHeight(std::optional<int> visibleScreenHeight);

    QPushButton* shareButton() const { return share_; }
    QPushButton* dontShareButton() const { return dontShare_; }

private:
    void choose(AnalyticsChoice choice);

    std::optional<AnalyticsChoice> chosen_;
    QPushButton* share_ = nullptr;
    QPushButton* dontShare_ = nullptr;
};

} // namespace pellora
