#include "export/edf_export.h"

#include "base/uRes.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <edflib.h>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace sornafex {

namespace {

constexpr int kDigitalMin = -32768;
constexpr int kDigitalMax = 32767;
constexpr int kNoValue = kDigitalMin;
constexpr std::size_t kRecordSlots = kFineRate; // a data record of one second
// EDFlib keeps one annotation per data record in each annotation signal, and drops the ones
// that find no room.
constexpr std::size_t kMaxAnnotationSignals = 64;
// EDFlib's onsets and durations are in units of 100 µs, the start's fraction of a second in
// units of 100 ns.
constexpr long long kEdfTimeUnitsPerMs = 10;
constexpr int kEdfSubsecondUnitsPerMs = 10000;
// The header holds each physical bound in eight characters.
constexpr std::size_t kHeaderNumberChars = 8;

// ---- Scale -------------------------------------------------------------------------------------

struct TScale {
    double min = 0;
    double max = 0;
    std::string minText;
    std::string maxText;
};

// A point whatever the locale: the toolkit sets the user's, whose decimal separator may be a
// comma.
std::string Fixed(double value, int decimals) {
    char text[64];
    return {text,
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr};
}

double Number(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The values' range widened by its margin, rounded outward to the finest power of ten whose
// bounds the header writes exactly.
TScale ScaleOf(const std::vector<double>& values, const char* label) {
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    for (const double value : values)
        if (!std::isnan(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    const double margin =
        std::max({(high - low) / 10, std::max(std::abs(low), std::abs(high)) / 100, 1e-3});
    low -= margin;
    high += margin;
    // Seven digits and a sign fill the header's field.
    if (std::max(std::abs(low), std::abs(high)) > 9'999'999)
        throw EExportError(res::FormatStr(res::kExportEdfRangeFormat, label));
    TScale scale;
    for (int exponent = int(std::floor(std::log10(high - low))) - 3;; ++exponent) {
        const double step = std::pow(10.0, exponent);
        const int decimals = std::max(0, -exponent);
        scale.minText = Fixed(std::floor(low / step) * step, decimals);
        scale.maxText = Fixed(std::ceil(high / step) * step, decimals);
        if (scale.minText.size() <= kHeaderNumberChars &&
            scale.maxText.size() <= kHeaderNumberChars)
            break;
    }
    // The bounds as the header holds them, so that what is written reads back as it was meant.
    scale.min = Number(scale.minText);
    scale.max = Number(scale.maxText);
    return scale;
}

short Digital(double value, const TScale& scale) {
    if (std::isnan(value))
        return kNoValue;
    const double steps =
        (value - scale.min) / (scale.max - scale.min) * (kDigitalMax - kDigitalMin);
    const long digital = std::lround(steps) + kDigitalMin;
    return short(std::clamp<long>(digital, kNoValue + 1, kDigitalMax));
}

// ---- Annotations ------------------------------------------------------------------------------

struct TAnnotation {
    TJournalMs onset = 0;
    TJournalMs duration = -1; // none
    std::string text;
};

// "Q<n> oui", "Q<n> R <text>"...
std::string QuestionMark(std::int32_t number, std::string_view what) {
    std::string text = "Q";
    text += std::to_string(number);
    text.push_back(' ');
    text.append(what);
    return text;
}

std::string QuestionText(const TJournalSession::TQuestion& question) {
    std::string text = QuestionMark(question.number, {});
    text.push_back(QuestionTypeLetter(question.type));
    if (!question.text.empty()) {
        text.push_back(' ');
        text.append(question.text);
    }
    return text;
}

std::vector<TAnnotation> Annotations(const TJournalSession& session,
                                     const std::vector<double>& hertz) {
    std::vector<TAnnotation> annotations;
    for (const TJournalSession::TQuestion& question : session.questions)
        annotations.push_back({question.at, -1, QuestionText(question)});
    for (const TJournalSession::TAnswer& answer : session.answers)
        annotations.push_back(
            {answer.at, -1, QuestionMark(answer.number, answer.yes ? kAnswerYes : kAnswerNo)});
    for (const TJournalSession::TMarker& marker : session.markers)
        annotations.push_back(
            {marker.at, -1, res::FormatInt(res::kExportMarkerFormat, marker.number)});
    for (const TSessionSpan& loss : PortLosses(session))
        annotations.push_back({loss.from, loss.to - loss.from,
                               std::string(JournalEventWord(TJournalEvent::PortLost))});
    for (const TJournalSession::TEvent& event : session.events)
        if (event.event == TJournalEvent::Recentred)
            annotations.push_back({event.at, -1, std::string(JournalEventWord(event.event))});
    for (const TSessionSpan& gap : Gaps(hertz))
        annotations.push_back({gap.from * kFineStepMs, (gap.to - gap.from) * kFineStepMs,
                               std::string(JournalEventWord(TJournalEvent::NoMeasurement))});
    std::stable_sort(annotations.begin(), annotations.end(),
                     [](const TAnnotation& a, const TAnnotation& b) { return a.onset < b.onset; });
    return annotations;
}

// ---- The file ---------------------------------------------------------------------------------

// A private folder of the system's temporary folder, for EDFlib to write into; removed with
// what it holds.
class TScratch {
public:
    TScratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sornafex-edf-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw EFileError(errno);
        m_folder = pattern;
    }
    ~TScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    std::string File() const { return m_folder + "/session.edf"; }

private:
    std::string m_folder;
};

// An EDFlib file open for writing; closed (and so finished) once, by Close or at the end.
class TEdfWriter {
public:
    TEdfWriter(const std::string& path, int signals)
        : m_handle(edfopen_file_writeonly(path.c_str(), EDFLIB_FILETYPE_EDFPLUS, signals)) {
        if (m_handle < 0)
            Refused(m_handle);
    }
    ~TEdfWriter() {
        if (m_handle >= 0)
            edfclose_file(m_handle);
    }
    TEdfWriter(const TEdfWriter&) = delete;
    TEdfWriter& operator=(const TEdfWriter&) = delete;

    int Handle() const { return m_handle; }
    // EDFlib's calls answer 0 on success.
    void Check(int result) const {
        if (result != 0)
            Refused(result);
    }
    void Close() {
        const int result = edfclose_file(std::exchange(m_handle, -1));
        Check(result);
    }

private:
    [[noreturn]] static void Refused(int code) {
        throw EExportError(res::FormatInt(res::kExportEdfLibraryFormat, code));
    }
    int m_handle;
};

struct TEdfSignal {
    TEdfSignal(const char* label, const char* unit, const std::vector<double>& values)
        : label(label), unit(unit), values(&values), scale(ScaleOf(values, label)) {}

    const char* label;
    const char* unit;
    const std::vector<double>* values;
    TScale scale;
};

} // namespace

std::string EdfAnnotationText(std::string_view text) {
    std::string cut;
    for (std::size_t i = 0; i < text.size();) {
        // A character: its first byte says how many continuation bytes (10xxxxxx) follow.
        const unsigned char first = static_cast<unsigned char>(text[i]);
        const std::size_t length = first < 0x80             ? 1
                                   : (first & 0xE0) == 0xC0 ? 2
                                   : (first & 0xF0) == 0xE0 ? 3
                                   : (first & 0xF8) == 0xF0 ? 4
                                                            : 0;
        std::size_t end = i + 1;
        while (end < text.size() && end < i + length &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        // Bytes that are no UTF-8 (a journal edited as Latin-1) would make the whole file
        // unreadable to a strict reader: each reads as "?".
        const bool character = length != 0 && end == i + length;
        const std::size_t size = character ? length : 1;
        if (cut.size() + size > kEdfAnnotationBytes)
            break;
        if (!character)
            cut.push_back('?');
        else if (first < 0x20 || first == 0x7F)
            cut.push_back(' ');
        else
            cut.append(text.substr(i, length));
        i = character ? end : i + 1;
    }
    return cut;
}

void ExportEdf(const TJournalSession& session, const std::string& path, TFileSystem& fs) {
    const TCivilTime start = CivilTime(session.start.epochMs, session.start.utcOffsetSeconds);
    if (start.year < 1985 || start.year > 2084)
        throw EExportError(res::FormatStr(
            res::kExportEdfDateRange,
            FormatJournalTime(session.start.epochMs, session.start.utcOffsetSeconds)));

    TSessionSignals signals = SessionSignals(session);
    // Whole records, and enough of them for every annotation: filling up makes one more span
    // without a value at most.
    std::size_t records = (signals.hertz.size() + kRecordSlots - 1) / kRecordSlots;
    std::vector<TAnnotation> annotations;
    for (;;) {
        const std::size_t slots = records * kRecordSlots;
        signals.hertz.resize(slots, NAN);
        if (!signals.microsiemens.empty())
            signals.microsiemens.resize(slots, NAN);
        annotations = Annotations(session, signals.hertz);
        if (annotations.size() <= records * kMaxAnnotationSignals)
            break;
        records = (annotations.size() + kMaxAnnotationSignals) / kMaxAnnotationSignals;
    }

    std::vector<TEdfSignal> edfSignals{{"Frequence", "Hz", signals.hertz}};
    if (!signals.microsiemens.empty())
        edfSignals.emplace_back("Conductance", "uS", signals.microsiemens);

    const TScratch scratch;
    TEdfWriter edf(scratch.File(), int(edfSignals.size()));
    const int h = edf.Handle();
    for (std::size_t i = 0; i < edfSignals.size(); ++i) {
        const TEdfSignal& signal = edfSignals[i];
        const int s = int(i);
        edf.Check(edf_set_samplefrequency(h, s, int(kRecordSlots)));
        edf.Check(edf_set_physical_minimum(h, s, signal.scale.min));
        edf.Check(edf_set_physical_maximum(h, s, signal.scale.max));
        edf.Check(edf_set_digital_minimum(h, s, kDigitalMin));
        edf.Check(edf_set_digital_maximum(h, s, kDigitalMax));
        edf.Check(edf_set_label(h, s, signal.label));
        edf.Check(edf_set_physical_dimension(h, s, signal.unit));
    }
    edf.Check(edf_set_startdatetime(h, start.year, start.month, start.day, start.hour, start.minute,
                                    start.second));
    edf.Check(edf_set_subsecond_starttime(h, start.millisecond * kEdfSubsecondUnitsPerMs));
    edf.Check(edf_set_equipment(h, ExportingSoftware().c_str()));
    edf.Check(edf_set_recording_additional(h, session.port.c_str()));
    const std::size_t perRecord = (annotations.size() + records - 1) / records;
    edf.Check(edf_set_number_of_annotation_signals(h, int(std::max<std::size_t>(perRecord, 1))));

    std::vector<short> record(kRecordSlots);
    for (std::size_t r = 0; r < records; ++r)
        for (const TEdfSignal& signal : edfSignals) {
            for (std::size_t i = 0; i < kRecordSlots; ++i)
                record[i] = Digital((*signal.values)[r * kRecordSlots + i], signal.scale);
            edf.Check(edfwrite_digital_short_samples(h, record.data()));
        }
    for (const TAnnotation& annotation : annotations) {
        const long long duration =
            annotation.duration < 0 ? -1 : annotation.duration * kEdfTimeUnitsPerMs;
        edf.Check(edfwrite_annotation_utf8(h, annotation.onset * kEdfTimeUnitsPerMs, duration,
                                           EdfAnnotationText(annotation.text).c_str()));
    }
    edf.Close();
    WriteFileAtomically(path, ReadWholeFile(scratch.File()), fs);
}

} // namespace sornafex
