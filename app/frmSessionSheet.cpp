#include "app/frmSessionSheet.h"

#include "app/qt_text.h"
#include "examination/session_sheet_editor.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace sornafex {

TfmSessionSheet::TfmSessionSheet(TSessionSheetEditor& editor, QWidget* parent)
    : QDialog(parent), m_editor(editor) {
    setObjectName(QStringLiteral("fmSessionSheet"));
    setWindowTitle(Q(editor.Caption()));

    auto* howTo = new QLabel(QStringLiteral("Tout est facultatif. La fiche est gardée à côté du "
                                            "journal de chaque mesure de la séance."),
                             this);
    howTo->setWordWrap(true);
    const TSessionSheet& sheet = editor.Sheet();
    m_person = new QLineEdit(Q(sheet.person), this);
    m_person->setObjectName(QStringLiteral("Person"));
    m_examiner = new QLineEdit(Q(sheet.examiner), this);
    m_examiner->setObjectName(QStringLiteral("Examiner"));
    m_notes = new QPlainTextEdit(Q(sheet.notes), this);
    m_notes->setObjectName(QStringLiteral("Notes"));
    m_notes->setTabChangesFocus(true);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Personne examinée :"), m_person);
    fields->addRow(QStringLiteral("Examinateur :"), m_examiner);
    fields->addRow(QStringLiteral("Notes :"), m_notes);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfmSessionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfmSessionSheet::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(howTo);
    layout->addLayout(fields, 1);
    layout->addWidget(buttons);
    resize(440, 300);
}

void TfmSessionSheet::accept() {
    TSessionSheet& sheet = m_editor.Sheet();
    sheet.person = m_person->text().toStdString();
    sheet.examiner = m_examiner->text().toStdString();
    sheet.notes = m_notes->toPlainText().toStdString();
    QDialog::accept();
}

} // namespace sornafex
