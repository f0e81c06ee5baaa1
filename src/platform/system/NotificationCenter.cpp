#include "platform/system/NotificationCenter.h"

#include <algorithm>

namespace tintreel {

ObserverToken::ObserverToken(ObserverToken&& other) noexcept : center_(other.center_), id_(other.id_) {
    other.center_ = nullptr;
}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = other.center_;
        id_ = other.id_;
        other.center_ = nullptr;
    }
    return *this;
}

ObserverToken::~ObserverToken() { reset(); }

void ObserverToken::reset() {
    if (center_) center_->remove(id_);
    center_ = nullptr;
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

ObserverToken NotificationCenter::addObserver(std::string name, Observer observer) {
    std::lock_guard lock(mutex_);
    const std::uint64_t id = nextId_++;
    registrations_.push_back({id, std::move(name), std::make_shared<Observer>(std::move(observer))});
    return ObserverToken(this, id);
}

void NotificationCenter::post(const std::string& name, std::optional<UserInfo> userInfo,
                              std::any payload) const {
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& registration : registrations_)
            if (registration.name == name) matching.push_back(registration.observer);
    }
    const Notification notification{name, std::move(userInfo), std::move(payload)};
    for (const auto& observer : matching) (*observer)(notification);
}

void NotificationCenter::remove(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [id](const Registration& r) { return r.id == id; });
}

}  // namespace tintreel
