#include "Config.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "FileContents.h"
#include "JsonFields.h"
#include "Router.h"
#include "Text.h"

namespace pellora {
namespace {

// Shared by the three setters: change one field, drop the entry once nothing differs.
template <class Change> void updateSetting(std::map<std::string, ActionSetting>& actions, Action action, Change change) {
    const std::string key(action.rawValue());
    ActionSetting setting;
    if (const auto found = actions.find(key); found != actions.end())
        setting = found->second;
    change(setting);
    if (setting.isEmpty())
        actions.erase(key);
    else
        actions[key] = std::move(setting);
}

const ActionSetting* settingFor(const std::map<std::string, ActionSetting>& actions, Action action) {
    const auto found = actions.find(std::string(action.rawValue()));
    return found == actions.end() ? nullptr : &found->second;
}

std::filesystem::filesystem_error fileError(const std::string& what, const std::filesystem::path& path, int error) {
    return std::filesystem::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

// Writes `contents` to a fresh 0600 file next to `file` and renames it over `file`, so a
// reader sees either the old document or the whole new one.
void writeAtomically(const std::filesystem::path& file, const std::string& contents) {
    const auto folder = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    std::string pattern = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        throw fileError("cannot create a temporary file", pattern, errno);
    const std::filesystem::path temporary = pattern;
    auto failWith = [&](const std::string& what, int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw fileError(what, temporary, error);
    };
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failWith("cannot write the temporary file", errno);
        }
        data += written;
        left -= std::size_t(written);
    }
    if (::fsync(fd) != 0)
        failWith("cannot flush the temporary file", errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw fileError("cannot close the temporary file", temporary, error);
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw std::filesystem::filesystem_error("cannot replace the file", temporary, file,
                                                std::error_code(error, std::generic_category()));
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

void requireFinite(double value, const char* key) {
    if (!std::isfinite(value))
        throw std::runtime_error(std::string("cannot encode a non-finite number for \"") + key + "\"");
}

} // namespace

// MARK: Loading and saving

Config Config::load(const std::filesystem::path& file) {
    try {
        const auto contents = FileContents::read(file);
        if (!contents)
            return {};
        return nlohmann::json::parse(*contents).get<Config>();
    } catch (const std::exception&) {
        return {};
    }
}

void Config::save(const std::filesystem::path& file) const {
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    requireFinite(openDelay, "openDelay");
    if (analyticsChoiceDate)
        requireFinite(*analyticsChoiceDate, "analyticsChoiceDate");
    if (lastUpdateCheck)
        requireFinite(*lastUpdateCheck, "lastUpdateCheck");
    std::string document;
    try {
        document = nlohmann::json(*this).dump(2);
    } catch (const nlohmann::json::exception& error) {
        // Text that is not valid UTF-8 cannot be written as JSON.
        throw std::runtime_error(std::string("cannot encode the configuration: ") + error.what());
    }
    writeAtomically(file, document);
}

// MARK: Actions

std::string Config::name(Action action) const {
    if (const auto* setting = settingFor(actions, action); setting && setting->name)
        return *setting->name;
    return std::string(action.defaultName());
}

ActionMode Config::mode(Action action) const {
    if (const auto* setting = settingFor(actions, action); setting && setting->mode)
        return *setting->mode;
    return action.defaultMode();
}

std::string Config::instruction(Action action) const {
    if (const auto* setting = settingFor(actions, action); setting && setting->prompt)
        return *setting->prompt;
    return std::string(action.defaultInstruction());
}

bool Config::isConfigured(Action action) const {
    if (Text::trimmedSpaces(name(action)).empty())
        return false;
    if (mode(action) == ActionMode::pasteOnly)
        return true;
    return !Text::trimmed(instruction(action)).empty();
}

void Config::setName(const std::string& newName, Action action) {
    updateSetting(actions, action, [&](ActionSetting& setting) {
        setting.name = newName == action.defaultName() ? std::nullopt : std::optional(newName);
    });
}

void Config::setMode(ActionMode newMode, Action action) {
    updateSetting(actions, action, [&](ActionSetting& setting) {
        setting.mode = newMode == action.defaultMode() ? std::nullopt : std::optional(newMode);
    });
}

void Config::setInstruction(const std::string& prompt, Action action) {
    updateSetting(actions, action, [&](ActionSetting& setting) {
        setting.prompt = prompt == action.defaultInstruction() ? std::nullopt : std::optional(prompt);
    });
}

void Config::resetAction(Action action) { actions.erase(std::string(action.rawValue())); }

// MARK: Routes

void Config::upsert(const Route& route) {
    Route normalized = route;
    normalized.domain = Router::normalizeRule(route.domain);
    std::erase_if(routes, [&](const Route& existing) {
        return existing.matchOn == normalized.matchOn &&
               Router::normalizeRule(existing.domain) == normalized.domain;
    });
    routes.push_back(std::move(normalized));
}

void Config::replace(const Route& old, const Route& updated) {
    Route normalized = updated;
    normalized.domain = Router::normalizeRule(updated.domain);
    const std::string oldID = old.id();
    const auto isOld = [&](const Route& route) { return route.id() == oldID; };
    if (std::find_if(routes.begin(), routes.end(), isOld) == routes.end()) {
        upsert(updated);
        return;
    }
    const std::string newID = normalized.id();
    if (newID != oldID)
        std::erase_if(routes, [&](const Route& route) { return route.id() == newID; });
    *std::find_if(routes.begin(), routes.end(), isOld) = std::move(normalized);
}

// MARK: Counters

bool Config::recordDelivery() {
    if (emailsSent < std::numeric_limits<std::int64_t>::max())
        ++emailsSent;
    if (emailsSent > donateAfterEmails && !donatePromptShown) {
        donatePromptShown = true;
        return true;
    }
    return false;
}

// MARK: JSON

void to_json(nlohmann::json& json, const Config& config) {
    json = nlohmann::json::object();
    nlohmann::json actions = nlohmann::json::object();
    for (const auto& [key, setting] : config.actions)
        actions[key] = setting;
    json["actions"] = std::move(actions);
    json["analyticsChoice"] = config.analyticsChoice;
    if (config.analyticsChoiceDate)
        json["analyticsChoiceDate"] = *config.analyticsChoiceDate;
    json["askForUnknownRoutes"] = config.askForUnknownRoutes;
    json["autoSend"] = config.autoSend;
    json["donatePromptShown"] = config.donatePromptShown;
    json["emailsSent"] = config.emailsSent;
    json["keepActivityLog"] = config.keepActivityLog;
    if (config.lastUpdateCheck)
        json["lastUpdateCheck"] = *config.lastUpdateCheck;
    json["openDelay"] = config.openDelay;
    nlohmann::json routes = nlohmann::json::array();
    for (const auto& route : config.routes)
        routes.push_back(route);
    json["routes"] = std::move(routes);
}

void from_json(const nlohmann::json& json, Config& config) {
    using namespace JsonFields;
    Config result;

    if (const auto* routes = member(json, "routes")) {
        if (!routes->is_array())
            fail(*routes, "expected an array of routes");
        for (const auto& route : *routes)
            result.routes.push_back(route.get<Route>());
    }
    if (const auto* actions = member(json, "actions")) {
        requireObject(*actions);
        for (const auto& [key, setting] : actions->items())
            result.actions[key] = setting.get<ActionSetting>();
    }
    result.autoSend = optionalBoolean(json, "autoSend").value_or(result.autoSend);
    result.askForUnknownRoutes = optionalBoolean(json, "askForUnknownRoutes").value_or(result.askForUnknownRoutes);
    result.keepActivityLog = optionalBoolean(json, "keepActivityLog").value_or(result.keepActivityLog);
    result.openDelay = optionalNumber(json, "openDelay").value_or(result.openDelay);
    result.analyticsChoice = optionalRawValue<AnalyticsChoice>(json, "analyticsChoice").value_or(result.analyticsChoice);
    result.analyticsChoiceDate = optionalNumber(json, "analyticsChoiceDate");
    result.lastUpdateCheck = optionalNumber(json, "lastUpdateCheck");
    result.emailsSent = optionalInteger(json, "emailsSent").value_or(result.emailsSent);
    result.donatePromptShown = optionalBoolean(json, "donatePromptShown").value_or(result.donatePromptShown);

    // Older versions kept the prompts outside "actions": a map by action, and before that a
    // single prompt for replies.
    std::map<std::string, std::string> oldPrompts;
    if (const auto* instructions = member(json, "instructions")) {
        requireObject(*instructions);
        for (const auto& [key, prompt] : instructions->items())
            oldPrompts[key] = string(prompt);
    }
    if (const auto instruction = optionalString(json, "instruction"))
        oldPrompts.try_emplace(std::string(Action(Action::reply).rawValue()), *instruction);
    for (const auto& [key, prompt] : oldPrompts) {
        auto& setting = result.actions[key];
        if (!setting.prompt)
            setting.prompt = prompt;
    }

    config = std::move(result);
}

} // namespace pellora
