#pragma once

#include <QCheckBox>

namespace pellora {

// An on/off switch with its label on the leading side and the switch at the trailing edge,
// as in the platform's forms. A check box underneath, so keyboard and assistive technology
// treat it as one.
class SwitchButton : public QCheckBox {
    Q_OBJECT
public:
    explicit SwitchButton(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;
};

} // namespace pellora
