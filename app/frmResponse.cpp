#include "app/frmResponse.h"

#include "app/frmDevice.h"
#include "app/qt_text.h"
#include "chart/chart_widget.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace sornafex {

namespace {

// The list beside the chart and a few rows of the table below it; where that does not stand
// beside the main window, as much of it as does, down to the least that shows the three.
constexpr QSize kFirstSize(800, 600);
constexpr QSize kLeastFirstSize(520, 420);
constexpr int kListWidth = 240;
// The list marks the next question with this sign before its number.
constexpr const char* kNextSign = "▶ ";
constexpr int kValuePixels = 30;
constexpr int kDetailPixels = 14;

// The table index of value, or fallback when the table does not hold it.
template <typename Table>
std::size_t IndexOf(const Table& table, double value, std::size_t fallback) {
    const auto found = std::find(table.begin(), table.end(), value);
    return found == table.end() ? fallback : std::size_t(found - table.begin());
}

QPushButton* SmallButton(const QString& text, const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setToolTip(tip);
    // The keys belong to the window: the space bar recentres, it never presses a button.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TfmResponse::TfmResponse(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("fmResponse"));
    setWindowTitle(QStringLiteral("Réponse"));
    if (parent)
        setFont(parent->font());

    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("ResponseValue"));
    QFont big = font();
    big.setPixelSize(kValuePixels);
    big.setBold(true);
    m_value->setFont(big);
    m_value->setTextFormat(Qt::PlainText);
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("ResponseDetail"));
    QFont detail = font();
    detail.setPixelSize(kDetailPixels);
    m_detail->setFont(detail);
    m_detail->setTextFormat(Qt::PlainText);

    m_span = new QLabel(this);
    m_span->setObjectName(QStringLiteral("ResponseSpan"));
    auto* less = SmallButton(QStringLiteral("−"), QStringLiteral("Moins sensible (−)"), this);
    auto* more = SmallButton(QStringLiteral("+"), QStringLiteral("Plus sensible (+)"), this);
    auto* recentre =
        SmallButton(QStringLiteral("Recentrer"), QStringLiteral("Recentrer (espace)"), this);
    m_seconds = new QComboBox(this);
    m_seconds->setObjectName(QStringLiteral("ResponseSeconds"));
    m_seconds->setFocusPolicy(Qt::NoFocus);
    for (const int seconds : chart::kResponseSeconds)
        m_seconds->addItem(QStringLiteral("%1 s").arg(seconds), seconds);

    m_chart = new chart::TChart(this);
    m_chart->setObjectName(QStringLiteral("ResponseChart"));
    m_graph =
        std::make_unique<chart::TResponseGraph>(*m_chart, chart::SetupResponseChart(*m_chart));

    auto* figures = new QVBoxLayout;
    figures->setSpacing(0);
    figures->addWidget(m_value);
    figures->addWidget(m_detail);
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Sensibilité :"), this));
    controls->addWidget(m_span);
    controls->addWidget(less);
    controls->addWidget(more);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Durée :"), this));
    controls->addWidget(m_seconds);
    controls->addSpacing(12);
    controls->addWidget(recentre);
    auto* top = new QHBoxLayout;
    top->addLayout(figures);
    top->addStretch(1);
    top->addLayout(controls);
    // The keys belong to the window here too: neither the list nor the table takes the focus.
    auto* questions = new QGroupBox(QStringLiteral("Questions"), this);
    m_current = new QLabel(QStringLiteral("En cours : aucune question"), questions);
    m_current->setObjectName(QStringLiteral("CurrentQuestion"));
    m_next = new QLabel(questions);
    m_next->setObjectName(QStringLiteral("NextQuestion"));
    for (QLabel* label : {m_current, m_next}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
    }
    QFont bold = m_current->font();
    bold.setBold(true);
    m_current->setFont(bold);
    m_questions = new QListWidget(questions);
    m_questions->setObjectName(QStringLiteral("QuestionList"));
    m_questions->setFocusPolicy(Qt::NoFocus);
    m_questions->setSelectionMode(QAbstractItemView::SingleSelection);
    m_questions->setWordWrap(true);
    auto* questionsLayout = new QVBoxLayout(questions);
    questionsLayout->addWidget(m_current);
    questionsLayout->addWidget(m_next);
    questionsLayout->addWidget(m_questions, 1);

    auto* responses = new QGroupBox(QStringLiteral("Réponses"), this);
    m_responses = new QTableWidget(responses);
    m_responses->setObjectName(QStringLiteral("ResponseTable"));
    m_responses->setFocusPolicy(Qt::NoFocus);
    m_responses->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_responses->setSelectionMode(QAbstractItemView::NoSelection);
    m_responses->verticalHeader()->setVisible(false);
    m_summary = new QLabel(responses);
    m_summary->setObjectName(QStringLiteral("ResponseSummary"));
    m_summary->setTextFormat(Qt::PlainText);
    auto* responsesLayout = new QVBoxLayout(responses);
    responsesLayout->addWidget(m_responses, 1);
    responsesLayout->addWidget(m_summary);

    auto* beside = new QSplitter(Qt::Horizontal, this);
    beside->addWidget(m_chart);
    beside->addWidget(questions);
    beside->setStretchFactor(0, 1);
    beside->setSizes({kFirstSize.width() - kListWidth, kListWidth});
    auto* below = new QSplitter(Qt::Vertical, this);
    below->addWidget(beside);
    below->addWidget(responses);
    below->setStretchFactor(0, 1);
    below->setStretchFactor(1, 1);
    for (QSplitter* splitter : {beside, below}) {
        splitter->setChildrenCollapsible(false);
        splitter->setFocusPolicy(Qt::NoFocus);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(below, 1);

    connect(less, &QPushButton::clicked, this, &TfmResponse::LessSensitive);
    connect(more, &QPushButton::clicked, this, &TfmResponse::MoreSensitive);
    connect(recentre, &QPushButton::clicked, this, &TfmResponse::Recentre);
    connect(m_seconds, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_graph->SetSeconds(m_seconds->itemData(index).toInt()); });

    SetSeconds(chart::kDefaultResponseSeconds);
    Begin(false);
    resize(kFirstSize);
}

TfmResponse::~TfmResponse() = default;

void TfmResponse::Begin(bool calibrated) {
    m_graph->Begin(calibrated ? chart::TResponseUnit::MicroSiemens : chart::TResponseUnit::Hertz);
    m_value->setText(QStringLiteral("–"));
    m_detail->clear();
    ShowSpan();
}

bool TfmResponse::AddValue(double seconds, std::optional<double> hertz,
                           std::optional<double> microsiemens, bool inCalibratedRange) {
    const bool calibrated = m_graph->Scale().Unit() == chart::TResponseUnit::MicroSiemens;
    const std::optional<double> shown = calibrated ? microsiemens : hertz;
    const bool recentred = m_graph->Add(seconds, shown);
    if (!hertz) {
        // A loss, or a line that stopped: the figures say so rather than keep an old value.
        m_value->setText(QStringLiteral("sans mesure"));
        m_detail->clear();
    } else if (calibrated) {
        m_value->setText(
            shown ? Q(chart::TResponseGraph::ValueText(*shown, chart::TResponseUnit::MicroSiemens))
                  : QStringLiteral("–"));
        QString beside = Q(chart::TResponseGraph::ValueText(*hertz, chart::TResponseUnit::Hertz));
        if (!shown || !inCalibratedRange)
            beside += QStringLiteral(" — hors de l'étalonnage");
        m_detail->setText(beside);
    } else {
        m_value->setText(Q(chart::TResponseGraph::ValueText(*hertz, chart::TResponseUnit::Hertz)));
        m_detail->clear();
    }
    return recentred;
}

void TfmResponse::ShowQuestions(const TQuestionList& list, std::optional<std::size_t> current,
                                std::optional<std::size_t> next, const std::string& currentText,
                                const std::string& nextText) {
    m_current->setText(Q(currentText));
    m_next->setText(Q(nextText));
    m_questions->clear();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const QString text = QStringLiteral("%1%2. %3 : %4")
                                 .arg(next == i ? QString::fromUtf8(kNextSign) : QString())
                                 .arg(i + 1)
                                 .arg(QChar::fromLatin1(QuestionTypeLetter(list[i].type)))
                                 .arg(Q(list[i].text));
        m_questions->addItem(text);
    }
    if (current && *current < list.size()) {
        m_questions->setCurrentRow(static_cast<int>(*current));
        m_questions->scrollToItem(m_questions->currentItem());
    }
}

void TfmResponse::ShowResponses(const std::vector<std::string>& titles,
                                const std::vector<std::vector<std::string>>& rows,
                                const std::vector<std::string>& summary) {
    QStringList headers;
    for (const std::string& title : titles)
        headers << Q(title);
    m_responses->setColumnCount(static_cast<int>(titles.size()));
    m_responses->setHorizontalHeaderLabels(headers);
    m_responses->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            auto* item = new QTableWidgetItem(Q(rows[row][column]));
            // The question's text reads from the left, the figures line up on the right.
            item->setTextAlignment(column == 2 ? Qt::AlignLeft | Qt::AlignVCenter
                                               : Qt::AlignRight | Qt::AlignVCenter);
            m_responses->setItem(static_cast<int>(row), static_cast<int>(column), item);
        }
    m_responses->resizeColumnsToContents();
    if (!rows.empty())
        m_responses->scrollToBottom();
    QStringList lines;
    for (const std::string& line : summary)
        lines << Q(line);
    m_summary->setText(lines.join(QLatin1Char('\n')));
}

void TfmResponse::SetSeconds(int seconds) {
    const int index = m_seconds->findData(seconds);
    m_seconds->setCurrentIndex(index >= 0 ? index
                                          : m_seconds->findData(chart::kDefaultResponseSeconds));
    m_graph->SetSeconds(m_seconds->currentData().toInt());
}

void TfmResponse::SetSpans(double percent, double microsiemens) {
    chart::TResponseScale& scale = m_graph->Scale();
    scale.SetSpanIndex(chart::TResponseUnit::Hertz,
                       IndexOf(chart::kPercentSpans, percent, chart::kDefaultPercentSpan));
    scale.SetSpanIndex(
        chart::TResponseUnit::MicroSiemens,
        IndexOf(chart::kMicroSiemensSpans, microsiemens, chart::kDefaultMicroSiemensSpan));
    ShowSpan();
}

double TfmResponse::SpanPercent() const {
    return chart::kPercentSpans[m_graph->Scale().SpanIndex(chart::TResponseUnit::Hertz)];
}

double TfmResponse::SpanMicroSiemens() const {
    return chart::kMicroSiemensSpans[m_graph->Scale().SpanIndex(
        chart::TResponseUnit::MicroSiemens)];
}

void TfmResponse::Recentre() {
    if (m_graph->Recentre())
        Q_EMIT Recentred();
}

void TfmResponse::MoreSensitive() {
    m_graph->MoreSensitive();
    ShowSpan();
}

void TfmResponse::LessSensitive() {
    m_graph->LessSensitive();
    ShowSpan();
}

void TfmResponse::ShowSpan() {
    m_span->setText(Q(m_graph->SpanText()));
}

void TfmResponse::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // "+" without the shift key on many layouts
        MoreSensitive();
        return;
    case Qt::Key_Minus:
        LessSensitive();
        return;
    case Qt::Key_Space:
        Recentre();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TfmResponse::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    Q_EMIT Closed();
}

void TfmResponse::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // The first time, beside the main window, so that both can be watched.
    PlaceBesideParent(*this, kLeastFirstSize);
}

} // namespace sornafex
