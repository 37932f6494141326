// The tap and accent clicks. Each sound is held twice, as a low-latency UKSound and as an NSSound
// copy; once the low-latency path has failed the copies play, until the tap sound is reloaded.
// The settings say whether taps click, whether the accent plays and on which beat. Main thread,
// except where a member says otherwise.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

class ClickSoundsHost;
class NSSound;
class UKSound;

class ClickSounds {
public:
    ClickSounds(const ClickSounds&) = delete;
    ClickSounds& operator=(const ClickSounds&) = delete;

    // The host is not owned and must outlive the sounds. Loads nothing: the owner calls the
    // updates once its host is ready.
    explicit ClickSounds(ClickSoundsHost& host);
    ~ClickSounds();

    // Reloads both copies of the tap sound ("TapSound") and clears a low-latency failure.
    void updateTapSound();
    // Reloads both copies of the accent sound ("AlternateSound"); a failure stays as it is.
    void updateAlternateSound();
    // Reads "PlayClickOnTap", "PlayAlternate" and "AlternateBeat", and tells the tap area.
    void updateSoundOptions();

    // The tap sound, when taps click.
    void playMetronomeClickOnly();
    // As playMetronomeClickOnly, and the tap area pulses with the click.
    void playMetronomeClick();
    // The accent on the accented beat when the accent plays, else the tap sound when taps
    // click, else nothing. Main thread (taps) and the metronome's driver thread (beats); a
    // sound in flight is kept whatever the main thread swaps in meanwhile.
    void playMetronomeClickForBeat(long beat);

    // The low-latency path failed: the copies play from now on. Any thread.
    void audioQueueNotWorking() { fAudioQueueScrewedUp = true; }
    bool audioQueueScrewedUp() const { return fAudioQueueScrewedUp; }
    void setAudioQueueScrewedUp(bool screwedUp) { fAudioQueueScrewedUp = screwedUp; }

    // The accented beat ("AlternateBeat"). Any thread.
    long alternateBeat() const { return fAlternateBeat.load(std::memory_order_relaxed); }

private:
    void playSound(const std::atomic<std::shared_ptr<UKSound>>& low,
                   const std::atomic<std::shared_ptr<NSSound>>& copy);
    std::optional<std::string> soundPath(const char* key) const;

    ClickSoundsHost& fHost;
    std::atomic<bool> fPlayClick{false};
    std::atomic<bool> fPlayAlternate{false};
    std::atomic<long> fAlternateBeat{0};
    std::atomic<bool> fAudioQueueScrewedUp{false};

    // Swapped whole when a setting changes, so a click in flight on the driver thread keeps the
    // sound it started with.
    std::atomic<std::shared_ptr<NSSound>> fMetronomeSound;
    std::atomic<std::shared_ptr<NSSound>> fAlternateSound;
    std::atomic<std::shared_ptr<UKSound>> fUKMetronomeSound;
    std::atomic<std::shared_ptr<UKSound>> fUKAlternateSound;
};
