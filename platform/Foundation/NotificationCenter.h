// The local notification centre: observers by name and object, notifications delivered
// synchronously, on the posting thread, in the order the observers were added.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Foundation/PropertyList.h"

struct NSNotification {
    std::string name;
    const void* object{nullptr};  // an identity only; never dereferenced
    std::optional<PropertyList::Dictionary> userInfo;
};

// Every member may be called from any thread; an observer runs on the thread that posts.
class NSNotificationCenter {
public:
    NSNotificationCenter(const NSNotificationCenter&) = delete;
    NSNotificationCenter& operator=(const NSNotificationCenter&) = delete;

    using Observer = std::function<void(const NSNotification&)>;
    using ObserverToken = uint64_t;

    NSNotificationCenter() = default;
    static NSNotificationCenter& defaultCenter();

    // An empty name matches every name, a null object every object. The owner (may be null)
    // lets removeObserver(owner) drop all of one object's observations at once.
    ObserverToken addObserver(const void* owner, std::string_view name, const void* object,
                              Observer observer);

    // Removal takes effect at once, also for a post under way: a removed observer is not
    // called again, even by the notification being delivered.
    void removeObserver(ObserverToken token);
    void removeObserver(const void* owner);
    void removeObserver(const void* owner, std::string_view name, const void* object);

    // Observers added while a notification is delivered first see the next one.
    void postNotification(const NSNotification& notification);
    void postNotificationName(std::string_view name, const void* object = nullptr,
                              std::optional<PropertyList::Dictionary> userInfo = std::nullopt);

private:
    struct Registration {
        ObserverToken token;
        const void* owner;
        std::string name;
        const void* object;
        Observer observer;
        bool removed{false};  // guarded by mMutex
    };

    bool isRemoved(const Registration& registration) const;

    mutable std::mutex mMutex;
    ObserverToken mNextToken{1};
    std::vector<std::shared_ptr<Registration>> mRegistrations;
};
