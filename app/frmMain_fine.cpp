// The fine measurement of the main window: every change time the worker finds becomes ten
// estimates a second (analysis/fine_frequency.h), in µS too when the port's device is
// calibrated; they go to the run's journal and to the response window. Also the calibration
// dialog of the selected port, and the tone that follows the response window.

#include "acquisition/acquisition.h"
#include "analysis/calibration_editor.h"
#include "analysis/fine_frequency.h"
#include "app/frmMain.h"
#include "app/frmResponse.h"
#include "app/qt_text.h"
#include "audio/audio_output.h"
#include "base/int_text.h"
#include "base/uRes.h"
#include "recording/journal.h"
#include "serial/port_device_map.h"
#include "settings/uPrefs.h"

#include <QAction>
#include <QTimer>
#include <chrono>
#include <optional>
#include <stdexcept>

namespace sornafex {

namespace {

// An estimate is made once a change later than its due time has arrived; on a line that has gone
// quiet, once this long has passed. It is more than a loss takes to be known on the UI thread
// (TAcquisition::kLossLead), so that an estimate never claims a span the loss had already begun.
constexpr TMonoNs kQuietSettle = 150 * kNsPerMs;
// The changes are fetched this long after each estimate's due time: those of the 100 ms before
// have been found by then, at any rate a sensor reaches.
constexpr TMonoNs kFetchAfterDue = 25 * kNsPerMs;
constexpr std::chrono::milliseconds kCalibrationMeasure{3000};
// Of the 30 estimates of a measurement, the first span's lack a value: a measurement needs most
// of the others.
constexpr std::size_t kMeasureEstimates = 20;

constexpr std::string_view kNoChangeMeasured =
    "Aucun changement de niveau mesuré : vérifiez le branchement et la résistance";
constexpr std::string_view kCalibrationIgnoredFormat = "Étalonnage ignoré : %s";
constexpr std::string_view kVolumeCaption = "Volume du son";
constexpr std::string_view kVolumePrompt = "Volume, de 0 (muet) à 100 :";
constexpr std::string_view kBadVolume = "Volume incorrect : tapez un nombre de 0 à 100";

double RunSeconds(TMonoNs at, TMonoNs runStart) {
    return static_cast<double>(at - runStart) * 1e-9;
}

} // namespace

class TfmMain::TFineArea {
public:
    explicit TFineArea(TfmMain& window)
        : form(window), response(new TfmResponse(&window)), sound(new TAudioOutput(&window)) {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &window, [this] { Fetch(); });
        QObject::connect(response, &TfmResponse::Recentred, &window, [this] {
            form.Journal().Event(TJournalEvent::Recentred);
            HearSpan();
        });
        // A sound server that fails takes the command's reason with it.
        QObject::connect(sound, &TAudioOutput::Failed, &window, [this] { ShowSoundState(); });
        QObject::connect(response, &TfmResponse::Closed, &window,
                         [this] { form.ActGraphResponse->setChecked(false); });
    }

    // The device value of the selected port, as the preferences map it.
    std::string Device() const {
        const TComPort& port = form.Acquisition().ComPort1();
        return ComPortName(port.ComNumber(), port.DeviceMap());
    }

    // The calibration the preferences hold for the device; none when there is none, and when
    // it cannot be used (the reason then goes to panel 2: the run shows hertz alone).
    std::optional<TCalibration> LoadCalibration() {
        const std::string stored = ReadCalibration(form.Paths().preferencesPath, Device());
        if (stored.empty())
            return std::nullopt;
        try {
            return TCalibration::Fit(ParseCalibrationPoints(stored));
        } catch (const ECalibration& error) {
            form.SetPanelText(kActivityPanel,
                              res::FormatStr(kCalibrationIgnoredFormat, error.what()));
            return std::nullopt;
        }
    }

    void Begin() {
        runStart = form.Journal().RunStartNs();
        estimator.emplace(runStart);
        calibration = LoadCalibration();
        form.Journal().Describe(
            Device(), calibration ? FormatCalibrationPoints(calibration->Points()) : std::string());
        response->Begin(calibration.has_value());
        nextFetch = runStart + TFineFrequency::kInterval + kFetchAfterDue;
        Schedule();
        Listen();
    }

    void End() {
        timer.stop();
        if (estimator)
            Take(MonotonicNs());
        estimator.reset();
        // Silent at once, then the device is let go.
        sound->Synth().Silence();
        Listen();
    }

    // The output plays during a run with "Son" on; otherwise the device is left alone.
    void Listen() { sound->SetEnabled(estimator.has_value() && form.ActGraphSound->isChecked()); }

    // "Son" can be chosen when there is an output; its tooltip says why not otherwise.
    void ShowSoundState() {
        QAction* action = form.ActGraphSound;
        const bool available = sound->HasOutput();
        action->setEnabled(available);
        action->setToolTip(available ? action->text() : sound->Description());
        form.ActGraphSoundVolume->setEnabled(available);
        if (!available)
            sound->SetEnabled(false);
    }

    void Tick() {
        if (estimator)
            sound->Synth().Tick();
    }

    void PortEvent(TPortEvent event, TMonoNs at) {
        if (!estimator)
            return;
        // The changes found before the event come first: the estimator hears of the line in
        // the order of its times.
        TakeChanges();
        if (event == TPortEvent::Lost)
            estimator->LineLost(at);
        else
            estimator->LineBack(at);
    }

    void Marker(TMonoNs at, const std::string& label, const chart::TChartPen& pen) {
        if (estimator)
            response->Graph().AddMarker(RunSeconds(at, runStart), label, pen);
    }

    TfmMain& form;
    TfmResponse* response; // a window of its own, which the main window owns
    TAudioOutput* sound;
    QTimer timer;
    std::optional<TFineFrequency> estimator;
    std::optional<TCalibration> calibration;
    TMonoNs runStart = 0;
    TMonoNs nextFetch = 0;
    int volume = TToneSynth::kDefaultVolume;

private:
    void Schedule() {
        const TMonoNs wait = std::max<TMonoNs>(nextFetch - MonotonicNs(), 0);
        timer.start(std::chrono::milliseconds(wait / kNsPerMs));
    }

    void Fetch() {
        if (!estimator)
            return;
        const TMonoNs now = MonotonicNs();
        Take(now - kQuietSettle);
        while (nextFetch <= now)
            nextFetch += TFineFrequency::kInterval;
        Schedule();
    }

    void TakeChanges() {
        stamps.clear();
        form.Acquisition().Changes().Drain(stamps);
        for (const TChangeStamp& stamp : stamps)
            estimator->AddChange(stamp.index, stamp.at, stamp.uncertainty, stamp.blindest);
    }

    // The estimates due up to until, each to the journal and the response window.
    void Take(TMonoNs until) {
        TakeChanges();
        estimates.clear();
        estimator->EstimatesUntil(until, estimates);
        for (const TFineEstimate& estimate : estimates) {
            std::optional<double> microsiemens;
            bool inRange = true;
            if (estimate.hertz && calibration) {
                microsiemens = calibration->MicroSiemens(*estimate.hertz);
                inRange = calibration->InRange(*estimate.hertz);
            }
            if (estimate.hertz)
                form.Journal().Fine(estimate.at, *estimate.hertz, microsiemens);
            form.FineEstimate(estimate.at, estimate.hertz, microsiemens);
            if (response->AddValue(RunSeconds(estimate.at, runStart), estimate.hertz, microsiemens,
                                   inRange))
                form.Journal().Event(TJournalEvent::Recentred);
            // The ear hears what the eye sees: the window's value over the window's span.
            HearSpan();
            sound->Synth().SetValue(response->Graph().Latest());
        }
    }

    void HearSpan() {
        const chart::TResponseScale& scale = response->Graph().Scale();
        if (scale.Placed())
            sound->Synth().SetSpan(scale.Bottom(), scale.Top());
    }

    std::vector<TChangeStamp> stamps;
    std::vector<TFineEstimate> estimates;
};

void TfmMain::TFineAreaDeleter::operator()(TFineArea* area) const {
    delete area;
}

void TfmMain::CreateFine() {
    m_fine.reset(new TFineArea(*this));
    // F9, F10 and the marks work from the response window too.
    m_fine->response->addActions({ActCaptureStart, ActCaptureStop, ActCaptureMark, ActExamAsk,
                                  ActExamAnswerYes, ActExamAnswerNo, ActExamUndo});
    m_fine->ShowSoundState();
}

TfmResponse* TfmMain::ResponseWindow() const {
    return m_fine->response;
}

void TfmMain::BeginFine() {
    m_fine->Begin();
}

void TfmMain::EndFine() {
    m_fine->End();
}

void TfmMain::FinePortEvent(TPortEvent event, TMonoNs at) {
    m_fine->PortEvent(event, at);
}

void TfmMain::FineMarker(TMonoNs at, const std::string& label, const chart::TChartPen& pen) {
    m_fine->Marker(at, label, pen);
}

void TfmMain::FineUnmark(const std::string& label) {
    m_fine->response->Graph().RemoveMarker(label);
}

bool TfmMain::FineCalibrated() const {
    return m_fine->calibration.has_value();
}

void TfmMain::SoundTick() {
    m_fine->Tick();
}

TSoundPreferences TfmMain::SoundPreferences() const {
    return {ActGraphSound->isChecked(), m_fine->volume};
}

void TfmMain::ApplySoundPreferences(const TSoundPreferences& prefs) {
    m_fine->volume = prefs.volume;
    m_fine->sound->Synth().SetVolume(prefs.volume);
    ActGraphSound->setChecked(prefs.on && m_fine->sound->HasOutput());
    m_fine->ShowSoundState();
}

void TfmMain::ActGraphSoundExecute() {
    // The action's check mark has already changed.
    m_fine->Listen();
}

void TfmMain::ActGraphSoundVolumeExecute() {
    const auto answer = m_ui.InputBox(std::string(kVolumeCaption), std::string(kVolumePrompt),
                                      std::to_string(m_fine->volume));
    if (!answer)
        return;
    const auto volume = ParseIntText(*answer);
    if (!volume || *volume < 0 || *volume > 100) {
        m_ui.ShowMessage(std::string(kBadVolume));
        return;
    }
    m_fine->volume = *volume;
    m_fine->sound->Synth().SetVolume(*volume);
}

TResponsePreferences TfmMain::ResponsePreferences() const {
    const TfmResponse& window = *m_fine->response;
    return {ActGraphResponse->isChecked(), window.Graph().Seconds(), window.SpanPercent(),
            window.SpanMicroSiemens()};
}

void TfmMain::ApplyResponsePreferences(const TResponsePreferences& prefs) {
    TfmResponse& window = *m_fine->response;
    window.SetSeconds(prefs.seconds);
    window.SetSpans(prefs.spanPercent, prefs.spanMicroSiemens);
    // Shown with the main window, beside it (showEvent), or now when that is already shown.
    ActGraphResponse->setChecked(prefs.visible);
    if (isVisible())
        ActGraphResponseExecute();
}

void TfmMain::ActGraphResponseExecute() {
    // The action's check mark has already changed.
    TfmResponse& window = *m_fine->response;
    if (ActGraphResponse->isChecked()) {
        window.show();
        window.raise();
        window.activateWindow();
    } else {
        window.hide();
    }
}

void TfmMain::ActComCalibrateExecute() {
    TAcquisition& acquisition = Acquisition();
    const TComPort& port = acquisition.ComPort1();
    const std::string device = m_fine->Device();
    TCalibrationEditor editor(
        std::string(res::kPortPrefix) + std::to_string(port.ComNumber()), device,
        ReadCalibration(m_paths.preferencesPath, device), [&acquisition] {
            // The fine frequency averaged over the measurement, as a run would show it.
            const auto measured = acquisition.MeasureChanges(kCalibrationMeasure);
            TFineFrequency fine(measured.from);
            for (const TChangeStamp& change : measured.changes)
                fine.AddChange(change.index, change.at, change.uncertainty, change.blindest);
            std::vector<TFineEstimate> estimates;
            fine.EstimatesUntil(measured.to, estimates);
            const auto hertz = MeanFrequency(estimates, kMeasureEstimates);
            if (!hertz)
                throw std::runtime_error(std::string(kNoChangeMeasured));
            return *hertz;
        });
    if (!m_ui.EditInDialog(editor))
        return;
    WriteCalibration(m_paths.preferencesPath, device, editor.Accepted());
}

} // namespace sornafex
