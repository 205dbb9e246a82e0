#include "app/frmQuestions.h"

#include "app/qt_text.h"
#include "base/ui_services.h"
#include "examination/questions_editor.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

namespace sornafex {

namespace {

constexpr int kNumberColumn = 0;
constexpr int kTypeColumn = 1;
constexpr int kTextColumn = 2;
constexpr std::string_view kListFilter = "Listes de questions (*.txt)|*.txt";
constexpr std::string_view kListExt = "txt";
constexpr std::string_view kProposedName = "questions.txt";
constexpr std::string_view kDiscardChanges =
    "La liste a changé depuis son ouverture. L'enregistrer d'abord ?";

struct TTypeChoice {
    TQuestionType type;
    const char* text;
};
constexpr std::array<TTypeChoice, 3> kTypeChoices{{
    {TQuestionType::Relevant, "R — pertinente"},
    {TQuestionType::Comparison, "C — comparaison"},
    {TQuestionType::Neutral, "N — neutre"},
}};

QPushButton* Button(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TfmQuestions::TfmQuestions(TQuestionsEditor& editor, TUiServices& ui, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_ui(ui) {
    setObjectName(QStringLiteral("fmQuestions"));
    setWindowTitle(Q(editor.Caption()));

    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("Questions"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("N°"), QStringLiteral("Type"), QStringLiteral("Question")});
    m_table->horizontalHeader()->setSectionResizeMode(kNumberColumn, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kTypeColumn, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kTextColumn, QHeaderView::Stretch);
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == kTextColumn)
            m_editor.SetText(static_cast<std::size_t>(item->row()), item->text().toStdString());
    });

    auto* add = Button(QStringLiteral("Ajouter"), this);
    auto* remove = Button(QStringLiteral("Supprimer"), this);
    auto* up = Button(QStringLiteral("Monter"), this);
    auto* down = Button(QStringLiteral("Descendre"), this);
    auto* open = Button(QStringLiteral("Ouvrir..."), this);
    auto* saveAs = Button(QStringLiteral("Enregistrer sous..."), this);
    auto* rows = new QHBoxLayout;
    for (QPushButton* button : {add, remove, up, down})
        rows->addWidget(button);
    rows->addStretch(1);
    rows->addWidget(open);
    rows->addWidget(saveAs);
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("File"));
    m_file->setTextFormat(Qt::PlainText);

    auto* measure = new QGroupBox(QStringLiteral("Mesure des réponses"), this);
    auto* fields = new QFormLayout(measure);
    for (const auto setting : TQuestionsEditor::kSettings) {
        auto* field = new QLineEdit(measure);
        field->setObjectName(QStringLiteral("Setting%1").arg(static_cast<int>(setting)));
        fields->addRow(Q(TQuestionsEditor::SettingName(setting)) + QStringLiteral(" :"), field);
        m_settings.push_back(field);
    }
    auto* defaults = Button(QStringLiteral("Valeurs par défaut"), measure);
    fields->addRow(QString(), defaults);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(rows);
    layout->addWidget(m_file);
    layout->addWidget(measure);
    layout->addWidget(buttons);

    connect(add, &QPushButton::clicked, this, &TfmQuestions::AddRow);
    connect(remove, &QPushButton::clicked, this, &TfmQuestions::RemoveRow);
    connect(up, &QPushButton::clicked, this, [this] { Move(true); });
    connect(down, &QPushButton::clicked, this, [this] { Move(false); });
    connect(open, &QPushButton::clicked, this, &TfmQuestions::OpenList);
    connect(saveAs, &QPushButton::clicked, this, [this] { SaveListAs(); });
    connect(defaults, &QPushButton::clicked, this, [this] {
        m_editor.RestoreDefaultSettings();
        ShowSettings();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &TfmQuestions::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfmQuestions::reject);

    Fill();
    ShowSettings();
    resize(640, 560);
}

void TfmQuestions::Fill() {
    m_filling = true;
    const TQuestionList& list = m_editor.List();
    m_table->setRowCount(static_cast<int>(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        number->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, kNumberColumn, number);
        auto* type = new QComboBox(m_table);
        for (const TTypeChoice& choice : kTypeChoices) {
            type->addItem(QString::fromUtf8(choice.text));
            if (choice.type == list[i].type)
                type->setCurrentIndex(type->count() - 1);
        }
        connect(type, &QComboBox::currentIndexChanged, this, [this, i](int index) {
            if (index >= 0)
                m_editor.SetType(i, kTypeChoices[static_cast<std::size_t>(index)].type);
        });
        m_table->setCellWidget(row, kTypeColumn, type);
        m_table->setItem(row, kTextColumn, new QTableWidgetItem(Q(list[i].text)));
    }
    m_file->setText(m_editor.File().empty()
                        ? QStringLiteral("Fichier : aucun (la liste n'est pas enregistrée)")
                        : QStringLiteral("Fichier : ") + Q(m_editor.File()));
    m_filling = false;
}

int TfmQuestions::CurrentRow() const {
    return m_table->currentRow();
}

void TfmQuestions::AddRow() {
    const int row = CurrentRow() < 0 ? m_table->rowCount() : CurrentRow() + 1;
    m_editor.Insert(static_cast<std::size_t>(row));
    Fill();
    m_table->setCurrentCell(row, kTextColumn);
    m_table->editItem(m_table->item(row, kTextColumn));
}

void TfmQuestions::RemoveRow() {
    const int row = CurrentRow();
    if (row < 0)
        return;
    m_editor.Remove(static_cast<std::size_t>(row));
    Fill();
    m_table->setCurrentCell(std::min(row, m_table->rowCount() - 1), kTextColumn);
}

void TfmQuestions::Move(bool up) {
    const int row = CurrentRow();
    if (row < 0)
        return;
    const auto at = static_cast<std::size_t>(row);
    if (!(up ? m_editor.MoveUp(at) : m_editor.MoveDown(at)))
        return;
    Fill();
    m_table->setCurrentCell(up ? row - 1 : row + 1, kTextColumn);
}

void TfmQuestions::OpenList() {
    if (m_editor.Modified()) {
        switch (m_ui.Confirm(std::string(kDiscardChanges))) {
        case TConfirmResult::Yes:
            if (!SaveList())
                return;
            break;
        case TConfirmResult::No:
            break;
        case TConfirmResult::Cancel:
            return;
        }
    }
    TFileDialogOptions options;
    options.filter = kListFilter;
    options.defaultExt = kListExt;
    options.initialDir = m_editor.File().empty()
                             ? m_editor.Folder()
                             : QFileInfo(Q(m_editor.File())).path().toStdString();
    const auto path = m_ui.OpenFileDialog(options);
    if (!path)
        return;
    std::string error;
    if (!m_editor.Open(*path, error))
        m_ui.ShowMessage(error);
    Fill();
}

bool TfmQuestions::SaveList() {
    if (m_editor.File().empty())
        return SaveListAs();
    std::string error;
    if (m_editor.SaveAs(m_editor.File(), error))
        return true;
    m_ui.ShowMessage(error);
    return false;
}

bool TfmQuestions::SaveListAs() {
    TFileDialogOptions options;
    options.filter = kListFilter;
    options.defaultExt = kListExt;
    options.overwritePrompt = true;
    if (m_editor.File().empty()) {
        options.initialDir = m_editor.Folder();
        options.fileName = kProposedName;
    } else {
        const QFileInfo file(Q(m_editor.File()));
        options.initialDir = file.path().toStdString();
        options.fileName = file.fileName().toStdString();
    }
    const auto path = m_ui.SaveFileDialog(options);
    if (!path)
        return false;
    std::string error;
    const bool saved = m_editor.SaveAs(*path, error);
    if (!saved)
        m_ui.ShowMessage(error);
    Fill();
    return saved;
}

void TfmQuestions::ShowSettings() {
    for (std::size_t i = 0; i < m_settings.size(); ++i)
        m_settings[i]->setText(Q(m_editor.SettingText(TQuestionsEditor::kSettings[i])));
}

void TfmQuestions::TakeSettings() {
    for (std::size_t i = 0; i < m_settings.size(); ++i)
        m_editor.SetSettingText(TQuestionsEditor::kSettings[i],
                                m_settings[i]->text().toStdString());
}

void TfmQuestions::accept() {
    TakeSettings();
    // A list typed here has nowhere to stay until it has a file.
    if (m_editor.Modified() && m_editor.File().empty() && !m_editor.List().empty() && !SaveListAs())
        return;
    std::string error;
    if (!m_editor.Accept(error)) {
        m_ui.ShowMessage(error);
        return;
    }
    QDialog::accept();
}

} // namespace sornafex
