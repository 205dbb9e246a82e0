#pragma once

// TAudioOutput: the tone synthesizer heard through the default audio output (Qt Multimedia). It
// lives on the UI thread, and so does the synth: a timer of the UI thread's event loop renders
// what the sink has room for and writes it, never on the acquisition's worker.
//
// From a new value to its pitch: the value reaches the samples at the next feed (at most
// kFeedInterval later), which are heard after what the sink holds (at most kBufferSeconds; 30 ms
// of the 40 asked on PulseAudio 16); the glide then moves the pitch 90 % of a step in 2.3 x
// TToneSynth::kGlideSeconds (69 ms). The pitch starts to move within 50 ms and has made most of
// its way within 120 ms, under the 150 ms the response window allows. Going silent waits for the
// same feed and buffer.

#include "audio/tone_synth.h"

#include <QAudioFormat>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class QAudioSink;
class QIODevice;

namespace sornafex {

class TAudioOutput final : public QObject {
    Q_OBJECT

public:
    static constexpr double kBufferSeconds = 0.040;
    static constexpr std::chrono::milliseconds kFeedInterval{10};

    // Looks at the default output once, for 16-bit sound at 48 or 44.1 kHz, mono or stereo (the
    // device's preferred rate first, mono before stereo). Without one, or with one that takes
    // none of these, the synth still takes every call and nothing is heard.
    explicit TAudioOutput(QObject* parent = nullptr);
    ~TAudioOutput() override;

    // Whether a default output exists and took a format.
    bool HasOutput() const { return m_sink != nullptr; }
    // French, for the user: the output's name; or why there is none: "aucune sortie audio", a
    // refused format, or why it stopped (as Failed told).
    QString Description() const { return m_description; }
    // The format in use; meaningful when HasOutput().
    QAudioFormat Format() const { return m_format; }

    // The synth every value, span, tick and volume goes to; it renders at Format()'s rate.
    TToneSynth& Synth() { return *m_synth; }

    // On: the output starts playing the synth (nothing happens without an output). Off: the synth
    // falls silent and the output lets the device go once the fade has been heard.
    void SetEnabled(bool on);
    // Whether the output is playing the synth.
    bool Playing() const { return m_io != nullptr; }

Q_SIGNALS:
    // The sink stopped by itself (its device or the sound server failed); the reason in French,
    // which Description() keeps.
    void Failed(const QString& reason);

private:
    void Feed();
    void Release();
    void OnStateChanged();

    QAudioFormat m_format;
    QString m_deviceName;
    QString m_description;
    bool m_failed = false; // the current start's failure was reported
    std::unique_ptr<TToneSynth> m_synth;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr; // the sink's, while it plays
    std::vector<std::int16_t> m_mono;
    std::vector<std::int16_t> m_frames; // m_mono on every channel
    QTimer m_feed;
    QTimer m_release;
};

} // namespace sornafex
