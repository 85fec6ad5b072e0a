#pragma once

#include <QObject>

namespace pellora {

// State shared with the menu panel: whether a send is running.
class MenuState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool busy() const { return busy_; }
    void setBusy(bool busy);

signals:
    void busyChanged(bool busy);

private:
    bool busy_ = false;
};

} // namespace pellora
