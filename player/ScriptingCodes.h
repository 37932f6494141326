// The codes of the player's scripting interface that the stand-in answers to.
#pragma once

#include "platform/AppleEvents/AEDataModel.h"

namespace player {

inline constexpr OSType kPlayerSignature = fourCC("hook");
inline constexpr const char* kPlayerBundleIdentifier = "com.apple.iTunes";
inline constexpr const char* kPlayerName = "iTunes";

// Element classes.
inline constexpr DescType cApplication = fourCC("capp");
inline constexpr DescType cPlaylist = fourCC("cPly");
inline constexpr DescType cLibraryPlaylist = fourCC("cLiP");
inline constexpr DescType cUserPlaylist = fourCC("cUPl");
inline constexpr DescType cFolderPlaylist = fourCC("cFoP");
inline constexpr DescType cTrack = fourCC("cTrk");
inline constexpr DescType cFileTrack = fourCC("cFlT");
inline constexpr DescType cArtwork = fourCC("cArt");

// The key form of the specifiers the player hands out, and the ordinals besides 'all '/'any '.
inline constexpr DescType formUniqueID = fourCC("ID  ");
inline constexpr DescType kAEFirst = fourCC("firs");
inline constexpr DescType kAELast = fourCC("last");
// AppleScript's missing value, answered for a date the track does not have.
inline constexpr DescType cMissingValue = fourCC("msng");

// Application properties.
inline constexpr DescType pName = fourCC("pnam");
inline constexpr DescType pVersion = fourCC("vers");
inline constexpr DescType pSoundVolume = fourCC("pVol");
inline constexpr DescType pPlayerPosition = fourCC("pPos");
inline constexpr DescType pPlayerState = fourCC("pPlS");
inline constexpr DescType pFixedIndexing = fourCC("pFix");
inline constexpr DescType pCurrentTrack = fourCC("pTrk");
inline constexpr DescType pCurrentPlaylist = fourCC("pPla");
inline constexpr DescType pSelection = fourCC("sele");
inline constexpr DescType pClass = fourCC("pcls");

// Properties of playlists, tracks and artwork (the track's own table is in LibraryTrack.h).
inline constexpr DescType pPersistentID = fourCC("pPID");
inline constexpr DescType pPersistentIDString = fourCC("pPIS");
inline constexpr DescType pSpecialKind = fourCC("pSpK");
inline constexpr DescType pSmart = fourCC("pSmt");
inline constexpr DescType pParentPlaylist = fourCC("pPlP");
inline constexpr DescType pDatabaseID = fourCC("pDID");
inline constexpr DescType pIndex = fourCC("pidx");
inline constexpr DescType pLocation = fourCC("pLoc");
inline constexpr DescType pTime = fourCC("pTim");
inline constexpr DescType pDuration = fourCC("pDur");
inline constexpr DescType pPictureData = fourCC("pPCT");
inline constexpr DescType pFormat = fourCC("pFmt");

// Events of the player's own suite.
inline constexpr AEEventClass kPlayerSuite = fourCC("hook");
inline constexpr AEEventID kBackTrack = fourCC("Back");
inline constexpr AEEventID kFastForward = fourCC("Fast");
inline constexpr AEEventID kNextTrack = fourCC("Next");
inline constexpr AEEventID kPause = fourCC("Paus");
inline constexpr AEEventID kPlay = fourCC("Play");
inline constexpr AEEventID kPlayPause = fourCC("PlPs");
inline constexpr AEEventID kPreviousTrack = fourCC("Prev");
inline constexpr AEEventID kResume = fourCC("Resu");
inline constexpr AEEventID kRewind = fourCC("Rwnd");
inline constexpr AEEventID kStop = fourCC("Stop");
inline constexpr AEEventID kSearch = fourCC("Srch");
inline constexpr AEEventID kAdd = fourCC("Add ");
// Beatwick's scripts: the library's genres, and the info window of a track.
inline constexpr AEEventID kGenreList = fourCC("Gnrs");
inline constexpr AEEventID kShowInfo = fourCC("Info");

// Parameters of search.
inline constexpr AEKeyword keySearchTerm = fourCC("pTrm");
inline constexpr AEKeyword keySearchArea = fourCC("pAre");

// Player states.
inline constexpr DescType kPlayerStopped = fourCC("kPSS");
inline constexpr DescType kPlayerPlaying = fourCC("kPSP");
inline constexpr DescType kPlayerPaused = fourCC("kPSp");
inline constexpr DescType kPlayerFastForwarding = fourCC("kPSF");
inline constexpr DescType kPlayerRewinding = fourCC("kPSR");

// Special kinds of playlists.
inline constexpr DescType kSpecialNone = fourCC("kSpN");
inline constexpr DescType kSpecialNoneOld = fourCC("kNon");
inline constexpr DescType kSpecialFolder = fourCC("kSpF");
inline constexpr DescType kSpecialLibrary = fourCC("kSpL");

// The image type of artwork data.
inline constexpr DescType typePNG = fourCC("PNGf");

}  // namespace player
