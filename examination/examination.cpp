#include "examination/examination.h"

#include "analysis/response.h"
#include "base/uRes.h"

#include <cmath>

namespace sornafex {

namespace {

constexpr std::string_view kRunSeparator = "·";
constexpr std::string_view kNothingToUndo = "Rien à annuler";
constexpr std::string_view kTooOldToUndo =
    "Rien à annuler : la dernière marque date de plus de 10 s";
constexpr std::string_view kNoQuestionAsked = "Aucune question posée : la réponse n'est pas notée";
constexpr std::string_view kNoList = "Aucune liste de questions";
constexpr std::string_view kListAtStart = "La liste en est déjà à sa première question";
constexpr std::string_view kNoCurrent = "En cours : aucune question";

TMonoNs WindowNs(double seconds) {
    return static_cast<TMonoNs>(std::llround(seconds * static_cast<double>(kNsPerSecond)));
}

std::string Number(int n) {
    return std::to_string(n);
}

// "question 3 (R) : Hier, à Lyon ?"; "question 3" without a list, "question 13, hors liste" past
// its end.
std::string Described(const TExamMark& question, bool withList) {
    std::string text = "question " + Number(question.number);
    if (question.type == TQuestionType::Unlisted)
        return withList ? text + ", hors liste" : text;
    text.append(" (").append(1, QuestionTypeLetter(question.type)).append(")");
    if (!question.text.empty())
        text.append(" : ").append(question.text);
    return text;
}

std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string AnswerWord(bool yes) {
    return std::string(yes ? kAnswerYes : kAnswerNo);
}

} // namespace

TExamination::TExamination() : m_window(WindowNs(TResponseSettings{}.window)) {}

void TExamination::SetList(TQuestionList list) {
    m_list = std::move(list);
    m_next = 0;
    m_pass = 1;
}

void TExamination::SetWindow(double seconds) {
    m_window = WindowNs(seconds);
}

void TExamination::NewHistory() {
    m_run = 0;
}

void TExamination::BeginRun() {
    ++m_run;
    m_marks.clear();
    m_next = 0;
    m_pass = 1;
}

TExamOutcome TExamination::Ask(TMonoNs at) {
    const TStanding* previous = LastQuestion();
    TStanding asked;
    asked.nextBefore = m_next;
    asked.passBefore = m_pass;
    TExamMark& mark = asked.mark;
    mark.kind = TExamMark::TKind::Question;
    mark.at = at;
    mark.number = previous ? previous->mark.number + 1 : 1;
    if (m_next < m_list.size()) {
        asked.listed = m_next;
        mark.type = m_list[m_next].type;
        mark.text = m_list[m_next].text;
        ++m_next;
    }
    mark.overlapsPrevious = previous && at - previous->mark.at < m_window;
    mark.label = LabelPrefix() + "Q" + Number(mark.number);

    std::string status = Capitalised(Described(mark, !m_list.empty()));
    if (mark.overlapsPrevious)
        status += " — pendant la mesure de la question " + Number(previous->mark.number);
    m_marks.push_back(asked);
    return {mark, status};
}

TExamOutcome TExamination::Answer(TMonoNs at, bool yes) {
    const TStanding* question = LastQuestion();
    if (!question)
        return {std::nullopt, std::string(kNoQuestionAsked)};
    TStanding answer;
    answer.mark.kind = TExamMark::TKind::Answer;
    answer.mark.at = at;
    answer.mark.number = question->mark.number;
    answer.mark.yes = yes;
    m_marks.push_back(answer);
    return {answer.mark,
            "Question " + Number(answer.mark.number) + " : réponse " + AnswerWord(yes)};
}

TExamOutcome TExamination::Marker(TMonoNs at, int number) {
    TStanding marker;
    marker.mark.kind = TExamMark::TKind::Marker;
    marker.mark.at = at;
    marker.mark.number = number;
    marker.mark.label = LabelPrefix() + Number(number);
    m_marks.push_back(marker);
    return {marker.mark, res::FormatInt(res::kMarkerStatusFormat, number)};
}

TExamOutcome TExamination::RestartList() {
    if (m_list.empty())
        return {std::nullopt, std::string(kNoList)};
    if (m_next == 0)
        return {std::nullopt, std::string(kListAtStart)};
    m_next = 0;
    ++m_pass;
    return {std::nullopt, "Liste recommencée : passage " + Number(m_pass)};
}

TExamOutcome TExamination::Undo(TMonoNs now) {
    if (m_marks.empty())
        return {std::nullopt, std::string(kNothingToUndo)};
    if (now - m_marks.back().mark.at >= kUndoSpan)
        return {std::nullopt, std::string(kTooOldToUndo)};
    const TStanding undone = m_marks.back();
    m_marks.pop_back();
    const TExamMark& mark = undone.mark;
    switch (mark.kind) {
    case TExamMark::TKind::Question:
        m_next = undone.nextBefore;
        m_pass = undone.passBefore;
        return {mark, "Annulé : question " + Number(mark.number)};
    case TExamMark::TKind::Answer:
        return {mark, "Annulé : réponse " + AnswerWord(mark.yes) + " à la question " +
                          Number(mark.number)};
    case TExamMark::TKind::Marker:
        break;
    }
    return {mark, "Annulé : repère " + Number(mark.number)};
}

std::optional<std::size_t> TExamination::CurrentInList() const {
    const TStanding* question = LastQuestion();
    return question ? question->listed : std::nullopt;
}

std::optional<std::size_t> TExamination::NextInList() const {
    return m_next < m_list.size() ? std::optional(m_next) : std::nullopt;
}

std::string TExamination::CurrentText() const {
    const TStanding* question = LastQuestion();
    if (!question)
        return std::string(kNoCurrent);
    return "En cours : " + Described(question->mark, !m_list.empty());
}

std::string TExamination::NextText() const {
    const TStanding* previous = LastQuestion();
    TExamMark next;
    next.number = previous ? previous->mark.number + 1 : 1;
    if (m_next < m_list.size()) {
        next.type = m_list[m_next].type;
        next.text = m_list[m_next].text;
    }
    std::string text = "Suivante : " + Described(next, !m_list.empty());
    if (!m_list.empty() && m_next >= m_list.size())
        text += " (fin de la liste)";
    if (m_pass > 1)
        text += " — passage " + Number(m_pass);
    return text;
}

const TExamination::TStanding* TExamination::LastQuestion() const {
    for (auto it = m_marks.rbegin(); it != m_marks.rend(); ++it)
        if (it->mark.kind == TExamMark::TKind::Question)
            return &*it;
    return nullptr;
}

std::string TExamination::LabelPrefix() const {
    return m_run >= 2 ? Number(m_run).append(kRunSeparator) : std::string();
}

} // namespace sornafex
