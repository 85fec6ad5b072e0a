#pragma once

#include <QTimer>
#include <QWidget>

namespace pellora {

// A small spinning progress indicator; it turns only while visible.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(int size = 16, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int size_;
    int angle_ = 0;
    QTimer timer_;
};

} // namespace pellora
