#pragma once

// What the session sheet's dialog ("Fiche de la séance") shows, without the toolkit: the person
// examined, the examiner and the notes (recording/session_sheet.h), all optional. It is asked at
// the first Start of a session; "OK" keeps what the fields hold, "Annuler" an empty sheet, and
// the run starts either way.

#include "base/ui_services.h"
#include "recording/session_sheet.h"

#include <string>

namespace sornafex {

class TSessionSheetEditor final : public TDialogModel {
public:
    explicit TSessionSheetEditor(TSessionSheet sheet = {}) : m_sheet(std::move(sheet)) {}

    std::string Caption() const override { return "Fiche de la séance"; }

    // The fields; the dialog writes what the user typed.
    TSessionSheet& Sheet() { return m_sheet; }
    const TSessionSheet& Sheet() const { return m_sheet; }

private:
    TSessionSheet m_sheet;
};

} // namespace sornafex
