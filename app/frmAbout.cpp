#include "app/frmAbout.h"

#include "app/qt_text.h"
#include "base/build_info.h"
#include "base/uRes.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <vector>

namespace sornafex {

namespace {

constexpr int kAboutFontPixels = 11;
constexpr int kTitleFontPixels = 24;
const QColor kDarkGreen(0, 128, 0);

QFont ArialPixels(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// A label sized to its text, its top-left corner at (x, y).
QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                 const QColor& color = Qt::black) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    SetTextColor(label, color);
    label->adjustSize();
    label->move(x, y);
    return label;
}

// The small red bullet before each information line.
QPixmap Bullet() {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shine(QPointF(4.5, 4.0), 6.0);
    shine.setColorAt(0.0, QColor(255, 150, 150));
    shine.setColorAt(1.0, QColor(200, 0, 0));
    painter.setBrush(shine);
    painter.setPen(QPen(QColor(128, 0, 0), 1.0));
    painter.drawEllipse(QRectF(1.5, 1.5, 9.0, 9.0));
    return pixmap;
}

QFrame* AddEtchedLine(QWidget* parent, const char* name, int x, int y, int width) {
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(x, y, width, 2);
    return line;
}

} // namespace

TScrollText::TScrollText(TUiBridge& bridge, QWidget* parent)
    : QWidget(parent), m_bridge(bridge), m_block(new QLabel(this)) {
    setAutoFillBackground(true);
    m_block->setObjectName(QStringLiteral("ScrollTextBlock"));
    m_block->setWordWrap(true);
    m_block->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_block->setFrameShape(QFrame::NoFrame);
    m_block->setCursor(Qt::SizeVerCursor);
    m_block->installEventFilter(this);
}

TScrollText::~TScrollText() {
    // The timer must be gone before the block it moves.
    m_timer.reset();
}

void TScrollText::SetItems(const QStringList& items) {
    m_items = items;
    ApplyItems();
}

void TScrollText::SetDelay(std::chrono::milliseconds delay) {
    m_delay = delay;
    if (Stepping())
        RestartTimer();
}

void TScrollText::SetScrollPixels(int pixels) {
    m_cycle.SetPixelsPerStep(pixels);
}

void TScrollText::SetAlignment(Qt::Alignment alignment) {
    m_block->setAlignment(alignment | Qt::AlignTop);
}

void TScrollText::SetBackgroundColor(const QColor& color) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, color);
    setPalette(palette);
}

void TScrollText::SetActive(bool active) {
    m_active = active;
    ApplyItems();
    if (active && !Stepping())
        RestartTimer();
    else if (!active)
        m_timer.reset();
}

void TScrollText::RestartTimer() {
    m_timer.reset();
    m_timer = std::make_unique<TScrollTimer>(m_bridge, m_delay, [this] { Step(); });
    m_timer->Start();
}

void TScrollText::ApplyItems() {
    m_block->setText(m_items.join(QLatin1Char('\n')));
    const QFontMetrics metrics(m_block->font());
    std::vector<int> widths;
    widths.reserve(static_cast<std::size_t>(m_items.size()));
    for (const QString& item : m_items)
        widths.push_back(metrics.horizontalAdvance(item));
    const int blockHeight = EstimateBlockHeight(widths, metrics.height(), width(), height());
    m_cycle.SetHeights(height(), blockHeight);
    // Until the next step the text stays where it stood: at the top when the box opens.
    m_block->setGeometry(0, m_cycle.BlockTop(), width(), blockHeight);
}

void TScrollText::Step() {
    m_cycle.Step();
    ShowBlock();
}

void TScrollText::ShowBlock() {
    m_block->move(0, m_cycle.BlockTop());
}

bool TScrollText::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_block)
        return QWidget::eventFilter(watched, event);
    // Positions in the frame's coordinates: the block moves under the pointer while dragging.
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_cycle.BeginDrag(m_block->mapToParent(mouse->position().toPoint()).y());
        return true;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_cycle.Dragging())
            return false;
        m_cycle.DragTo(m_block->mapToParent(mouse->position().toPoint()).y());
        ShowBlock();
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_cycle.EndDrag();
        return true;
    default:
        return false;
    }
}

void TScrollText::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_block->setFont(font());
        ApplyItems();
    }
}

void TScrollText::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyItems();
}

TfmAbout::TfmAbout(TUiBridge& bridge, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("A propos..."));
    setFont(ArialPixels(kAboutFontPixels));
    setFixedSize(kClientWidth, kClientHeight);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(16, 16, 32, 32);
    icon->setScaledContents(true);
    icon->setPixmap(QGuiApplication::windowIcon().pixmap(32, 32));

    // The product name in two colours; its second half ends at x 288.
    const QFont titleFont = ArialPixels(kTitleFontPixels, true);
    const QFontMetrics titleMetrics(titleFont);
    const QString first = QStringLiteral("Sorna");
    const QString second = QStringLiteral("fex");
    const int secondWidth = titleMetrics.horizontalAdvance(second);
    const int firstWidth = titleMetrics.horizontalAdvance(first);
    auto* label1 = AddLabel(this, "Label1", first, 0, 8);
    auto* label3 = AddLabel(this, "Label3", second, 0, 8, Qt::red);
    for (QLabel* half : {label1, label3})
        half->setFont(titleFont);
    label3->setGeometry(288 - secondWidth, 8, secondWidth, 29);
    label1->setGeometry(288 - secondWidth - firstWidth, 8, firstWidth, 29);

    auto* label2 = AddLabel(this, "Label2", QStringLiteral("Ruderuzoz id azaderuvi"), 0, 40);
    label2->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label2->setGeometry(289 - label2->width(), 40, label2->width(), 14);

    AddEtchedLine(this, "Bevel2", 16, 56, 273);

    const QPixmap bullet = Bullet();
    int imageNumber = 1;
    for (const int y : {72, 88, 104}) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("Image%1").arg(imageNumber++));
        image->setGeometry(16, y, 12, 12);
        image->setPixmap(bullet);
    }
    AddLabel(this, "Version", QStringLiteral("Version :"), 32, 72);
    AddLabel(this, "Label4", Q(build::kVersion), 112, 72, kDarkGreen);
    AddLabel(this, "Author", QStringLiteral("Auteur :"), 32, 88);
    AddLabel(this, "Label5", QStringLiteral("L'équipe Sornafex"), 112, 88, kDarkGreen);
    AddLabel(this, "Comments", QStringLiteral("Commentaires :"), 32, 104);

    AddEtchedLine(this, "Bevel1", 8, 136, 289);
    AddLabel(this, "Label7", QStringLiteral("Remerciements"), 8, 144);

    m_scrollText = new TScrollText(bridge, this);
    m_scrollText->setObjectName(QStringLiteral("ScrollText1"));
    m_scrollText->setGeometry(8, 160, 201, 25);
    m_scrollText->SetBackgroundColor(palette().color(QPalette::Button));
    QFont scrollFont = ArialPixels(kAboutFontPixels);
    m_scrollText->setFont(scrollFont);
    SetTextColor(m_scrollText, Qt::blue);
    m_scrollText->SetAlignment(Qt::AlignLeft);
    m_scrollText->SetDelay(std::chrono::milliseconds(200));
    m_scrollText->SetScrollPixels(1);
    m_scrollText->SetItems({QStringLiteral("aux développeurs des bibliothèques libres"),
                            QStringLiteral("aux utilisateurs et testeurs du capteur")});

    m_ok = new QPushButton(Q(res::kOk), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setGeometry(216, 160, 81, 25);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_ok->setFocus();
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    m_scrollText->SetActive(true);
}

TfmAbout::~TfmAbout() {
    // While the box is still whole: stopping may process messages.
    m_scrollText->SetActive(false);
}

void TfmAbout::done(int result) {
    // Stopping the scrolling processes messages, among them perhaps a second Enter or click: the
    // box closes once each time it is shown.
    if (m_closed)
        return;
    m_closed = true;
    m_scrollText->SetActive(false);
    QDialog::done(result);
}

void TfmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_closed = false;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace sornafex
