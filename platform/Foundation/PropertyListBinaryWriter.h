// Writes a value as a binary property list ("bplist00") in time linear in its size: equal
// scalars (strings, keys, numbers, dates, data) are stored once, found through a hash of their
// encoded bytes; arrays and dictionaries are never shared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

class PropertyListBinaryWriter {
public:
    explicit PropertyListBinaryWriter(int maximumDepth) : mMaximumDepth(maximumDepth) {}
    PropertyListBinaryWriter(const PropertyListBinaryWriter&) = delete;
    PropertyListBinaryWriter& operator=(const PropertyListBinaryWriter&) = delete;

    // Fails for what the format cannot hold exactly, as the XML writer does.
    Result<PropertyList::Data> write(const PropertyList& plist);

private:
    // Every object's encoding lies in mBytes: a scalar's whole, a container's marker and count;
    // a container's references (keys before values) are kept apart until they are written.
    struct Object {
        uint64_t offset{0};
        uint64_t length{0};
        std::vector<uint64_t> refs;
    };
    // Open addressing over the scalars' hashes: a node-based map misses the cache on every
    // probe once there are hundreds of thousands of them.
    struct Slot {
        uint32_t hash{0};
        uint32_t object{kEmpty};
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;

    bool add(const PropertyList& value, int depth, uint64_t& index);
    bool addScalar(uint64_t start, uint64_t& index);
    void grow();
    bool fail(std::string message);

    int mMaximumDepth;
    std::string mBytes;
    std::vector<Object> mObjects;
    std::vector<Slot> mSlots;
    uint64_t mScalarCount{0};
    std::string mError;
};
