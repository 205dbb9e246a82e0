#include "examination/questions_editor.h"

#include "base/decimal_text.h"

#include <utility>

namespace sornafex {

namespace {

constexpr double kLongestWindow = 60;
constexpr int kSettingDecimals = 3;

struct TSettingField {
    const char* name;
    double TResponseSettings::*value;
};

// In the order of TQuestionsEditor::kSettings.
constexpr std::array<TSettingField, 6> kFields{{
    {"Latence, début (s)", &TResponseSettings::latencyMin},
    {"Latence, fin (s)", &TResponseSettings::latencyMax},
    {"Fenêtre du pic (s)", &TResponseSettings::peakWindow},
    {"Fenêtre de mesure (s)", &TResponseSettings::window},
    {"Seuil, étalonné (µS)", &TResponseSettings::minMicroSiemens},
    {"Seuil, sans étalonnage (% du niveau)", &TResponseSettings::minPercent},
}};

const TSettingField& Field(TQuestionsEditor::TSetting setting) {
    return kFields[static_cast<std::size_t>(setting)];
}

} // namespace

std::string ResponseSettingsProblem(const TResponseSettings& s) {
    // Written so that a value that is not a number fails each test.
    if (!(s.latencyMin >= 0))
        return "La latence ne peut pas commencer avant la question";
    if (!(s.latencyMax > s.latencyMin))
        return "La fin de la latence doit venir après son début";
    if (!(s.peakWindow >= s.latencyMax))
        return "La fenêtre du pic doit aller au moins jusqu'à la fin de la latence";
    if (!(s.window >= s.peakWindow))
        return "La fenêtre de mesure doit aller au moins jusqu'à la fin de la fenêtre du pic";
    if (!(s.window <= kLongestWindow))
        return "La fenêtre de mesure dure au plus 60 s";
    if (!(s.minMicroSiemens > 0) || !(s.minPercent > 0))
        return "Les seuils doivent être plus grands que 0";
    return {};
}

TQuestionsEditor::TQuestionsEditor(TQuestionList list, std::string file,
                                   const TResponseSettings& settings, std::string folder,
                                   TFileSystem& fs)
    : m_list(std::move(list)), m_file(std::move(file)), m_folder(std::move(folder)),
      m_settings(settings), m_fs(fs) {
    ShowSettings(settings);
}

std::string TQuestionsEditor::Caption() const {
    return "Questions";
}

void TQuestionsEditor::Insert(std::size_t row) {
    m_list.insert(m_list.begin() + static_cast<std::ptrdiff_t>(std::min(row, m_list.size())),
                  TListedQuestion{});
    m_modified = true;
}

void TQuestionsEditor::Remove(std::size_t row) {
    if (row >= m_list.size())
        return;
    m_list.erase(m_list.begin() + static_cast<std::ptrdiff_t>(row));
    m_modified = true;
}

bool TQuestionsEditor::MoveUp(std::size_t row) {
    if (row == 0 || row >= m_list.size())
        return false;
    std::swap(m_list[row - 1], m_list[row]);
    m_modified = true;
    return true;
}

bool TQuestionsEditor::MoveDown(std::size_t row) {
    return MoveUp(row + 1);
}

void TQuestionsEditor::SetType(std::size_t row, TQuestionType type) {
    if (row >= m_list.size() || type == TQuestionType::Unlisted || m_list[row].type == type)
        return;
    m_list[row].type = type;
    m_modified = true;
}

void TQuestionsEditor::SetText(std::size_t row, const std::string& text) {
    if (row >= m_list.size())
        return;
    std::string line = text;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (line == m_list[row].text)
        return;
    m_list[row].text = std::move(line);
    m_modified = true;
}

bool TQuestionsEditor::Open(const std::string& path, std::string& error) {
    try {
        m_list = ReadQuestionList(path, m_fs);
    } catch (const EQuestionList& failure) {
        error = failure.what();
        return false;
    }
    m_file = path;
    m_modified = false;
    return true;
}

bool TQuestionsEditor::SaveAs(const std::string& path, std::string& error) {
    error = ListProblem();
    if (!error.empty())
        return false;
    try {
        WriteQuestionList(path, m_list, m_fs);
    } catch (const EQuestionList& failure) {
        error = failure.what();
        return false;
    }
    m_file = path;
    m_modified = false;
    return true;
}

std::string TQuestionsEditor::SettingName(TSetting setting) {
    return Field(setting).name;
}

const std::string& TQuestionsEditor::SettingText(TSetting setting) const {
    return m_texts[static_cast<std::size_t>(setting)];
}

void TQuestionsEditor::SetSettingText(TSetting setting, std::string text) {
    m_texts[static_cast<std::size_t>(setting)] = std::move(text);
}

void TQuestionsEditor::RestoreDefaultSettings() {
    ShowSettings(TResponseSettings{});
}

bool TQuestionsEditor::Accept(std::string& error) {
    TResponseSettings settings;
    for (const TSetting setting : kSettings) {
        const auto value = ParseFrenchDecimal(SettingText(setting));
        if (!value) {
            error = "« " + SettingName(setting) + " » : un nombre est attendu";
            return false;
        }
        settings.*Field(setting).value = *value;
    }
    error = ResponseSettingsProblem(settings);
    if (error.empty())
        error = ListProblem();
    if (error.empty() && m_modified && m_file.empty() && !m_list.empty())
        error = "Enregistrez la liste (« Enregistrer sous... ») pour la garder";
    if (!error.empty())
        return false;
    if (m_modified && !m_file.empty() && !SaveAs(m_file, error))
        return false;
    m_settings = settings;
    return true;
}

std::string TQuestionsEditor::ListProblem() const {
    for (std::size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].text.find_first_not_of(" \t") == std::string::npos)
            return "La question " + std::to_string(i + 1) + " n'a pas de texte";
    return {};
}

void TQuestionsEditor::ShowSettings(const TResponseSettings& settings) {
    for (const TSetting setting : kSettings)
        SetSettingText(setting, FrenchDecimal(settings.*Field(setting).value, kSettingDecimals));
}

} // namespace sornafex
