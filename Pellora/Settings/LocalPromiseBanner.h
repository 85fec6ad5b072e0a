#pragma once

#include <QWidget>

namespace pellora {

// The promise that emails stay on this computer: a shield beside a heading and its text.
class LocalPromiseBanner : public QWidget {
    Q_OBJECT
public:
    explicit LocalPromiseBanner(QWidget* parent = nullptr);

    static const char* const heading;
    static const char* const body;
};

} // namespace pellora
