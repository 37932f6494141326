// Sends the user's feedback or support request to the server's form-mail script on the network
// worker and posts "FeedbackSucceeded" or "FeedbackFailed" with the form that sent it.
#pragma once

#include <memory>

#include "network/THTTPTask.h"

class TFeedbackTask : public THTTPTask {
public:
    static constexpr size_t kTextSize = 65535;
    static constexpr const char* kSuggestSubject = "BEATWICK PRODUCT FEEDBACK";
    static constexpr const char* kTechSupportSubject = "BEATWICK SUPPORT REQUEST";

    // Keeps its own copy of at most 65534 characters of the text.
    TFeedbackTask(const char* recipient, const char* subject, const char* text, SInt32 length,
                  bool isFeedback, const void* object);

    // Main thread: schedules the request; nothing is thrown.
    static void SendFeedback(const char* recipient, const char* subject, const char* text, SInt32 length,
                             bool isFeedback, const void* object);

    int PerformTask() override;
    void WorkerUnavailable() override { Post(false); }
    bool IsFeedback() const { return fIsFeedback; }

private:
    void Post(bool succeeded);

    bool fIsFeedback;
    const void* fObject;
    std::unique_ptr<char[]> fOwnText;
};
