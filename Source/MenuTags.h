// The tags of the commands submenu and of its items, by which the menus, the stored shortcuts and
// the Shortcuts pane find them. Stored shortcuts name their commands, not these numbers.
#pragma once

enum MenuTag : long {
    kControlsMenuTag = 199,
    kAssignMenuTag = 200,
    kHalveBPMMenuTag = 201,
    kDoubleBPMMenuTag = 202,
    kPlayPauseMenuTag = 203,
    kNextMenuTag = 204,
    kPreviousMenuTag = 205,
    kSkipForwardMenuTag = 206,
    kSkipBackMenuTag = 207,
    kNextPlusSkipMenuTag = 208,
    kGetInfoMenuTag = 209,
    kSwitchMenuTag = 210,
    kRatingUpMenuTag = 211,
    kRatingDownMenuTag = 212,
    kVolumeUpMenuTag = 213,
    kVolumeDownMenuTag = 214,
    kStartMetronomeMenuTag = 215,
    kIncrementBPMMenuTag = 216,
    kDecrementBPMMenuTag = 217,
};
