#pragma once
// NotificationCenter: named in-process notifications with a small user-info
// map and, where a notification has a typed value of its own (a render's
// progress), that value as its payload; posted synchronously on the posting
// thread.
//
// Threads: any thread may post, add or remove observers. A post calls the
// observers registered at that moment, outside the centre's lock, on the
// posting thread; an observer that must touch widgets hands the work to the
// GUI thread itself. Observers are owned by the ObserverToken that
// addObserver returns: destroying the token unregisters the observer (and
// waits for nothing: a post already running may still call it once).

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tintreel {

using UserInfoValue = std::variant<float, std::string>;
using UserInfo = std::map<std::string, UserInfoValue>;

struct Notification {
    std::string name;
    std::optional<UserInfo> userInfo;
    std::any payload = {};  // empty unless the poster attached a typed value

    // The payload when it holds a T, else null.
    template <typename T>
    const T* payloadAs() const {
        return std::any_cast<T>(&payload);
    }

    // The value under key when it holds a T, else nothing.
    template <typename T>
    std::optional<T> value(const std::string& key) const {
        if (!userInfo) return std::nullopt;
        auto it = userInfo->find(key);
        if (it == userInfo->end() || !std::holds_alternative<T>(it->second)) return std::nullopt;
        return std::get<T>(it->second);
    }
};

class NotificationCenter;

class ObserverToken {
public:
    ObserverToken() = default;
    ObserverToken(ObserverToken&&) noexcept;
    ObserverToken& operator=(ObserverToken&&) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    ~ObserverToken();

    void reset();

private:
    friend class NotificationCenter;
    ObserverToken(NotificationCenter* center, std::uint64_t id) : center_(center), id_(id) {}
    NotificationCenter* center_ = nullptr;
    std::uint64_t id_ = 0;
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    // The process-wide centre (created on first use, thread-safe).
    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    [[nodiscard]] ObserverToken addObserver(std::string name, Observer observer);
    void post(const std::string& name, std::optional<UserInfo> userInfo = std::nullopt,
              std::any payload = {}) const;

private:
    friend class ObserverToken;
    struct Registration {
        std::uint64_t id;
        std::string name;
        std::shared_ptr<Observer> observer;
    };
    void remove(std::uint64_t id);

    mutable std::mutex mutex_;
    std::vector<Registration> registrations_;
    std::uint64_t nextId_ = 1;
};

}  // namespace tintreel
