// The review of a whole session from the main window: "Revoir une séance..." and the journal
// named on the command line, each in a window of its own (frmReview.h).

#include "app/frmMain.h"
#include "app/frmReview.h"
#include "base/uRes.h"

#include <filesystem>

namespace sornafex {

void TfmMain::ActReviewSessionExecute() {
    m_reviewDialog.filter = res::kJournalFilter;
    m_reviewDialog.defaultExt = res::kJournalExt;
    if (m_reviewDialog.initialDir.empty())
        m_reviewDialog.initialDir = JournalFolder();
    const auto chosen = m_ui.OpenFileDialog(m_reviewDialog);
    if (!chosen)
        return;
    m_reviewDialog.initialDir = std::filesystem::path(*chosen).parent_path().string();
    ReviewJournal(*chosen);
}

TfmReview* TfmMain::ReviewJournal(const std::string& path) {
    TfmReview* review = nullptr;
    RunGuarded([&] { review = TfmReview::Open(path, m_ui, this); });
    if (!review)
        return nullptr;
    review->setAttribute(Qt::WA_DeleteOnClose);
    review->show();
    review->raise();
    review->activateWindow();
    return review;
}

} // namespace sornafex
