#include "app/frmReview.h"

#include "app/frmDevice.h"
#include "app/qt_text.h"
#include "base/errors.h"
#include "base/uRes.h"
#include "base/ui_services.h"
#include "chart/chart_widget.h"
#include "examination/session_review.h"
#include "export/bids_export_editor.h"
#include "export/edf_export.h"
#include "recording/documents.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <filesystem>
#include <optional>

namespace sornafex {

namespace {

using TEntry = TSessionReview::TEntry;

constexpr QSize kFirstSize(1000, 620);
// Where that does not stand beside the main window: as much of it as does, down to this.
constexpr QSize kLeastFirstSize(640, 420);
constexpr int kOverviewHeight = 64;
constexpr int kListWidth = 320;
// A notch of the wheel, in the eighths of a degree Qt counts.
constexpr double kWheelNotch = 120;

constexpr std::string_view kTitle = "Revue de séance";
constexpr std::string_view kEdfFilter = "EDF+ (*.edf)|*.edf";
constexpr std::string_view kEdfExt = "edf";
constexpr std::string_view kEdfDoneFormat = "Séance exportée en EDF+ : %s";
constexpr std::string_view kBidsDoneFormat = "Séance exportée en BIDS : %s_*";

constexpr chart::TChartPen kQuestionPen{chart::kClYellow, 1, chart::TPenStyle::Solid};
constexpr chart::TChartPen kAnswerPen{chart::kClYellow, 1, chart::TPenStyle::Dot};
constexpr chart::TChartPen kPortPen{chart::kClRed, 1, chart::TPenStyle::Solid};
constexpr chart::TColor kDetectedColor = chart::kClYellow;
constexpr chart::TColor kUndetectedColor = chart::Rgb(192, 192, 192);

// The wait cursor for as long as it lives.
class TWaitCursor {
public:
    TWaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

QPushButton* Button(const QString& text, const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setToolTip(tip);
    // The keys belong to the window: they scroll and zoom, they never press a button.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLabel* ReadOut(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

std::string_view SignalText(TSessionReview::TSignal signal) {
    switch (signal) {
    case TSessionReview::TSignal::FineHertz:
        return "Fréquence fine (Hz), dix valeurs par seconde";
    case TSessionReview::TSignal::FineMicroSiemens:
        return "Conductance (µS), dix valeurs par seconde";
    case TSessionReview::TSignal::Samples:
        break;
    }
    return "Échantillons d'une seconde (Hz) : ce journal n'a pas de fréquence fine";
}

// The session on the view: its signal, a line for each mark (labelled for questions and
// markers), ▽ and △ for each measured rise, and the list of its questions, markers and port
// events (an answer is in its question's entry).
void ShowSession(chart::TSessionView& view, const TSessionReview& review) {
    const bool fine = review.signal != TSessionReview::TSignal::Samples;
    view.SetSignal({review.seconds, review.values,
                    review.signal == TSessionReview::TSignal::FineMicroSiemens ? "µS" : "Hz",
                    fine ? 3 : 0, review.end, review.clockStart});
    std::vector<chart::TChartMarker> lines;
    std::vector<chart::TSessionEntry> entries;
    for (const TEntry& entry : review.entries) {
        switch (entry.kind) {
        case TEntry::TKind::Question:
            lines.push_back({entry.seconds, entry.label, kQuestionPen});
            break;
        case TEntry::TKind::Answer:
            lines.push_back({entry.seconds, {}, kAnswerPen});
            continue;
        case TEntry::TKind::Marker:
            lines.push_back({entry.seconds, entry.label, chart::TChartPen::MarkerLine()});
            break;
        case TEntry::TKind::PortLost:
        case TEntry::TKind::PortReopened:
            lines.push_back({entry.seconds, {}, kPortPen});
            break;
        }
        entries.push_back({entry.seconds, entry.text});
    }
    std::vector<chart::TChartPointMark> points;
    for (const TSessionReview::TRise& rise : review.rises) {
        const chart::TColor color = rise.detected ? kDetectedColor : kUndetectedColor;
        points.push_back(
            {rise.troughSeconds, rise.trough, chart::TPointMarkShape::TriangleDown, {}, color});
        points.push_back(
            {rise.peakSeconds, rise.peak, chart::TPointMarkShape::TriangleUp, {}, color});
    }
    view.SetMarks(std::move(lines), std::move(points));
    view.SetEntries(std::move(entries));
}

} // namespace

TfmReview* TfmReview::Open(const std::string& path, TUiServices& ui, QWidget* parent) {
    const TWaitCursor wait;
    return new TfmReview(path, ReadJournalSession(path), ui, parent);
}

TfmReview::TfmReview(std::string path, TJournalSession session, TUiServices& ui, QWidget* parent)
    : QWidget(parent, Qt::Window), m_path(std::move(path)), m_session(std::move(session)),
      m_ui(ui) {
    setObjectName(QStringLiteral("fmReview"));
    const std::string name = std::filesystem::path(m_path).filename().string();
    setWindowTitle(Q(res::FormatStr(res::FormatStr(res::kCaptionFormat, kTitle), name)));
    if (parent)
        setFont(parent->font());

    m_chart = new chart::TChart(this);
    m_chart->setObjectName(QStringLiteral("ReviewChart"));
    // The keys reach the window through the chart, which keeps the focus.
    m_chart->setFocusPolicy(Qt::StrongFocus);
    m_chart->setMouseTracking(true);
    m_chart->setCursor(Qt::CrossCursor);
    m_chart->installEventFilter(this);
    m_overview = new chart::TChart(this);
    m_overview->setObjectName(QStringLiteral("ReviewOverview"));
    m_overview->setFixedHeight(kOverviewHeight);
    m_overview->setCursor(Qt::PointingHandCursor);
    m_overview->installEventFilter(this);
    m_view = std::make_unique<chart::TSessionView>(*m_chart, *m_overview);

    const TSessionReview review = ReviewSession(m_session);
    ShowSession(*m_view, review);
    m_entries = new QListWidget(this);
    m_entries->setObjectName(QStringLiteral("ReviewEntries"));
    m_entries->setFixedWidth(kListWidth);
    for (std::size_t i = 0; i < m_view->Entries().size(); ++i) {
        auto* item = new QListWidgetItem(Q(m_view->EntryText(i)), m_entries);
        // A question's whole text, which the list's width may cut.
        item->setToolTip(item->text());
    }

    auto* less = Button(QStringLiteral("−"), QStringLiteral("Voir plus large (−)"), this);
    auto* more = Button(QStringLiteral("+"), QStringLiteral("Voir de plus près (+)"), this);
    auto* whole =
        Button(QStringLiteral("Toute la séance"), QStringLiteral("Toute la séance"), this);
    m_exportEdf = Button(QStringLiteral("Exporter EDF+..."),
                         QStringLiteral("Exporter la séance en EDF+ (EDFbrowser, MNE)"), this);
    m_exportBids =
        Button(QStringLiteral("Exporter BIDS..."),
               QStringLiteral("Exporter la séance en BIDS (physio et événements)"), this);
    m_range = ReadOut("ReviewRange", this);
    m_signal = ReadOut("ReviewSignal", this);
    m_signal->setText(Q(SignalText(review.signal)));
    m_reading = ReadOut("ReviewReading", this);
    m_difference = ReadOut("ReviewDifference", this);
    m_status = ReadOut("ReviewStatus", this);

    auto* top = new QHBoxLayout;
    top->addWidget(less);
    top->addWidget(more);
    top->addWidget(whole);
    top->addSpacing(12);
    top->addWidget(m_range, 1);
    top->addWidget(m_exportEdf);
    top->addWidget(m_exportBids);
    auto* charts = new QVBoxLayout;
    charts->setSpacing(2);
    charts->addWidget(m_chart, 1);
    charts->addWidget(m_overview);
    auto* middle = new QHBoxLayout;
    middle->addLayout(charts, 1);
    middle->addWidget(m_entries);
    auto* readOuts = new QHBoxLayout;
    readOuts->addWidget(m_reading, 1);
    readOuts->addWidget(m_difference, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_signal, 1);
    bottom->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(readOuts);
    layout->addLayout(bottom);

    const auto act = [this](chart::TReviewKey key) {
        return [this, key] {
            m_view->Press(key);
            Viewed();
        };
    };
    connect(less, &QPushButton::clicked, this, act(chart::TReviewKey::ZoomOut));
    connect(more, &QPushButton::clicked, this, act(chart::TReviewKey::ZoomIn));
    connect(whole, &QPushButton::clicked, this, [this] {
        m_view->ShowWhole();
        Viewed();
    });
    connect(m_exportEdf, &QPushButton::clicked, this, &TfmReview::ExportEdf);
    connect(m_exportBids, &QPushButton::clicked, this, &TfmReview::ExportBids);
    connect(m_entries, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        m_view->GoTo(static_cast<std::size_t>(row));
        Viewed();
    });
    // A click in the list jumps; the keys go back to the chart, to scroll around the mark.
    connect(m_entries, &QListWidget::itemClicked, this, [this] { m_chart->setFocus(); });

    m_difference->setText(Q(m_view->DifferenceText()));
    Viewed();
    resize(kFirstSize);
    m_chart->setFocus();
}

TfmReview::~TfmReview() = default;

void TfmReview::Viewed() {
    m_range->setText(Q(m_view->RangeText()));
}

void TfmReview::PointAt(int pixelX, bool second) {
    const auto seconds = m_view->SecondsAt(pixelX);
    if (!seconds)
        return;
    if (second)
        m_view->SetSecondPoint(*seconds);
    else
        m_view->SetFirstPoint(*seconds);
    m_difference->setText(Q(m_view->DifferenceText()));
}

void TfmReview::keyPressEvent(QKeyEvent* event) {
    using K = chart::TReviewKey;
    std::optional<K> key;
    switch (event->key()) {
    case Qt::Key_Left:
        key = K::Left;
        break;
    case Qt::Key_Right:
        key = K::Right;
        break;
    case Qt::Key_PageUp:
        key = K::PageUp;
        break;
    case Qt::Key_PageDown:
        key = K::PageDown;
        break;
    case Qt::Key_Home:
        key = K::Home;
        break;
    case Qt::Key_End:
        key = K::End;
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // "+" without the shift key on many layouts
        key = K::ZoomIn;
        break;
    case Qt::Key_Minus:
        key = K::ZoomOut;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    m_view->Press(*key);
    Viewed();
}

bool TfmReview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_chart) {
        switch (event->type()) {
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            const QPoint turn = wheel->angleDelta();
            const double notches = (turn.y() != 0 ? turn.y() : turn.x()) / kWheelNotch;
            m_view->Wheel(notches, (wheel->modifiers() & Qt::ControlModifier) != 0,
                          int(wheel->position().x()));
            Viewed();
            return true;
        }
        case QEvent::MouseMove:
            if (const auto seconds =
                    m_view->SecondsAt(int(static_cast<QMouseEvent*>(event)->position().x())))
                m_reading->setText(Q(m_view->ReadingText(m_view->ReadingAt(*seconds))));
            return false;
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            PointAt(int(mouse->position().x()), (mouse->modifiers() & Qt::ShiftModifier) != 0);
            return true;
        }
        default:
            return false;
        }
    }
    if (watched == m_overview &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A click, or a drag with the button held, moves the view along.
        if ((mouse->buttons() & Qt::LeftButton) == 0)
            return false;
        m_view->ShowAtOverview(int(mouse->position().x()));
        Viewed();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TfmReview::Export(const std::function<void()>& write, const std::string& target,
                       const std::string& done) {
    try {
        const TWaitCursor wait;
        write();
    } catch (const EExportError& error) {
        m_ui.ShowError(ErrorBoxText(res::FormatStr(res::kExportFailedFormat, error.what())));
        return;
    } catch (const std::exception& error) {
        m_ui.ShowError(
            ErrorBoxText(res::FormatStr(res::kExportFailedFormat, target + " : " + error.what())));
        return;
    }
    m_status->setText(Q(done));
}

void TfmReview::ExportEdf() {
    const std::filesystem::path journal(m_path);
    TFileDialogOptions options;
    options.filter = kEdfFilter;
    options.defaultExt = kEdfExt;
    options.initialDir = journal.parent_path().string();
    options.fileName = journal.stem().string() + "." + std::string(kEdfExt);
    options.overwritePrompt = true;
    const auto chosen = m_ui.SaveFileDialog(options);
    if (!chosen)
        return;
    const std::string path = WithDefaultExtension(*chosen, kEdfExt);
    Export([&] { sornafex::ExportEdf(m_session, path); }, path,
           res::FormatStr(kEdfDoneFormat, path));
}

void TfmReview::ExportBids() {
    TBidsExportEditor editor(m_path);
    if (!m_ui.EditInDialog(editor))
        return;
    Export([&] { sornafex::ExportBids(m_session, editor.folder, editor.Labels()); }, editor.folder,
           res::FormatStr(kBidsDoneFormat, editor.folder + "/" + BidsFilePrefix(editor.Labels())));
}

void TfmReview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // The first time, beside the main window.
    PlaceBesideParent(*this, kLeastFirstSize);
}

} // namespace sornafex
