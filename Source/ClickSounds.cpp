#include "Source/ClickSounds.h"

#include "Source/ClickSoundsHost.h"
#include "Source/UKSound.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Foundation/Bundle.h"

ClickSounds::ClickSounds(ClickSoundsHost& host) : fHost(host) {}

ClickSounds::~ClickSounds() = default;

std::optional<std::string> ClickSounds::soundPath(const char* key) const {
    auto name = fHost.stringForKey(key);
    if (!name) return std::nullopt;
    return NSBundle::mainBundle().pathForResource(*name, "aiff", "Sounds");
}

void ClickSounds::updateTapSound() {
    fAudioQueueScrewedUp = false;
    auto path = soundPath("TapSound");
    fMetronomeSound.store(path ? fHost.makeNSSound(*path) : nullptr);
    fUKMetronomeSound.store(path ? fHost.makeUKSound(*path) : nullptr);
}

void ClickSounds::updateAlternateSound() {
    auto path = soundPath("AlternateSound");
    fAlternateSound.store(path ? fHost.makeNSSound(*path) : nullptr);
    fUKAlternateSound.store(path ? fHost.makeUKSound(*path) : nullptr);
}

void ClickSounds::updateSoundOptions() {
    fPlayClick = fHost.boolForKey("PlayClickOnTap");
    fPlayAlternate = fHost.boolForKey("PlayAlternate");
    fAlternateBeat = static_cast<long>(fHost.integerForKey("AlternateBeat"));
    fHost.setTapAreaPlaysClick(fPlayClick);
}

void ClickSounds::playSound(const std::atomic<std::shared_ptr<UKSound>>& low,
                            const std::atomic<std::shared_ptr<NSSound>>& copy) {
    if (fAudioQueueScrewedUp) {
        if (auto sound = copy.load()) sound->play();
        return;
    }
    auto sound = low.load();  // held for the whole play, whatever the main thread swaps in
    if (sound && sound->isLoaded() && sound->play() != 0) fAudioQueueScrewedUp = true;
}

void ClickSounds::playMetronomeClickOnly() {
    if (!fPlayClick) return;
    playSound(fUKMetronomeSound, fMetronomeSound);
}

void ClickSounds::playMetronomeClick() {
    if (!fPlayClick) return;
    playSound(fUKMetronomeSound, fMetronomeSound);
    fHost.pulse();
}

void ClickSounds::playMetronomeClickForBeat(long beat) {
    if (fPlayAlternate && beat == fAlternateBeat.load(std::memory_order_relaxed))
        playSound(fUKAlternateSound, fAlternateSound);
    else if (fPlayClick)
        playSound(fUKMetronomeSound, fMetronomeSound);
}
