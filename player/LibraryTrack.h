// One track of the stand-in's library, and the table of its scriptable properties.
//
// The table ties each property code to its key in the library file, its value type, whether a
// script may set it, and the factor between the file's unit and the scripted one (the file keeps
// times in milliseconds, scripts see seconds). Values a track does not have are absent: texts
// then read as "", numbers as 0, truth values as false and dates as missing.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/Carbon/MacTypes.h"

namespace player {

enum class TrackValueType : UInt8 { text, integer, boolean, date };

// Which version of the player offers a property.
enum class TrackPropertyGate : UInt8 { always, lyrics, longDescription };

struct TrackProperty {
    FourCharCode code;
    const char* key;  // the key in the library file's track dictionary
    TrackValueType type;
    bool writable;
    SInt32 scale;  // stored value = scripted value * scale
    SInt64 minimum;
    SInt64 maximum;
    bool inverted;  // a truth value the file keeps as its opposite ("Disabled" for 'enbl')
    TrackPropertyGate gate;
};

std::span<const TrackProperty> TrackProperties();
const TrackProperty* FindTrackProperty(FourCharCode code);

// The 16 upper-case hexadecimal digits of a persistent ID.
std::string PersistentIDString(UInt64 persistentID);
// Reads exactly 16 hexadecimal digits (either case); nullopt for anything else.
std::optional<UInt64> ParsePersistentID(const std::string& text);

class LibraryTrack {
public:
    // Dates are seconds since 1970 UTC, kept as integers.
    using Value = std::variant<std::string, SInt64, bool>;

    SInt32 trackID{0};
    UInt64 persistentID{0};
    std::string location;  // a file:// URL, or empty
    // Image data (PNG), in order; kept beside the library file.
    std::vector<std::vector<uint8_t>> artwork;

    bool has(FourCharCode code) const { return fValues.count(code) != 0; }
    std::string text(FourCharCode code) const;
    SInt64 integer(FourCharCode code) const;  // in the file's unit
    bool flag(FourCharCode code) const;       // as scripts see it (inversion applied)
    std::optional<SInt64> date(FourCharCode code) const;
    const std::map<FourCharCode, Value>& values() const { return fValues; }

    // Stores a value in the file's form; the type must match the property's.
    void set(FourCharCode code, Value value);
    void setFlag(FourCharCode code, bool scripted);
    void clear(FourCharCode code) { fValues.erase(code); }

    std::string name() const;
    std::string artist() const;
    std::string album() const;
    std::string genre() const;
    SInt32 bpm() const;
    SInt32 rating() const;
    SInt32 trackNumber() const;
    SInt64 durationMilliseconds() const;
    // The file's POSIX path, or empty when the location is no file URL.
    std::string path() const;

private:
    std::map<FourCharCode, Value> fValues;
};

}  // namespace player
