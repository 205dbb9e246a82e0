#include "app/frmDevice.h"

#include "app/qt_text.h"
#include "base/uRes.h"
#include "base/ui_services.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <optional>

namespace sornafex {

namespace {

// The area of what a and b share.
qint64 Overlap(const QRect& a, const QRect& b) {
    const QRect shared = a.intersected(b);
    return shared.isEmpty() ? 0 : qint64(shared.width()) * shared.height();
}

// rect moved, as little as it takes, into screen (its top-left corner when it is larger).
QRect MovedInto(QRect rect, const QRect& screen) {
    rect.moveRight(std::min(rect.right(), screen.right()));
    rect.moveBottom(std::min(rect.bottom(), screen.bottom()));
    rect.moveLeft(std::max(rect.left(), screen.left()));
    rect.moveTop(std::max(rect.top(), screen.top()));
    return rect;
}

} // namespace

QPoint PlaceBeside(const QSize& size, const QRect& owner, const QRect& keepClear,
                   const QRect& screen) {
    const std::array<QPoint, 4> sides = {
        QPoint(owner.right() + 1, owner.top()),
        QPoint(owner.left() - size.width(), owner.top()),
        QPoint(owner.left(), owner.bottom() + 1),
        QPoint(owner.left(), owner.top() - size.height()),
    };
    QRect best;
    qint64 bestCover = -1;
    for (const QPoint& side : sides) {
        // Level with the owner as far as the screen lets it be: only the side has to fit.
        const QRect placed = MovedInto(QRect(side, size), screen);
        if (!placed.intersects(owner) && screen.contains(placed))
            return placed.topLeft();
        const qint64 cover = Overlap(placed, keepClear);
        if (bestCover < 0 || cover < bestCover) {
            best = placed;
            bestCover = cover;
        }
    }
    return best.topLeft();
}

QSize FitBeside(const QSize& size, const QSize& minimum, const QRect& owner, const QRect& screen) {
    const std::array<QSize, 4> rooms = {
        QSize(screen.right() - owner.right(), screen.height()),
        QSize(owner.left() - screen.left(), screen.height()),
        QSize(screen.width(), screen.bottom() - owner.bottom()),
        QSize(screen.width(), owner.top() - screen.top()),
    };
    std::optional<QSize> best;
    for (const QSize& room : rooms) {
        const QSize fitted = size.boundedTo(room);
        if (fitted == size)
            return size;
        if (fitted.width() >= minimum.width() && fitted.height() >= minimum.height() &&
            (!best ||
             qint64(fitted.width()) * fitted.height() > qint64(best->width()) * best->height()))
            best = fitted;
    }
    return best.value_or(size);
}

void PlaceBesideParent(QWidget& window, const QSize& least) {
    const QWidget* owner = window.parentWidget();
    const QScreen* screen = owner ? owner->screen() : nullptr;
    if (!screen)
        return;
    const QRect outer = owner->frameGeometry();
    const QRect available = screen->availableGeometry();
    const QSize frame = window.frameGeometry().size() - window.size();
    const QSize fitted = FitBeside(window.frameGeometry().size(), least + frame, outer, available);
    window.resize(fitted - frame);
    window.move(PlaceBeside(fitted, outer, outer, available));
}

TfmDevice::TfmDevice(TDeviceChoice& choice, TUiServices& ui, QWidget* parent)
    : QDialog(parent), m_choice(choice), m_ui(ui) {
    setObjectName(QStringLiteral("fmDevice"));
    setWindowTitle(Q(choice.Caption()));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("DeviceList"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels(
        {Q(res::kDeviceColumn), Q(res::kKernelNameColumn), Q(res::kDescriptionColumn)});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    // As large as its entries, so that the dialog is no larger than they need.
    m_list->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);

    const auto edit = [this](const char* name, TDeviceEntryKind kind) {
        auto* field = new QLineEdit(Q(m_choice.FieldText(kind)), this);
        field->setObjectName(QString::fromLatin1(name));
        return field;
    };
    m_path = edit("PathEdit", TDeviceEntryKind::Path);
    m_frequency = edit("FrequencyEdit", TDeviceEntryKind::Sensor);
    m_profile = edit("ProfileEdit", TDeviceEntryKind::Profile);
    m_browse = new QPushButton(Q(res::kBrowse), this);
    m_browse->setObjectName(QStringLiteral("BrowseButton"));
    m_browse->setAutoDefault(false);
    auto* profileRow = new QHBoxLayout;
    profileRow->addWidget(m_profile, 1);
    profileRow->addWidget(m_browse);
    auto* fields = new QFormLayout;
    fields->addRow(Q(res::kDevicePathLabel), m_path);
    fields->addRow(Q(res::kFrequencyLabel), m_frequency);
    fields->addRow(Q(res::kProfileLabel), profileRow);

    auto* buttons = new QDialogButtonBox(this);
    m_refresh = buttons->addButton(Q(res::kRefresh), QDialogButtonBox::ResetRole);
    m_ok = buttons->addButton(Q(res::kOk), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(Q(res::kCancel), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    // "OK" checks the choice first: the box's accepted signal is left unconnected.
    connect(m_ok, &QPushButton::clicked, this, &TfmDevice::TryAccept);
    connect(m_refresh, &QPushButton::clicked, this, &TfmDevice::Refresh);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, &TfmDevice::Browse);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &TfmDevice::UpdateFields);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &TfmDevice::TryAccept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    Fill({});
}

void TfmDevice::showEvent(QShowEvent* event) {
    // On the first show the fonts and the style are known, and the window is not on the screen
    // yet.
    if (!event->spontaneous() && !m_placed) {
        m_placed = true;
        FitAndPlace();
    }
    QDialog::showEvent(event);
}

void TfmDevice::FitAndPlace() {
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const bool beside = owner != nullptr && owner->isVisible();
    const QRect screen = (beside ? owner->screen() : this->screen())->availableGeometry();
    // The dialog has no frame before it is shown: it will get one like its owner's.
    const QSize frame = beside ? owner->frameGeometry().size() - owner->size() : QSize();
    // All its content shows, as Qt's own sizing (at most two thirds of the screen) might not.
    resize(sizeHint().boundedTo(screen.size() - frame));
    if (!beside)
        return;
    QRect chart = owner->frameGeometry();
    if (const auto* main = qobject_cast<QMainWindow*>(owner); main && main->centralWidget()) {
        const QWidget* central = main->centralWidget();
        chart = QRect(central->mapToGlobal(QPoint(0, 0)), central->size());
    }
    // A window's position is its frame's.
    move(PlaceBeside(size() + frame, owner->frameGeometry(), chart, screen));
}

void TfmDevice::Fill(const std::string& selectName) {
    m_list->clear();
    const auto& entries = m_choice.Entries();
    int select = m_choice.Current();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TDeviceEntry& entry = entries[i];
        new QTreeWidgetItem(m_list, {Q(entry.name), Q(entry.kernelName), Q(entry.description)});
        if (!selectName.empty() && entry.name == selectName)
            select = static_cast<int>(i);
    }
    if (select >= 0 && select < m_list->topLevelItemCount())
        m_list->setCurrentItem(m_list->topLevelItem(select));
    // Now rather than at the next layout, so that the dialog's size can follow.
    m_list->header()->resizeSections(QHeaderView::ResizeToContents);
    UpdateFields();
}

void TfmDevice::Refresh() {
    const int selected = SelectedEntry();
    const auto& entries = m_choice.Entries();
    const std::string name =
        selected >= 0 ? entries[static_cast<std::size_t>(selected)].name : std::string();
    m_choice.Refresh();
    Fill(name);
    // A device plugged in meanwhile may have a longer name.
    resize(size().expandedTo(sizeHint()));
}

int TfmDevice::SelectedEntry() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.front());
}

QLineEdit* TfmDevice::SelectedField() const {
    const int selected = SelectedEntry();
    if (selected < 0)
        return nullptr;
    switch (m_choice.Entries()[static_cast<std::size_t>(selected)].kind) {
    case TDeviceEntryKind::Device:
        return nullptr;
    case TDeviceEntryKind::Path:
        return m_path;
    case TDeviceEntryKind::Sensor:
        return m_frequency;
    case TDeviceEntryKind::Profile:
        return m_profile;
    }
    return nullptr;
}

void TfmDevice::UpdateFields() {
    QLineEdit* const field = SelectedField();
    for (QLineEdit* each : {m_path, m_frequency, m_profile})
        each->setEnabled(each == field);
    m_browse->setEnabled(field == m_profile);
}

void TfmDevice::Browse() {
    if (const auto path =
            m_ui.OpenFileDialog(m_choice.ProfileBrowsing(m_profile->text().toStdString())))
        m_profile->setText(Q(*path));
}

void TfmDevice::TryAccept() {
    std::string error;
    QLineEdit* const field = SelectedField();
    m_value = m_choice.Accept(SelectedEntry(), field ? field->text().toStdString() : std::string(),
                              error);
    if (m_value) {
        accept();
        return;
    }
    m_ui.ShowMessage(error);
    if (field)
        field->setFocus();
}

} // namespace sornafex
