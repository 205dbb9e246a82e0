#include "export/bids_export.h"

#include "base/locations.h"
#include "base/uRes.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>
#include <zlib.h>

namespace sornafex {

namespace {

constexpr std::string_view kMissing = "n/a";
constexpr std::string_view kMarkerType = "repère";

struct TBidsColumn {
    std::string_view name;
    std::string_view units;
    std::string_view description;
};
constexpr TBidsColumn kFrequencyColumn{
    "frequency", "Hz",
    "Fréquence de l'oscillateur du capteur de réponse cutanée, estimée dix fois par seconde "
    "d'après les instants de ses changements de niveau"};
constexpr TBidsColumn kConductanceColumn{
    "conductance", "uS",
    "Conductance cutanée, déduite de la fréquence par l'étalonnage du capteur"};

bool IsAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A point whatever the locale: the toolkit sets the user's, whose decimal separator may be a
// comma.
std::string Decimals(double value, int decimals) {
    char text[64];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

std::string Seconds(TJournalMs ms) {
    return Decimals(double(ms) / 1000, 3);
}

// A JSON string: quotes, backslashes and control characters escaped; UTF-8 passes as it is.
std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json.push_back('\\');
            json.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            json.append(escaped);
        } else {
            json.push_back(c);
        }
    }
    return json + "\"";
}

std::string Gzip(std::string_view bytes) {
    z_stream stream{};
    // 15 + 16: the largest window, in a gzip wrapper (whose header gives no time: the same
    // session makes the same bytes).
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw EExportError(std::string(res::kExportGzipFailed));
    std::string packed(deflateBound(&stream, uLong(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = uInt(packed.size());
    const int result = deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw EExportError(std::string(res::kExportGzipFailed));
    return packed;
}

std::string PhysioRows(const TSessionSignals& signals, std::size_t first, std::size_t last) {
    std::string rows;
    const auto value = [](double v) {
        return std::isnan(v) ? std::string(kMissing) : Decimals(v, 4);
    };
    for (std::size_t i = first; i <= last; ++i) {
        rows += value(signals.hertz[i]);
        if (!signals.microsiemens.empty()) {
            rows.push_back('\t');
            rows += value(signals.microsiemens[i]);
        }
        rows.push_back('\n');
    }
    return rows;
}

std::string PhysioSidecar(const std::vector<TBidsColumn>& columns, TJournalMs startMs) {
    std::string json = "{\n  \"SamplingFrequency\": " + std::to_string(kFineRate) +
                       ",\n  \"StartTime\": " + Seconds(startMs) + ",\n  \"Columns\": [";
    for (std::size_t i = 0; i < columns.size(); ++i)
        json += (i > 0 ? ", " : "") + JsonString(columns[i].name);
    json += "],\n";
    for (const TBidsColumn& column : columns)
        json += "  " + JsonString(column.name) + ": {\n    \"Units\": " + JsonString(column.units) +
                ",\n    \"Description\": " + JsonString(column.description) + "\n  },\n";
    return json + "  \"SoftwareVersions\": " + JsonString(ExportingSoftware()) + "\n}\n";
}

std::string Events(const TJournalSession& session) {
    struct TRow {
        TJournalMs onset;
        std::string fields;
    };
    std::vector<TRow> rows;
    for (const TJournalSession::TQuestion& question : session.questions) {
        const TJournalSession::TAnswer* answer = AnswerTo(session, question.number);
        const std::string value =
            answer ? std::string(answer->yes ? kAnswerYes : kAnswerNo) : std::string(kMissing);
        const std::string responseTime =
            answer ? Seconds(answer->at - question.at) : std::string(kMissing);
        rows.push_back({question.at, std::string(1, QuestionTypeLetter(question.type)) + "\t" +
                                         value + "\t" + responseTime});
    }
    for (const TJournalSession::TMarker& marker : session.markers)
        rows.push_back({marker.at, std::string(kMarkerType) + "\t" + std::string(kMissing) + "\t" +
                                       std::string(kMissing)});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TRow& a, const TRow& b) { return a.onset < b.onset; });
    std::string tsv = "onset\tduration\ttrial_type\tvalue\tresponse_time\n";
    for (const TRow& row : rows)
        tsv += Seconds(row.onset) + "\t0\t" + row.fields + "\n";
    return tsv;
}

} // namespace

bool IsBidsLabel(std::string_view label) {
    return !label.empty() && std::all_of(label.begin(), label.end(), IsAlphanumeric);
}

std::string BidsSubjectOf(std::string_view journalPath) {
    std::string_view name = journalPath.substr(journalPath.find_last_of('/') + 1);
    name = name.substr(0, name.find_last_of('.'));
    std::string label;
    std::copy_if(name.begin(), name.end(), std::back_inserter(label), IsAlphanumeric);
    return label;
}

std::string BidsFilePrefix(const TBidsLabels& labels) {
    return "sub-" + labels.subject + "_task-" + labels.task;
}

void ExportBids(const TJournalSession& session, const std::string& folder,
                const TBidsLabels& labels, TFileSystem& fs) {
    for (const std::string& label : {labels.subject, labels.task})
        if (!IsBidsLabel(label))
            throw EExportError(res::FormatStr(res::kBidsLabelFormat, label));
    const TSessionSignals signals = SessionSignals(session);
    const auto valued = [](double v) {
        return !std::isnan(v);
    };
    const std::size_t first = std::size_t(
        std::find_if(signals.hertz.begin(), signals.hertz.end(), valued) - signals.hertz.begin());
    const std::size_t last =
        signals.hertz.size() - 1 -
        std::size_t(std::find_if(signals.hertz.rbegin(), signals.hertz.rend(), valued) -
                    signals.hertz.rbegin());
    std::vector<TBidsColumn> columns{kFrequencyColumn};
    if (!signals.microsiemens.empty())
        columns.push_back(kConductanceColumn);

    const std::string physio = Gzip(PhysioRows(signals, first, last));
    const std::string sidecar = PhysioSidecar(columns, TJournalMs(first) * kFineStepMs);
    const std::string events = Events(session);
    if (!MakeFolder(folder))
        throw EFileError(errno);
    const std::string prefix = folder + "/" + BidsFilePrefix(labels);
    WriteFileAtomically(prefix + "_physio.tsv.gz", physio, fs);
    WriteFileAtomically(prefix + "_physio.json", sidecar, fs);
    WriteFileAtomically(prefix + "_events.tsv", events, fs);
}

} // namespace sornafex
