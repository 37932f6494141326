// Signals taken in on one thread and handed to another one at a time, in the order they came.
// A burst must not queue without bound while the taker is busy: once more than `limit` wait, a
// signal that carries a key takes the place of the one of the same key still waiting, which is
// dropped (of notices not yet handled, only the latest counts) and the new one goes to the end,
// so what is handed on keeps the order it was sent in. Below the limit every signal is kept.
// The taker is woken once per run: push() says when, and a take() that finds nothing ends it.
#pragma once

#include <cstddef>
#include <iterator>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

// Any thread.
template <typename Item, typename KeyType>
class SignalBacklog {
public:
    using Key = KeyType;
    explicit SignalBacklog(size_t limit) : fLimit(limit) {}
    SignalBacklog(const SignalBacklog&) = delete;
    SignalBacklog& operator=(const SignalBacklog&) = delete;

    // True when the taker is to be woken: no run of takes is under way.
    bool push(Item item, std::optional<Key> key) {
        const std::lock_guard lock(fMutex);
        if (key) {
            const auto waiting = fKeyed.find(*key);
            if (waiting != fKeyed.end()) {
                if (fItems.size() > fLimit) {
                    fItems.erase(waiting->second);
                } else {
                    waiting->second->key.reset();  // kept, but no longer the latest of its key
                }
                fKeyed.erase(waiting);
            }
        }
        fItems.push_back(Entry{std::move(item), key});
        if (key) fKeyed.emplace(std::move(*key), std::prev(fItems.end()));
        return !std::exchange(fWoken, true);
    }

    // The oldest waiting item; nothing ends the run, and the next push wakes the taker again.
    std::optional<Item> take() {
        const std::lock_guard lock(fMutex);
        if (fItems.empty()) {
            fWoken = false;
            return std::nullopt;
        }
        Entry& first = fItems.front();
        if (first.key) fKeyed.erase(*first.key);
        std::optional<Item> item(std::move(first.item));
        fItems.pop_front();
        return item;
    }

    size_t size() const {
        const std::lock_guard lock(fMutex);
        return fItems.size();
    }

private:
    struct Entry {
        Item item;
        std::optional<Key> key;  // set while it is the latest waiting item of its key
    };

    const size_t fLimit;
    mutable std::mutex fMutex;
    std::list<Entry> fItems;
    std::map<Key, typename std::list<Entry>::iterator> fKeyed;
    bool fWoken{false};
};
