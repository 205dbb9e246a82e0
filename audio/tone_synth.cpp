#include "audio/tone_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sornafex {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// The volume curve's range below full volume, in decibels.
constexpr double kVolumeRangeDb = 40.0;
constexpr double kFullScale = 32767.0;

// 0 at 0, 1 at 1, with no corner at either end: a linear ramp shaped so makes no click.
double RaisedCosine(double x) {
    return 0.5 - 0.5 * std::cos(std::numbers::pi * x);
}

double VolumeAmplitude(int percent) {
    if (percent <= 0)
        return 0;
    return std::pow(10.0, -kVolumeRangeDb * (100 - percent) / 100.0 / 20.0);
}

double StepFor(double seconds, int sampleRate) {
    return 1.0 / (seconds * sampleRate);
}

// The pitch of value over the span [bottom, top].
double PitchOfValue(double value, double bottom, double top) {
    static_assert(kTopPitchHz / kCentrePitchHz == kCentrePitchHz / kBottomPitchHz,
                  "one law on both sides of the centre");
    const double halfSpan = (top - bottom) / 2;
    const double position = (value - (bottom + halfSpan)) / halfSpan; // -1 bottom, +1 top
    const double octaves = std::clamp(position * std::log2(kTopPitchHz / kCentrePitchHz),
                                      std::log2(kLowestPitchHz / kCentrePitchHz),
                                      std::log2(kHighestPitchHz / kCentrePitchHz));
    return kCentrePitchHz * std::exp2(octaves);
}

} // namespace

double TToneSynth::TRamp::Next() {
    if (level < target)
        level = std::min(level + step, target);
    else if (level > target)
        level = std::max(level - step, target);
    return level;
}

TToneSynth::TToneSynth(int sampleRate)
    : m_sampleRate(sampleRate),
      // The exact one-pole coefficient, so that the time constant holds at any rate.
      m_glideStep(1 - std::exp(-1.0 / (kGlideSeconds * sampleRate))),
      m_tickLength(static_cast<int>(std::lround(kTickSeconds * sampleRate))),
      m_tickIncrement(kTickPitchHz / sampleRate) {
    m_tone.step = StepFor(kFadeSeconds, sampleRate);
    m_tickGate.step = m_tone.step;
    m_volume.step = StepFor(kVolumeRampSeconds, sampleRate);
    m_volume.level = m_volume.target = VolumeAmplitude(kDefaultVolume);
}

bool TToneSynth::SetSpan(double bottom, double top) {
    if (!std::isfinite(bottom) || !std::isfinite(top) || !(top > bottom))
        return false;
    m_hasSpan = true;
    m_bottom = bottom;
    m_top = top;
    UpdateTarget();
    return true;
}

void TToneSynth::SetValue(std::optional<double> value) {
    m_value = value && std::isfinite(*value) ? value : std::nullopt;
    UpdateTarget();
}

void TToneSynth::UpdateTarget() {
    const bool sounding = m_hasSpan && m_value;
    if (sounding) {
        m_targetLog = std::log2(PitchOfValue(*m_value, m_bottom, m_top));
        // Out of silence the tone starts at its own pitch: a glide from a pitch heard before the
        // silence would tell of a change that nobody measured.
        if (!m_hasPitch || m_tone.level == 0) {
            m_hasPitch = true;
            m_logPitch = m_targetLog;
            m_increment = std::exp2(m_logPitch) / m_sampleRate;
        }
    }
    m_tone.target = sounding ? 1 : 0;
}

void TToneSynth::Tick() {
    if (m_tickAt < 0) {
        m_tickAt = 0;
        m_tickGate.level = 1; // the Hann envelope starts at 0 by itself
    }
    m_tickGate.target = 1;
}

void TToneSynth::SetVolume(int percent) {
    m_volume.target = VolumeAmplitude(std::clamp(percent, 0, 100));
}

void TToneSynth::Silence() {
    m_value.reset();
    UpdateTarget();
    m_tickGate.target = 0;
}

double TToneSynth::CurrentPitch() const {
    return m_hasPitch ? std::exp2(m_logPitch) : 0.0;
}

void TToneSynth::Render(std::span<std::int16_t> mono) {
    for (std::int16_t& out : mono) {
        if (m_logPitch != m_targetLog) {
            m_logPitch += (m_targetLog - m_logPitch) * m_glideStep;
            // Closer than a billionth of an octave is there: the settled tone costs no exp2.
            if (std::abs(m_targetLog - m_logPitch) < 1e-9)
                m_logPitch = m_targetLog;
            m_increment = std::exp2(m_logPitch) / m_sampleRate;
        }
        double mix = 0;
        if (const double gate = m_tone.Next(); gate > 0)
            mix = kToneLevel * RaisedCosine(gate) * std::sin(kTwoPi * m_phase);
        // The phase runs on through silence too, so nothing about it depends on the buffers.
        m_phase += m_increment;
        if (m_phase >= 1)
            m_phase -= 1;
        if (m_tickAt >= 0) {
            const double envelope = RaisedCosine(2.0 * m_tickAt / m_tickLength);
            double cycles = m_tickAt * m_tickIncrement;
            cycles -= std::floor(cycles);
            mix +=
                kTickLevel * RaisedCosine(m_tickGate.Next()) * envelope * std::sin(kTwoPi * cycles);
            if (++m_tickAt == m_tickLength || m_tickGate.level == 0)
                m_tickAt = -1;
        }
        // kToneLevel + kTickLevel < 1 and every gain is at most 1: the sum never leaves the range.
        out = static_cast<std::int16_t>(std::lround(mix * m_volume.Next() * kFullScale));
    }
}

} // namespace sornafex
