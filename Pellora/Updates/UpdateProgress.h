#pragma once

#include <string>

namespace pellora {

// What the update's progress window shows: one line of text and a bar that is determinate
// only once the download has announced its size.
class UpdateProgress {
public:
    explicit UpdateProgress(const std::string& version);

    const std::string& label() const { return label_; }
    bool determinate() const { return determinate_; }
    // 0 to 1; meaningful only while determinate.
    double fraction() const { return fraction_; }

    // A progress report from the download.
    void downloaded(double fraction);
    void verifying();
    void preparing();
    void restarting();

    bool operator==(const UpdateProgress&) const = default;

private:
    void busy(const char* label);

    std::string label_;
    bool determinate_ = false;
    double fraction_ = 0;
};

} // namespace pellora
