#include "export/bids_export_editor.h"

#include "base/errors.h"
#include "base/uRes.h"

#include <filesystem>

namespace sornafex {

namespace {

constexpr std::string_view kCaption = "Exporter BIDS";
constexpr std::string_view kNoFolder = "Indiquez le dossier où écrire les fichiers";

// The folder of the file at path; "." for a bare name.
std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

} // namespace

TBidsExportEditor::TBidsExportEditor(const std::string& journalPath)
    : subject(BidsSubjectOf(journalPath)), task(res::kBidsDefaultTask),
      folder(FolderOf(journalPath)) {}

std::string TBidsExportEditor::Caption() const {
    return std::string(kCaption);
}

bool TBidsExportEditor::Accept(std::string& error) const {
    for (const std::string* label : {&subject, &task})
        if (!IsBidsLabel(*label)) {
            error = ErrorBoxText(res::FormatStr(res::kExportFailedFormat,
                                                res::FormatStr(res::kBidsLabelFormat, *label)));
            return false;
        }
    if (folder.empty()) {
        error = ErrorBoxText(kNoFolder);
        return false;
    }
    return true;
}

} // namespace sornafex
