#include "player/VersionProfile.h"

#include <algorithm>
#include <cctype>

#include "player/ScriptingCodes.h"

namespace player {

namespace {

constexpr const char* kCurrentVersion = "10.6.3";
constexpr UInt8 kFinalStage = 0x80;

// The leading digits of each of the first three dot-separated parts; 0 where a part has none.
std::vector<UInt32> versionNumbers(const std::string& version) {
    std::vector<UInt32> numbers;
    size_t start = 0;
    while (numbers.size() < 3 && start <= version.size()) {
        const size_t end = std::min(version.find('.', start), version.size());
        UInt32 value = 0;
        for (size_t i = start; i < end && std::isdigit(static_cast<unsigned char>(version[i])); ++i)
            value = value * 10 + static_cast<UInt32>(version[i] - '0');
        numbers.push_back(value);
        start = end + 1;
    }
    return numbers;
}

UInt8 bcd(UInt32 value) {
    value %= 100;
    return static_cast<UInt8>((value / 10) << 4 | (value % 10));
}

}  // namespace

UInt32 PackVersion(const std::string& version) {
    if (version.empty()) return 0;
    const std::vector<UInt32> numbers = versionNumbers(version);
    constexpr int kShifts[] = {8, 4, 0};
    UInt32 packed = 0;
    for (size_t i = 0; i < numbers.size(); ++i) packed |= (numbers[i] & 0xFF) << kShifts[i];
    return packed;
}

VersionProfile VersionProfile::forVersion(std::string version) {
    const UInt32 packed = PackVersion(version);
    return VersionProfile(std::move(version), packed);
}

VersionProfile VersionProfile::current() {
    return forVersion(kCurrentVersion);
}

DescType VersionProfile::noneKind() const {
    return fPacked < 0x700 ? kSpecialNoneOld : kSpecialNone;
}

std::vector<uint8_t> VersionProfile::versionRecord() const {
    const std::vector<UInt32> numbers = versionNumbers(fVersion);
    const UInt32 minor = numbers.size() > 1 ? numbers[1] : 0;
    const UInt32 third = numbers.size() > 2 ? numbers[2] : 0;
    const std::string shortVersion = fVersion.substr(0, 255);
    const std::string longVersion = (std::string(kPlayerName) + " " + fVersion).substr(0, 255);
    std::vector<uint8_t> record{bcd(numbers.empty() ? 0 : numbers[0]),
                                static_cast<uint8_t>((minor % 10) << 4 | (third % 10)),
                                kFinalStage,
                                0,
                                0,
                                0};
    record.push_back(static_cast<uint8_t>(shortVersion.size()));
    record.insert(record.end(), shortVersion.begin(), shortVersion.end());
    record.push_back(static_cast<uint8_t>(longVersion.size()));
    record.insert(record.end(), longVersion.begin(), longVersion.end());
    return record;
}

}  // namespace player
