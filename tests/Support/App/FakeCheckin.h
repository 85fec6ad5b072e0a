#pragma once

#include <deque>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Updates/InstallPipeline.h"
#include "Pellora/Updates/UpdateManager.h"

namespace pellora::testing {

// The check-in server in virtual time: answers from a script, after the reply's delay, and
// records what it was sent and when.
struct FakeServer {
    struct Reply {
        double delay = 0;
        std::optional<CheckinResponse> response = CheckinResponse{};
        std::exception_ptr error = nullptr;
    };
    static Reply after(double delay) { return {delay}; }
    static Reply failing(std::exception_ptr error) { return {0, std::nullopt, std::move(error)}; }
    static Reply offering(UpdateInfo update) { return {0, CheckinResponse{std::nullopt, std::move(update)}}; }

    explicit FakeServer(VirtualClock& clock) : clock(clock) {}

    VirtualClock& clock;
    std::deque<Reply> replies;
    std::vector<CheckinRequest> requests;
    std::vector<double> sentAt;

    UpdateManager::Sender sender() {
        return [this](CheckinRequest request, CancelToken cancel) { return answer(this, std::move(request), cancel); };
    }

private:
    static QCoro::Task<CheckinResponse> answer(FakeServer* server, CheckinRequest request, CancelToken cancel) {
        server->requests.push_back(request);
        server->sentAt.push_back(server->clock.now().count());
        Reply reply;
        if (!server->replies.empty()) {
            reply = server->replies.front();
            server->replies.pop_front();
        }
        if (reply.delay > 0)
            co_await server->clock.sleep(Clock::Duration(reply.delay), cancel);
        if (reply.error)
            std::rethrow_exception(reply.error);
        co_return *reply.response;
    }
};

// Records what it was asked to install and whether the manager was busy then; reports
// `failure` as the status when set.
struct FakeInstaller : InstallPipeline {
    UpdateManager* manager = nullptr;
    std::string failure;
    std::vector<std::pair<UpdateInfo, bool>> installs;

    QCoro::Task<void> install(const UpdateInfo& update, std::function<void(const std::string&)> setStatus) override {
        installs.emplace_back(update, manager && manager->busy());
        if (!failure.empty())
            setStatus(failure);
        co_return;
    }
};

} // namespace pellora::testing
