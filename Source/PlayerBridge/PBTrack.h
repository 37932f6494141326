// One track of the player, addressed by the object specifier the player returned for it.
//
// Text reads with the text rule and is written as 'utxt'; integers are signed 32-bit, -1 when
// unreadable; truth values are the low 8 bits of the integer read (an unreadable one reads as
// true) and are written as 0 or 1; dates are 'ldt '. Setters send without waiting. Tracks are
// made by the bridge only. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/PlayerBridge/PBAppleEventObject.h"

class NSImage;

class PBTrack : public PBAppleEventObject {
public:
    // Adopts the descriptor; a 'list' gives way to its first item when it has one.
    static std::shared_ptr<PBTrack> create(AEDesc descriptor);
    explicit PBTrack(AEDesc descriptor);

    std::optional<std::string> name() const { return text(fourCC("pnam")); }
    void setName(const std::string& v) const { setPropertyWithString(v, fourCC("pnam")); }
    std::optional<std::string> album() const { return text(fourCC("pAlb")); }
    void setAlbum(const std::string& v) const { setPropertyWithString(v, fourCC("pAlb")); }
    std::optional<std::string> artist() const { return text(fourCC("pArt")); }
    void setArtist(const std::string& v) const { setPropertyWithString(v, fourCC("pArt")); }
    std::optional<std::string> albumArtist() const { return text(fourCC("pAlA")); }
    void setAlbumArtist(const std::string& v) const { setPropertyWithString(v, fourCC("pAlA")); }
    std::optional<std::string> category() const { return text(fourCC("pCat")); }
    void setCategory(const std::string& v) const { setPropertyWithString(v, fourCC("pCat")); }
    std::optional<std::string> comment() const { return text(fourCC("pCmt")); }
    void setComment(const std::string& v) const { setPropertyWithString(v, fourCC("pCmt")); }
    std::optional<std::string> composer() const { return text(fourCC("pCmp")); }
    void setComposer(const std::string& v) const { setPropertyWithString(v, fourCC("pCmp")); }
    std::optional<std::string> description() const { return text(fourCC("pDes")); }
    void setDescription(const std::string& v) const { setPropertyWithString(v, fourCC("pDes")); }
    std::optional<std::string> episodeId() const { return text(fourCC("pEpD")); }
    void setEpisodeId(const std::string& v) const { setPropertyWithString(v, fourCC("pEpD")); }
    std::optional<std::string> eq() const { return text(fourCC("pEQp")); }
    void setEq(const std::string& v) const { setPropertyWithString(v, fourCC("pEQp")); }
    std::optional<std::string> genre() const { return text(fourCC("pGen")); }
    void setGenre(const std::string& v) const { setPropertyWithString(v, fourCC("pGen")); }
    std::optional<std::string> grouping() const { return text(fourCC("pGrp")); }
    void setGrouping(const std::string& v) const { setPropertyWithString(v, fourCC("pGrp")); }
    std::optional<std::string> kind() const { return text(fourCC("pKnd")); }
    std::optional<std::string> show() const { return text(fourCC("pShw")); }
    std::optional<std::string> time() const { return text(fourCC("pTim")); }
    // Read from packed version 0x602 on, written from 0x601 on; before that nil and nothing sent.
    std::optional<std::string> longDescription() const;
    void setLongDescription(const std::string& v) const;
    // Read and written from packed version 0x601 on.
    std::optional<std::string> lyrics() const;
    void setLyrics(const std::string& v) const;

    SInt32 bitrate() const { return integer(fourCC("pBRt")); }
    SInt32 bpm() const { return integer(fourCC("pBPM")); }
    void setBpm(SInt32 v) const { setPropertyWithInteger(v, fourCC("pBPM")); }
    SInt32 bookmark() const { return integer(fourCC("pBkt")); }
    void setBookmark(SInt32 v) const { setPropertyWithInteger(v, fourCC("pBkt")); }
    SInt32 databaseId() const { return integer(fourCC("pDID")); }
    SInt32 discCount() const { return integer(fourCC("pDsC")); }
    void setDiscCount(SInt32 v) const { setPropertyWithInteger(v, fourCC("pDsC")); }
    SInt32 discNumber() const { return integer(fourCC("pDsN")); }
    void setDiscNumber(SInt32 v) const { setPropertyWithInteger(v, fourCC("pDsN")); }
    SInt32 duration() const { return integer(fourCC("pDur")); }
    SInt32 episodeNumber() const { return integer(fourCC("pEpN")); }
    void setEpisodeNumber(SInt32 v) const { setPropertyWithInteger(v, fourCC("pEpN")); }
    SInt32 finish() const { return integer(fourCC("pStp")); }
    void setFinish(SInt32 v) const { setPropertyWithInteger(v, fourCC("pStp")); }
    SInt32 playedCount() const { return integer(fourCC("pPlC")); }
    void setPlayedCount(SInt32 v) const { setPropertyWithInteger(v, fourCC("pPlC")); }
    SInt32 rating() const { return integer(fourCC("pRte")); }
    void setRating(SInt32 v) const { setPropertyWithInteger(v, fourCC("pRte")); }
    SInt32 sampleRate() const { return integer(fourCC("pSRt")); }
    SInt32 seasonNumber() const { return integer(fourCC("pSeN")); }
    void setSeasonNumber(SInt32 v) const { setPropertyWithInteger(v, fourCC("pSeN")); }
    SInt32 size() const { return integer(fourCC("pSiz")); }
    SInt32 skippedCount() const { return integer(fourCC("pSkC")); }
    void setSkippedCount(SInt32 v) const { setPropertyWithInteger(v, fourCC("pSkC")); }
    SInt32 start() const { return integer(fourCC("pStr")); }
    void setStart(SInt32 v) const { setPropertyWithInteger(v, fourCC("pStr")); }
    SInt32 trackCount() const { return integer(fourCC("pTrC")); }
    void setTrackCount(SInt32 v) const { setPropertyWithInteger(v, fourCC("pTrC")); }
    SInt32 trackIndex() const { return integer(fourCC("pidx")); }
    SInt32 trackNumber() const { return integer(fourCC("pTrN")); }
    void setTrackNumber(SInt32 v) const { setPropertyWithInteger(v, fourCC("pTrN")); }
    SInt32 volumeAdjustment() const { return integer(fourCC("pAdj")); }
    void setVolumeAdjustment(SInt32 v) const { setPropertyWithInteger(v, fourCC("pAdj")); }
    SInt32 year() const { return integer(fourCC("pYr ")); }
    void setYear(SInt32 v) const { setPropertyWithInteger(v, fourCC("pYr ")); }

    bool bookmarkable() const { return truth(fourCC("pBkm")); }
    void setBookmarkable(bool v) const { setTruth(v, fourCC("pBkm")); }
    bool compilation() const { return truth(fourCC("pAnt")); }
    void setCompilation(bool v) const { setTruth(v, fourCC("pAnt")); }
    bool enabled() const { return truth(fourCC("enbl")); }
    void setEnabled(bool v) const { setTruth(v, fourCC("enbl")); }
    bool gapless() const { return truth(fourCC("pGpl")); }
    void setGapless(bool v) const { setTruth(v, fourCC("pGpl")); }
    bool podcast() const { return truth(fourCC("pTPc")); }
    // True when the whole integer is not 0.
    bool unplayed() const { return integer(fourCC("pUnp")) != 0; }
    void setUnplayed(bool v) const { setTruth(v, fourCC("pUnp")); }

    std::optional<CFAbsoluteTime> dateAdded() const { return getPropertyAsDateForDesc(fourCC("pAdd")); }
    std::optional<CFAbsoluteTime> modificationDate() const {
        return getPropertyAsDateForDesc(fourCC("asmo"));
    }
    std::optional<CFAbsoluteTime> playedDate() const { return getPropertyAsDateForDesc(fourCC("pPlD")); }
    void setPlayedDate(CFAbsoluteTime v) const { setPropertyWithDate(v, fourCC("pPlD")); }
    std::optional<CFAbsoluteTime> skippedDate() const { return getPropertyAsDateForDesc(fourCC("pSkD")); }
    void setSkippedDate(CFAbsoluteTime v) const { setPropertyWithDate(v, fourCC("pSkD")); }

    // The POSIX path of the track's file; nullopt when it has no file URL.
    std::optional<std::string> path() const { return getPropertyAsPathForDesc(fourCC("pLoc")); }
    // The file URL as text.
    std::optional<std::string> location() const { return getPropertyAsPathURLForDesc(fourCC("pLoc")); }

    SInt32 videoKind() const { return 0; }
    void setVideoKind(SInt32) const {}

    // In the form the player's version understands; -1 below packed version 0x600. Read anew
    // at every call.
    SInt64 persistentId() const;
    // 16 upper-case hexadecimal digits, or the player's own text; nullopt below 0x600 and when
    // the ID cannot be read.
    std::optional<std::string> persistentIdAsString() const;

    // The images of the track's artwork that could be made, in order; stops at the first
    // artwork that cannot be read.
    std::vector<std::shared_ptr<NSImage>> artwork() const;
    // nullopt deletes all artwork; images are offered one by one and not taken (see below).
    void setArtwork(const std::optional<std::vector<std::shared_ptr<NSImage>>>& images) const;
    // Writing artwork is not offered: changes nothing and answers false.
    bool setArtworkAtIndex(const std::shared_ptr<NSImage>& image, int index) const;

private:
    std::optional<std::string> text(OSType property) const { return getPropertyAsStringForDesc(property); }
    SInt32 integer(OSType property) const { return getPropertyAsIntegerForDesc(property); }
    bool truth(OSType property) const { return (integer(property) & 0xFF) != 0; }
    void setTruth(bool v, OSType property) const { setPropertyWithInteger(v ? 1 : 0, property); }
};
