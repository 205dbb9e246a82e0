#pragma once

// A session as an EDF+C file, written through EDFlib, for EDFbrowser, MNE and the electrodermal
// toolboxes.
//
// - Start: the local date and time of the run's start as its journal wrote it, to the
//   millisecond (EDF+ keeps the fraction of the second apart).
// - Signals, ten samples a second in data records of one second: "Frequence" (Hz) and, when any
//   fine row has a conductance, "Conductance" (uS). Sample i is the moment i × 100 ms after the
//   start (export/session_signals.h); the last record is filled up with "no value".
// - Scale: the digital range is -32768..32767. The physical range is the data's own, widened by
//   a tenth of its span (and at least 1 % of its largest value) and rounded outward to a number
//   the header's eight characters hold exactly; it is mapped on -32768..32767, and the values on
//   -32767..32767, so that each reads back within half a step, (max - min) / 65535.
// - No value: a slot without an estimate holds -32768, which reads as the physical minimum,
//   below every value the signal really took; and an annotation "sans mesure" covers each such
//   span, from its first slot for as many slots as it lasts.
// - Annotations, onsets to the millisecond: "Q<n> <type> <text>" for each question's onset,
//   "Q<n> oui|non" for each answer, "Repère <n>" for each marker, "port perdu" from each loss of
//   the port for as long as it lasted (to its reopening, or to the end), "recentrage" for each
//   recentring, and the spans without a value. Marks undone are not there. A text is cut to
//   EDFlib's 40 bytes on a character's boundary; line ends and other control characters read as
//   spaces, bytes that are no UTF-8 as "?".
//
// EDFlib's open and close are not thread-safe: call ExportEdf from one thread at a time.

#include "base/file_io.h"
#include "export/session_signals.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace sornafex {

// The longest annotation text EDFlib writes, in bytes.
inline constexpr std::size_t kEdfAnnotationBytes = 40;

// text as an annotation: control characters as spaces, bytes that are no UTF-8 as "?", cut to
// kEdfAnnotationBytes where a character begins.
std::string EdfAnnotationText(std::string_view text);

// Writes the session as EDF+C at path, crash-safely (base/file_io.h's WriteFileAtomically).
// Throws EExportError (a session without fine values, a start outside 1985–2084, values the
// header cannot scale, EDFlib's refusal) or EFileError; the file at path is then as it was.
void ExportEdf(const TJournalSession& session, const std::string& path,
               TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex
