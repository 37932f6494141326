#include "platform/Foundation/NotificationCenterAdditions.h"

#include <string>

#include "platform/Foundation/RunLoop.h"
#include "platform/Foundation/Scheduler.h"

void postNotificationOnMainThread(NSNotificationCenter& center, const NSNotification& notification,
                                  bool waitUntilDone) {
    if (Scheduler::current().isMainThread()) {
        center.postNotification(notification);
        return;
    }
    // The copy is the main thread's own: the poster may change or free its notification at once.
    performSelectorOnMainThread(
        [copy = notification] { NSNotificationCenter::defaultCenter().postNotification(copy); },
        waitUntilDone);
}

void postNotificationOnMainThreadWithName(NSNotificationCenter& center, std::string_view name,
                                          const void* object,
                                          std::optional<PropertyList::Dictionary> userInfo,
                                          bool waitUntilDone) {
    postNotificationOnMainThread(center, NSNotification{std::string(name), object, std::move(userInfo)},
                                 waitUntilDone);
}
