#pragma once

// The tone of the response: a sine whose pitch follows the response window's value over the
// window's span, so that the sensitivity and the recentring the eye sees are what the ear hears,
// with a tick for each question onset and each marker. Toolkit-free; one thread owns a synth (the
// UI thread, which also renders for the output), so it holds no lock.

#include <cstdint>
#include <optional>
#include <span>

namespace sornafex {

// The pitch law: logarithmic over the span, one octave a half span. The span's bottom sounds
// kBottomPitchHz, its centre kCentrePitchHz, its top kTopPitchHz; beyond the span the same law goes
// on for one more octave on each side and stops there, at kLowestPitchHz and kHighestPitchHz.
inline constexpr double kBottomPitchHz = 220.0;
inline constexpr double kCentrePitchHz = 440.0;
inline constexpr double kTopPitchHz = 880.0;
inline constexpr double kLowestPitchHz = 110.0;
inline constexpr double kHighestPitchHz = 1760.0;

class TToneSynth {
public:
    // The log-pitch approaches its target exponentially with this time constant: a step of the
    // value is 63 % heard after it, 90 % after 2.3 times it (69 ms) and 96 % when the next value
    // comes 100 ms later: the pitch moves smoothly from one value to the next and keeps up.
    static constexpr double kGlideSeconds = 0.030;
    // Going silent and coming back: a raised-cosine fade of this length.
    static constexpr double kFadeSeconds = 0.005;
    // A change of volume moves the amplitude linearly over at most this time (no zipper noise).
    static constexpr double kVolumeRampSeconds = 0.010;
    // The tick: a sine above the tone's highest pitch under a Hann envelope of this length.
    static constexpr double kTickSeconds = 0.015;
    static constexpr double kTickPitchHz = 3000.0;
    // Peaks at full volume, as fractions of the 16-bit full scale: together below it, so the tick
    // mixed over the tone never clips.
    static constexpr double kToneLevel = 0.5;
    static constexpr double kTickLevel = 0.35;
    static constexpr int kDefaultVolume = 50;

    // sampleRate in hertz, > 0. The synth starts silent: no span, no value.
    explicit TToneSynth(int sampleRate);

    int SampleRate() const { return m_sampleRate; }

    // The span the values are heard over; the current value's pitch glides to its new place.
    // A span that is not finite or whose top is not above its bottom is refused: false, and the
    // previous span stays.
    bool SetSpan(double bottom, double top);
    // The latest value in the span's unit, or none (a loss, a silent line): the tone fades out and
    // keeps its pitch; a value after silence fades in at its own pitch, without a glide from the
    // old one. A value that is not finite counts as none.
    void SetValue(std::optional<double> value);
    // Starts a tick, heard whether the tone sounds or not; a tick asked while one sounds merges
    // with it.
    void Tick();
    // 0..100 (clamped): 0 is silent; 100 plays kToneLevel and kTickLevel, each step below it
    // 0.4 dB quieter (40 dB down to 1).
    void SetVolume(int percent);
    // Stop: the tone and any tick fade out at once; the next value brings the tone back.
    void Silence();

    // Fills mono with the next samples. The phase, the glide, the fades and the tick carry from one
    // call to the next, so any cutting of the stream into buffers gives the same samples.
    void Render(std::span<std::int16_t> mono);

    // The tone's pitch in hertz at the last rendered sample, 0 before any value had a pitch.
    double CurrentPitch() const;

private:
    // A level moving linearly toward its target by a fixed step a sample.
    struct TRamp {
        double level = 0;
        double target = 0;
        double step = 0;
        double Next();
    };

    void UpdateTarget();

    int m_sampleRate;
    double m_glideStep;     // the share of the log-pitch's distance covered each sample
    int m_tickLength;       // samples
    double m_tickIncrement; // the tick's phase advance a sample, in cycles
    bool m_hasSpan = false;
    double m_bottom = 0;
    double m_top = 0;
    std::optional<double> m_value;
    bool m_hasPitch = false; // a value has had a pitch since the synth began
    double m_logPitch = 0;   // log2 of the current pitch
    double m_targetLog = 0;  // log2 of the pitch the current value asks for
    double m_increment = 0;  // the tone's phase advance a sample, in cycles
    double m_phase = 0;      // cycles, in [0, 1)
    TRamp m_tone;            // 1 while the tone sounds, before its raised-cosine shaping
    TRamp m_volume;          // amplitude of the volume curve
    int m_tickAt = -1;       // the tick's next sample, -1 when none sounds
    TRamp m_tickGate;        // 1 while the tick may sound; Silence closes it
};

} // namespace sornafex
