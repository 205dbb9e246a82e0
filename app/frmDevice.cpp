#include "app/frmDevice.h"

#include "app/qt_text.h"
#include "base/uRes.h"
#include "base/ui_services.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace sornafex {

namespace {

// Room for a /dev/serial/by-id/ name, which runs to some sixty characters.
constexpr QSize kDialogSize(720, 320);

} // namespace

TfmDevice::TfmDevice(TDeviceChoice& choice, TUiServices& ui, QWidget* parent)
    : QDialog(parent), m_choice(choice), m_ui(ui) {
    setObjectName(QStringLiteral("fmDevice"));
    setWindowTitle(Q(choice.Caption()));
    resize(kDialogSize);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("DeviceList"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels(
        {Q(res::kDeviceColumn), Q(res::kKernelNameColumn), Q(res::kDescriptionColumn)});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* frequencyLabel = new QLabel(Q(res::kFrequencyLabel), this);
    m_frequency = new QLineEdit(Q(choice.Frequency()), this);
    m_frequency->setObjectName(QStringLiteral("FrequencyEdit"));
    frequencyLabel->setBuddy(m_frequency);
    auto* frequencyRow = new QHBoxLayout;
    frequencyRow->addWidget(frequencyLabel);
    frequencyRow->addWidget(m_frequency, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_refresh = buttons->addButton(Q(res::kRefresh), QDialogButtonBox::ResetRole);
    m_ok = buttons->addButton(Q(res::kOk), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(Q(res::kCancel), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    // "OK" checks the choice first: the box's accepted signal is left unconnected.
    connect(m_ok, &QPushButton::clicked, this, &TfmDevice::TryAccept);
    connect(m_refresh, &QPushButton::clicked, this, &TfmDevice::Refresh);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &TfmDevice::UpdateFrequencyState);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &TfmDevice::TryAccept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(frequencyRow);
    layout->addWidget(buttons);

    Fill({});
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
    UpdateFrequencyState();
}

void TfmDevice::Refresh() {
    const int selected = SelectedEntry();
    const auto& entries = m_choice.Entries();
    const std::string name =
        selected >= 0 ? entries[static_cast<std::size_t>(selected)].name : std::string();
    m_choice.Refresh();
    Fill(name);
}

int TfmDevice::SelectedEntry() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.front());
}

void TfmDevice::UpdateFrequencyState() {
    const int selected = SelectedEntry();
    const auto& entries = m_choice.Entries();
    m_frequency->setEnabled(selected >= 0 && entries[static_cast<std::size_t>(selected)].simulated);
}

void TfmDevice::TryAccept() {
    std::string error;
    const int selected = SelectedEntry();
    m_value = m_choice.Accept(selected, m_frequency->text().toStdString(), error);
    if (m_value) {
        accept();
        return;
    }
    m_ui.ShowMessage(error);
    if (m_frequency->isEnabled())
        m_frequency->setFocus();
}

} // namespace sornafex
