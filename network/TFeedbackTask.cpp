#include "network/TFeedbackTask.h"

#include <algorithm>
#include <cstring>

#include "network/NetworkManager.h"
#include "network/THTTPConnection.h"
#include "network/UThreadUIUpdate.h"

TFeedbackTask::TFeedbackTask(const char* recipient, const char* subject, const char* text, SInt32 length,
                             bool isFeedback, const void* object)
    : THTTPTask(recipient, subject, nullptr, 0),
      fIsFeedback(isFeedback),
      fObject(object),
      fOwnText(std::make_unique<char[]>(kTextSize)) {
    const size_t count = text && length > 0 ? std::min(static_cast<size_t>(length), kTextSize - 1) : 0;
    if (count) std::memcpy(fOwnText.get(), text, count);
    fOwnText[count] = '\0';
    fText = fOwnText.get();
    fTextLength = static_cast<SInt32>(count);
}

void TFeedbackTask::SendFeedback(const char* recipient, const char* subject, const char* text, SInt32 length,
                                 bool isFeedback, const void* object) {
    try {
        auto* task = new TFeedbackTask(recipient, subject, text, length, isFeedback, object);
        task->SetServer(TServerConfig::Current());
        NetworkManager::sharedNetworkManager().scheduleHTTPTask(task);
    } catch (...) {
        // Called from the form's button, which must not throw: a form that could not be queued is dropped.
    }
}

void TFeedbackTask::Post(bool succeeded) {
    try {
        UThreadUIUpdate::DoPostNotification(
            static_cast<int>(succeeded ? EThreadNotification::kFeedbackSucceeded
                                       : EThreadNotification::kFeedbackFailed),
            fObject);
    } catch (...) {
        // The notification is the only way back to the form; there is no one else to tell.
    }
}

int TFeedbackTask::PerformTask() {
    try {
        HTTPConnection().SendMessage(fRecipient.c_str(), fSubject.c_str(), fText, fTextLength);
        fSucceeded = true;
    } catch (...) {
        fSucceeded = false;
    }
    Post(fSucceeded);
    fFinished = true;
    return 0;
}
