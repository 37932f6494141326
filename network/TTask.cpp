#include "network/TTask.h"

#include <cstring>

#include "network/NetworkErrors.h"
#include "network/TConnection.h"
#include "network/TJob.h"

TTask::TTask(TJob* job, TResponse* response, OSType classID)
    : fJob(job), fClassID(classID), fResponse(response) {}

void TTask::SetInfoString(const char* text) {
    if (!text) text = "";
    std::strncpy(fInfoString, text, kInfoStringSize - 1);
    fInfoString[kInfoStringSize - 1] = '\0';
}

void TTask::SetCommand(const char* command) {
    if (!command) command = "";
    if (std::strlen(command) > kMaxCommandLength) throw kAssertionErr;
    std::strcpy(fCommand, command);
}

int TTask::PerformTask() {
    try {
        if (fJob) fJob->BroadcastInfoString(fInfoString);
        if (fCommand[0] == '\0') return 0;
        if (!fConnection) return kNetNoSocketErr;
        if (!fResponse) return kMissingObjectErr;
        if (int error = fConnection->SendCommandWithReply(fCommand, *fResponse)) return error;
        ProcessResponse();
        return 0;
    } catch (int error) {
        return error;
    }
}
