#include "platform/Foundation/NotificationCenter.h"

#include <algorithm>

NSNotificationCenter& NSNotificationCenter::defaultCenter() {
    static NSNotificationCenter center;
    return center;
}

NSNotificationCenter::ObserverToken NSNotificationCenter::addObserver(const void* owner,
                                                                      std::string_view name,
                                                                      const void* object, Observer observer) {
    std::lock_guard lock(mMutex);
    const ObserverToken token = mNextToken++;
    mRegistrations.push_back(std::make_shared<Registration>(
        Registration{token, owner, std::string(name), object, std::move(observer)}));
    return token;
}

void NSNotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard lock(mMutex);
    std::erase_if(mRegistrations, [&](const std::shared_ptr<Registration>& r) {
        if (r->token != token) return false;
        r->removed = true;
        return true;
    });
}

void NSNotificationCenter::removeObserver(const void* owner) {
    if (!owner) return;
    std::lock_guard lock(mMutex);
    std::erase_if(mRegistrations, [&](const std::shared_ptr<Registration>& r) {
        if (r->owner != owner) return false;
        r->removed = true;
        return true;
    });
}

void NSNotificationCenter::removeObserver(const void* owner, std::string_view name, const void* object) {
    std::lock_guard lock(mMutex);
    std::erase_if(mRegistrations, [&](const std::shared_ptr<Registration>& r) {
        if (r->owner != owner || (!name.empty() && r->name != name) || (object && r->object != object))
            return false;
        r->removed = true;
        return true;
    });
}

bool NSNotificationCenter::isRemoved(const Registration& registration) const {
    std::lock_guard lock(mMutex);
    return registration.removed;
}

void NSNotificationCenter::postNotification(const NSNotification& notification) {
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(mMutex);
        for (const auto& r : mRegistrations)
            if ((r->name.empty() || r->name == notification.name) &&
                (!r->object || r->object == notification.object))
                matching.push_back(r);
    }
    // The snapshot keeps each observer alive while it runs, even if it removes itself.
    for (const auto& r : matching)
        if (!isRemoved(*r)) r->observer(notification);
}

void NSNotificationCenter::postNotificationName(std::string_view name, const void* object,
                                                std::optional<PropertyList::Dictionary> userInfo) {
    postNotification(NSNotification{std::string(name), object, std::move(userInfo)});
}
