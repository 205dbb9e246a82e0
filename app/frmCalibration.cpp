#include "app/frmCalibration.h"

#include "analysis/calibration_editor.h"
#include "app/qt_text.h"
#include "base/ui_services.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sornafex {

namespace {

constexpr const char* kHowTo =
    "Mettez une résistance connue à la place de la peau, tapez sa valeur et mesurez. Recommencez "
    "avec d'autres résistances, au moins deux, qui couvrent les valeurs de la peau.";

} // namespace

TfmCalibration::TfmCalibration(TCalibrationEditor& editor, TUiServices& ui, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_ui(ui) {
    setObjectName(QStringLiteral("fmCalibration"));
    setWindowTitle(Q(editor.Caption()));

    auto* howTo = new QLabel(QString::fromUtf8(kHowTo), this);
    howTo->setWordWrap(true);
    m_resistance = new QLineEdit(this);
    m_resistance->setObjectName(QStringLiteral("Resistance"));
    m_measure = new QPushButton(QStringLiteral("Mesurer"), this);
    m_measure->setObjectName(QStringLiteral("Measure"));
    m_measure->setAutoDefault(false);
    auto* entry = new QHBoxLayout;
    entry->addWidget(new QLabel(QStringLiteral("Résistance (kΩ) :"), this));
    entry->addWidget(m_resistance, 1);
    entry->addWidget(m_measure);

    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("Points"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Résistance (kΩ)"),
                                        QStringLiteral("Fréquence (Hz)"),
                                        QStringLiteral("Écart à la droite (%)")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_remove = new QPushButton(QStringLiteral("Supprimer le point"), this);
    m_clear = new QPushButton(QStringLiteral("Tout effacer"), this);
    for (QPushButton* button : {m_remove, m_clear})
        button->setAutoDefault(false);
    auto* rows = new QHBoxLayout;
    rows->addWidget(m_remove);
    rows->addWidget(m_clear);
    rows->addStretch(1);

    m_fit = new QLabel(this);
    m_fit->setObjectName(QStringLiteral("Fit"));
    m_fit->setTextFormat(Qt::PlainText);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(howTo);
    layout->addLayout(entry);
    layout->addWidget(m_table, 1);
    layout->addLayout(rows);
    layout->addWidget(m_fit);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    connect(m_measure, &QPushButton::clicked, this, &TfmCalibration::Measure);
    connect(m_resistance, &QLineEdit::returnPressed, this, &TfmCalibration::Measure);
    connect(m_remove, &QPushButton::clicked, this, &TfmCalibration::RemoveSelected);
    connect(m_clear, &QPushButton::clicked, this, &TfmCalibration::ClearAll);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfmCalibration::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfmCalibration::reject);

    if (!editor.StoredProblem().empty())
        m_status->setText(Q(editor.StoredProblem()));
    Fill();
    resize(520, 380);
}

void TfmCalibration::Measure() {
    if (m_busy)
        return;
    SetBusy(true);
    m_status->setText(QStringLiteral("Mesure en cours..."));
    std::string error;
    // The measurement keeps the interface alive while it lasts: this dialog must not go away
    // under it, nor start a second one.
    const bool measured = m_editor.Measure(m_resistance->text().toStdString(), error);
    SetBusy(false);
    m_status->setText(measured ? QString() : Q(error));
    if (measured) {
        m_resistance->clear();
        Fill();
    }
    m_resistance->setFocus();
}

void TfmCalibration::RemoveSelected() {
    const int row = m_table->currentRow();
    if (row < 0)
        return;
    m_editor.Remove(static_cast<std::size_t>(row));
    Fill();
}

void TfmCalibration::ClearAll() {
    m_editor.Clear();
    Fill();
}

void TfmCalibration::Fill() {
    const auto& points = m_editor.Points();
    m_table->setRowCount(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto texts = m_editor.PointTexts(i);
        for (std::size_t column = 0; column < texts.size(); ++column) {
            auto* item = new QTableWidgetItem(Q(texts[column]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(static_cast<int>(i), static_cast<int>(column), item);
        }
    }
    m_fit->setText(Q(m_editor.FitText()));
}

void TfmCalibration::SetBusy(bool busy) {
    m_busy = busy;
    for (QWidget* widget : std::initializer_list<QWidget*>{m_resistance, m_measure, m_remove,
                                                           m_clear, m_ok, m_cancel, m_table})
        widget->setEnabled(!busy);
}

void TfmCalibration::accept() {
    if (m_busy)
        return;
    std::string error;
    if (!m_editor.Accept(error)) {
        m_ui.ShowMessage(error);
        return;
    }
    QDialog::accept();
}

void TfmCalibration::reject() {
    if (!m_busy)
        QDialog::reject();
}

} // namespace sornafex
