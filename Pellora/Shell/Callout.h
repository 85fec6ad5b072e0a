#pragma once

#include <QFrame>

namespace pellora {

// A boxed note: its content padded by 12 on every side, the full available width, on a
// rounded rectangle (radius 10) of the accent colour at 10 % opacity.
class Callout : public QFrame {
    Q_OBJECT
public:
    // Takes ownership of `content`; it fills the box, its own contents aligned to the leading edge.
    explicit Callout(QWidget* content, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace pellora
