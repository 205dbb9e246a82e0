#include "audio/audio_output.h"

#include "base/uRes.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace sornafex {
namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Formatted(std::string_view format, const QString& value) {
    return Q(res::FormatStr(format, value.toStdString()));
}

std::optional<QAudioFormat> ChooseFormat(const QAudioDevice& device) {
    std::array rates{48000, 44100};
    if (device.preferredFormat().sampleRate() == 44100)
        std::swap(rates[0], rates[1]);
    for (const int channels : {1, 2}) {
        for (const int rate : rates) {
            QAudioFormat format;
            format.setSampleFormat(QAudioFormat::Int16);
            format.setSampleRate(rate);
            format.setChannelCount(channels);
            if (device.isFormatSupported(format))
                return format;
        }
    }
    return std::nullopt;
}

QString StopReason(QAudio::Error error) {
    switch (error) {
    case QAudio::OpenError:
        return Q(res::kAudioOpenError);
    case QAudio::IOError:
        return Q(res::kAudioIoError);
    default:
        return Q(res::kAudioFatalError);
    }
}

} // namespace

TAudioOutput::TAudioOutput(QObject* parent) : QObject(parent) {
    constexpr int kUnusedRate = 48000;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    const std::optional<QAudioFormat> format =
        device.isNull() ? std::nullopt : ChooseFormat(device);
    m_synth = std::make_unique<TToneSynth>(format ? format->sampleRate() : kUnusedRate);
    if (device.isNull()) {
        m_description = Q(res::kNoAudioOutput);
        return;
    }
    if (!format) {
        m_description = Formatted(res::kAudioFormatRefusedFormat, device.description());
        return;
    }
    m_format = *format;
    m_deviceName = m_description = device.description();
    m_sink = std::make_unique<QAudioSink>(device, m_format);
    m_sink->setBufferSize(m_format.bytesForDuration(static_cast<qint64>(kBufferSeconds * 1e6)));
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &TAudioOutput::OnStateChanged);

    // The samples are written, not pulled: Qt 6.4's PulseAudio sink, left to pull from an endless
    // device, stopped reading after its first fill for most buffer sizes. Written every few
    // milliseconds up to the room the sink has, the buffer stays full whatever the backend.
    m_feed.setTimerType(Qt::PreciseTimer);
    m_feed.setInterval(kFeedInterval);
    connect(&m_feed, &QTimer::timeout, this, &TAudioOutput::Feed);

    // Long enough for what the sink holds and the synth's fade to be heard before the device goes.
    constexpr double kMarginSeconds = 0.020;
    m_release.setSingleShot(true);
    m_release.setInterval(
        static_cast<int>((kBufferSeconds + TToneSynth::kFadeSeconds + kMarginSeconds) * 1000));
    connect(&m_release, &QTimer::timeout, this, &TAudioOutput::Release);
}

TAudioOutput::~TAudioOutput() = default;

void TAudioOutput::SetEnabled(bool on) {
    if (!m_sink)
        return;
    if (!on) {
        m_synth->Silence();
        if (Playing())
            m_release.start();
        return;
    }
    m_release.stop();
    if (Playing())
        return;
    m_description = m_deviceName;
    m_failed = false;
    QIODevice* io = m_sink->start();
    if (!io || m_sink->error() != QAudio::NoError) {
        OnStateChanged();
        return;
    }
    m_io = io;
    Feed();
    m_feed.start();
}

void TAudioOutput::Feed() {
    const qsizetype frames = m_sink->bytesFree() / m_format.bytesPerFrame();
    if (frames <= 0)
        return;
    m_mono.resize(static_cast<std::size_t>(frames));
    m_synth->Render(m_mono);
    const std::vector<std::int16_t>* out = &m_mono;
    if (const int channels = m_format.channelCount(); channels > 1) {
        m_frames.clear();
        for (const std::int16_t sample : m_mono)
            m_frames.insert(m_frames.end(), static_cast<std::size_t>(channels), sample);
        out = &m_frames;
    }
    // As much as the sink said it had room for: it takes it all.
    m_io->write(reinterpret_cast<const char*>(out->data()),
                static_cast<qint64>(out->size() * sizeof(std::int16_t)));
}

void TAudioOutput::Release() {
    m_feed.stop();
    m_io = nullptr;
    m_sink->stop();
}

void TAudioOutput::OnStateChanged() {
    // A stop of ours leaves no error; an underrun (the UI thread held up) is no reason to stop:
    // the next feed fills the buffer again.
    if (m_failed || m_sink->state() != QAudio::StoppedState || m_sink->error() == QAudio::NoError)
        return;
    m_failed = true;
    m_feed.stop();
    m_release.stop();
    m_io = nullptr;
    m_description = Formatted(res::kAudioStoppedFormat, StopReason(m_sink->error()));
    Q_EMIT Failed(m_description);
}

} // namespace sornafex
