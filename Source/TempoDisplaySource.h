// The tempo on show and its clicks, as the tap area and the metronome both read them: the
// tracker's displayed BPM, the bar length and the click of a beat.
#pragma once

class TempoDisplaySource {
public:
    virtual ~TempoDisplaySource() = default;
    // The tracker's displayed BPM (0 before any measurement). Any thread: the metronome's driver
    // reads it.
    virtual int currentDisplayBPM() const = 0;
    // The bar length ("AlternateBeat"). Any thread.
    virtual long alternateBeat() const = 0;
    // Plays the click of that beat of the bar, accented on the bar's last. Main thread (taps, a
    // start's first click) and the metronome's driver thread (every other click).
    virtual void playMetronomeClickForBeat(long beat) = 0;
};
