// Posting a notification so that its observers run on the main thread, from any thread. On the
// main thread the notification is posted at once on the centre it was handed to; from another
// thread a copy travels to the main thread behind everything queued before it (so worker posts
// arrive in order, also while a modal loop runs) and is posted there on the default centre.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Foundation/NotificationCenter.h"

void postNotificationOnMainThread(NSNotificationCenter& center, const NSNotification& notification,
                                  bool waitUntilDone = false);
void postNotificationOnMainThreadWithName(NSNotificationCenter& center, std::string_view name,
                                          const void* object = nullptr,
                                          std::optional<PropertyList::Dictionary> userInfo = std::nullopt,
                                          bool waitUntilDone = false);
