#pragma once

#include "Pellora/Settings/FormSection.h"

namespace pellora {

class Workspace;

// The General tab's last section: a request for support with a button that opens the
// donation link in the browser.
class DonateSection : public FormSection {
    Q_OBJECT
public:
    explicit DonateSection(Workspace& workspace, QWidget* parent = nullptr);
};

} // namespace pellora
