#include "app/frmBidsExport.h"

#include "app/qt_text.h"
#include "base/uRes.h"
#include "base/ui_services.h"
#include "export/bids_export_editor.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sornafex {

namespace {

constexpr const char* kHowTo =
    "Les trois fichiers sont nommés d'après le sujet et la tâche : des lettres et des chiffres, "
    "sans accent ni espace.";

} // namespace

TfmBidsExport::TfmBidsExport(TBidsExportEditor& editor, TUiServices& ui, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_ui(ui) {
    setObjectName(QStringLiteral("fmBidsExport"));
    setWindowTitle(Q(editor.Caption()));

    auto* howTo = new QLabel(QString::fromUtf8(kHowTo), this);
    howTo->setWordWrap(true);
    m_subject = new QLineEdit(Q(editor.subject), this);
    m_subject->setObjectName(QStringLiteral("Subject"));
    m_task = new QLineEdit(Q(editor.task), this);
    m_task->setObjectName(QStringLiteral("Task"));
    m_folder = new QLineEdit(Q(editor.folder), this);
    m_folder->setObjectName(QStringLiteral("Folder"));
    auto* browse = new QPushButton(Q(res::kBrowse), this);
    browse->setAutoDefault(false);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Sujet :"), m_subject);
    form->addRow(QStringLiteral("Tâche :"), m_task);
    form->addRow(QStringLiteral("Dossier :"), folderRow);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Q(res::kOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(howTo);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(browse, &QPushButton::clicked, this, &TfmBidsExport::Browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfmBidsExport::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfmBidsExport::reject);
    resize(480, sizeHint().height());
}

void TfmBidsExport::Browse() {
    if (const auto chosen = m_ui.FolderDialog(m_folder->text().toStdString()))
        m_folder->setText(Q(*chosen));
}

void TfmBidsExport::accept() {
    m_editor.subject = m_subject->text().trimmed().toStdString();
    m_editor.task = m_task->text().trimmed().toStdString();
    m_editor.folder = m_folder->text().trimmed().toStdString();
    std::string error;
    if (!m_editor.Accept(error)) {
        m_ui.ShowMessage(error);
        return;
    }
    QDialog::accept();
}

} // namespace sornafex
