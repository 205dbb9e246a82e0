#pragma once

// What the dialog "Exporter BIDS..." of the session review shows and how it checks its answer,
// without the toolkit: the labels of the subject and of the task, by default those the command
// line gives (BidsSubjectOf the journal's name, and "examen"), and the folder the three files go
// into, by default the journal's own.

#include "base/ui_services.h"
#include "export/bids_export.h"

#include <string>

namespace sornafex {

class TBidsExportEditor final : public TDialogModel {
public:
    explicit TBidsExportEditor(const std::string& journalPath);

    std::string Caption() const override;

    // What the dialog shows, and what the user types into it.
    std::string subject;
    std::string task;
    std::string folder;

    // "OK": true when both labels are BIDS labels (IsBidsLabel) and a folder is named; false
    // with error set to what the user reads otherwise, and the dialog stays open.
    bool Accept(std::string& error) const;
    TBidsLabels Labels() const { return {subject, task}; }
};

} // namespace sornafex
