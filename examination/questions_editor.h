#pragma once

// What the questions dialog ("Questions...") shows and how it checks its answer, without the
// toolkit: the list as a table of number, type and text, which the user adds to, removes from,
// reorders, opens from a file or saves as one; and the settings of the measurement of responses,
// which "Valeurs par défaut" brings back to TResponseSettings'. "OK" keeps the list and the
// settings: a list changed since it was opened is written to its file first (one without a file
// must be saved as one), and settings that make no measurement are refused, saying why; the
// dialog then stays open. "Annuler" keeps what was in use (a list saved meanwhile stays saved).

#include "analysis/response.h"
#include "base/file_io.h"
#include "base/ui_services.h"
#include "examination/question_list.h"

#include <array>
#include <cstddef>
#include <string>

namespace sornafex {

// Why settings make no measurement, in French; empty when they make one: 0 ≤ the latency's start
// < its end ≤ the peak window ≤ the measurement window ≤ 60 s, and thresholds above 0.
std::string ResponseSettingsProblem(const TResponseSettings& settings);

class TQuestionsEditor final : public TDialogModel {
public:
    // The list in use and its file ("" for none), and the settings in use; folder is where the
    // file dialogs open while the list has no file.
    TQuestionsEditor(TQuestionList list, std::string file, const TResponseSettings& settings,
                     std::string folder = {}, TFileSystem& fs = TFileSystem::Posix());

    std::string Caption() const override;

    const TQuestionList& List() const { return m_list; }
    const std::string& File() const { return m_file; }
    const std::string& Folder() const { return m_folder; }
    // Changed since it was opened or saved.
    bool Modified() const { return m_modified; }

    // A relevant question without text at row (at the end past it), for the user to type.
    void Insert(std::size_t row);
    void Remove(std::size_t row);
    // False at the list's edge.
    bool MoveUp(std::size_t row);
    bool MoveDown(std::size_t row);
    void SetType(std::size_t row, TQuestionType type);
    // Line ends become spaces.
    void SetText(std::size_t row, const std::string& text);

    // "Ouvrir...": the list in the file at path, which becomes the list's file; false with error
    // set (naming the file and the line) and the list as it was.
    bool Open(const std::string& path, std::string& error);
    // "Enregistrer sous...": writes the list to path, which becomes its file; false with error set
    // for a question without text or a file that cannot be written.
    bool SaveAs(const std::string& path, std::string& error);

    enum class TSetting { LatencyMin, LatencyMax, PeakWindow, Window, MinMicroSiemens, MinPercent };
    static constexpr std::array kSettings{TSetting::LatencyMin,      TSetting::LatencyMax,
                                          TSetting::PeakWindow,      TSetting::Window,
                                          TSetting::MinMicroSiemens, TSetting::MinPercent};
    // The field's name: "Latence, début (s)".
    static std::string SettingName(TSetting setting);
    // The field as typed, shown first with a decimal comma ("0,01").
    const std::string& SettingText(TSetting setting) const;
    void SetSettingText(TSetting setting, std::string text);
    void RestoreDefaultSettings();

    // "OK"; false with error set, the dialog staying open.
    bool Accept(std::string& error);
    // What "OK" kept.
    const TResponseSettings& Settings() const { return m_settings; }

private:
    // Why the list cannot be written, empty when it can.
    std::string ListProblem() const;
    void ShowSettings(const TResponseSettings& settings);

    TQuestionList m_list;
    std::string m_file;
    std::string m_folder;
    bool m_modified = false;
    TResponseSettings m_settings;
    std::array<std::string, kSettings.size()> m_texts;
    TFileSystem& m_fs;
};

} // namespace sornafex
