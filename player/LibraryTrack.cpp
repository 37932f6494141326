#include "player/LibraryTrack.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "platform/Carbon/FileReference.h"

namespace player {

namespace {

constexpr SInt64 kNoMinimum = std::numeric_limits<SInt32>::min();
constexpr SInt64 kNoMaximum = std::numeric_limits<SInt32>::max();

using enum TrackValueType;
using enum TrackPropertyGate;

constexpr TrackProperty kTrackProperties[] = {
    // Texts.
    {fourCC("pnam"), "Name", text, true, 1, 0, 0, false, always},
    {fourCC("pAlb"), "Album", text, true, 1, 0, 0, false, always},
    {fourCC("pArt"), "Artist", text, true, 1, 0, 0, false, always},
    {fourCC("pAlA"), "Album Artist", text, true, 1, 0, 0, false, always},
    {fourCC("pCat"), "Category", text, true, 1, 0, 0, false, always},
    {fourCC("pCmt"), "Comments", text, true, 1, 0, 0, false, always},
    {fourCC("pCmp"), "Composer", text, true, 1, 0, 0, false, always},
    {fourCC("pDes"), "Description", text, true, 1, 0, 0, false, always},
    {fourCC("pEpD"), "Episode", text, true, 1, 0, 0, false, always},
    {fourCC("pEQp"), "Equalizer", text, true, 1, 0, 0, false, always},
    {fourCC("pGen"), "Genre", text, true, 1, 0, 0, false, always},
    {fourCC("pGrp"), "Grouping", text, true, 1, 0, 0, false, always},
    {fourCC("pKnd"), "Kind", text, false, 1, 0, 0, false, always},
    {fourCC("pShw"), "Series", text, false, 1, 0, 0, false, always},
    {fourCC("pLds"), "Long Description", text, true, 1, 0, 0, false, longDescription},
    {fourCC("pLyr"), "Lyrics", text, true, 1, 0, 0, false, lyrics},
    // Integers.
    {fourCC("pBRt"), "Bit Rate", integer, false, 1, 0, kNoMaximum, false, always},
    {fourCC("pBPM"), "BPM", integer, true, 1, 0, 65535, false, always},
    {fourCC("pBkt"), "Bookmark", integer, true, 1000, 0, kNoMaximum, false, always},
    {fourCC("pDsC"), "Disc Count", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pDsN"), "Disc Number", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pDur"), "Total Time", integer, false, 1000, 0, kNoMaximum, false, always},
    {fourCC("pEpN"), "Episode Order", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pStp"), "Stop Time", integer, true, 1000, 0, kNoMaximum, false, always},
    {fourCC("pPlC"), "Play Count", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pRte"), "Rating", integer, true, 1, 0, 100, false, always},
    {fourCC("pSRt"), "Sample Rate", integer, false, 1, 0, kNoMaximum, false, always},
    {fourCC("pSeN"), "Season", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pSiz"), "Size", integer, false, 1, 0, kNoMaximum, false, always},
    {fourCC("pSkC"), "Skip Count", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pStr"), "Start Time", integer, true, 1000, 0, kNoMaximum, false, always},
    {fourCC("pTrC"), "Track Count", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pTrN"), "Track Number", integer, true, 1, 0, kNoMaximum, false, always},
    {fourCC("pAdj"), "Volume Adjustment", integer, true, 1, -100, 100, false, always},
    {fourCC("pYr "), "Year", integer, true, 1, 0, 9999, false, always},
    // Truth values.
    {fourCC("pBkm"), "Bookmarkable", boolean, true, 1, 0, 1, false, always},
    {fourCC("pAnt"), "Compilation", boolean, true, 1, 0, 1, false, always},
    {fourCC("enbl"), "Disabled", boolean, true, 1, 0, 1, true, always},
    {fourCC("pGpl"), "Part Of Gapless Album", boolean, true, 1, 0, 1, false, always},
    {fourCC("pTPc"), "Podcast", boolean, false, 1, 0, 1, false, always},
    {fourCC("pUnp"), "Unplayed", boolean, true, 1, 0, 1, false, always},
    // Dates.
    {fourCC("pAdd"), "Date Added", date, false, 1, kNoMinimum, kNoMaximum, false, always},
    {fourCC("asmo"), "Date Modified", date, false, 1, kNoMinimum, kNoMaximum, false, always},
    {fourCC("pPlD"), "Play Date UTC", date, true, 1, kNoMinimum, kNoMaximum, false, always},
    {fourCC("pSkD"), "Skip Date", date, true, 1, kNoMinimum, kNoMaximum, false, always},
};

}  // namespace

std::span<const TrackProperty> TrackProperties() {
    return kTrackProperties;
}

const TrackProperty* FindTrackProperty(FourCharCode code) {
    const auto found = std::find_if(std::begin(kTrackProperties), std::end(kTrackProperties),
                                    [code](const TrackProperty& p) { return p.code == code; });
    return found == std::end(kTrackProperties) ? nullptr : found;
}

std::string PersistentIDString(UInt64 persistentID) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIX64, persistentID);
    return text;
}

std::optional<UInt64> ParsePersistentID(const std::string& text) {
    if (text.size() != 16) return std::nullopt;
    UInt64 value = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value << 4 | static_cast<UInt64>(digit);
    }
    return value;
}

std::string LibraryTrack::text(FourCharCode code) const {
    const auto found = fValues.find(code);
    if (found == fValues.end()) return {};
    const auto* value = std::get_if<std::string>(&found->second);
    return value ? *value : std::string();
}

SInt64 LibraryTrack::integer(FourCharCode code) const {
    const auto found = fValues.find(code);
    if (found == fValues.end()) return 0;
    const auto* value = std::get_if<SInt64>(&found->second);
    return value ? *value : 0;
}

bool LibraryTrack::flag(FourCharCode code) const {
    const TrackProperty* property = FindTrackProperty(code);
    const bool inverted = property && property->inverted;
    const auto found = fValues.find(code);
    const bool* value = found == fValues.end() ? nullptr : std::get_if<bool>(&found->second);
    return (value && *value) != inverted;
}

std::optional<SInt64> LibraryTrack::date(FourCharCode code) const {
    const auto found = fValues.find(code);
    if (found == fValues.end()) return std::nullopt;
    const auto* value = std::get_if<SInt64>(&found->second);
    return value ? std::optional<SInt64>(*value) : std::nullopt;
}

void LibraryTrack::set(FourCharCode code, Value value) {
    fValues[code] = std::move(value);
}

void LibraryTrack::setFlag(FourCharCode code, bool scripted) {
    const TrackProperty* property = FindTrackProperty(code);
    const bool stored = property && property->inverted ? !scripted : scripted;
    if (stored) {
        fValues[code] = true;
    } else {
        fValues.erase(code);
    }
}

std::string LibraryTrack::name() const {
    return text(fourCC("pnam"));
}

std::string LibraryTrack::artist() const {
    return text(fourCC("pArt"));
}

std::string LibraryTrack::album() const {
    return text(fourCC("pAlb"));
}

std::string LibraryTrack::genre() const {
    return text(fourCC("pGen"));
}

SInt32 LibraryTrack::bpm() const {
    return static_cast<SInt32>(integer(fourCC("pBPM")));
}

SInt32 LibraryTrack::rating() const {
    return static_cast<SInt32>(integer(fourCC("pRte")));
}

SInt32 LibraryTrack::trackNumber() const {
    return static_cast<SInt32>(integer(fourCC("pTrN")));
}

SInt64 LibraryTrack::durationMilliseconds() const {
    return integer(fourCC("pDur"));
}

std::string LibraryTrack::path() const {
    return PathFromFileURL(location).value_or(std::string());
}

}  // namespace player
