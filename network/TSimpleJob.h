// A job that keeps its tasks in a queue of its own and deletes those still there when it goes.
#pragma once

#include "network/TJob.h"

inline constexpr OSType kSimpleJobID = fourCC("Jobs");

class TSimpleJob : public TJob {
public:
    explicit TSimpleJob(TTask* firstTask = nullptr);
    ~TSimpleJob() override;

    void AddTask(TTask* task);

protected:
    TTask* DoGetTask() override;

private:
    TQueue fOwnTasks;
};
