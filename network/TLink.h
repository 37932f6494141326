// The next pointer of an intrusive singly linked list; jobs and tasks are links.
#pragma once

class TLink {
public:
    TLink() = default;
    virtual ~TLink() = default;
    TLink(const TLink&) = delete;
    TLink& operator=(const TLink&) = delete;

    TLink* GetNext() const { return fNext; }
    void SetNext(TLink* next) { fNext = next; }

private:
    TLink* fNext{nullptr};
};
