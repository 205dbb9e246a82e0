#include "tests/support/scripted_ui_services.h"

#include "base/device_choice.h"

#include <gtest/gtest.h>

namespace sornafex::test {

const char* DialogKindName(TDialogKind kind) {
    switch (kind) {
    case TDialogKind::Message:
        return "message box";
    case TDialogKind::Confirm:
        return "confirmation";
    case TDialogKind::Input:
        return "input box";
    case TDialogKind::Open:
        return "open dialog";
    case TDialogKind::Save:
        return "save dialog";
    case TDialogKind::Folder:
        return "folder dialog";
    case TDialogKind::Print:
        return "print dialog";
    case TDialogKind::SelectPort:
        return "port selection";
    case TDialogKind::ChooseDevice:
        return "device dialog";
    case TDialogKind::Dialog:
        return "dialog";
    case TDialogKind::Error:
        return "error box";
    case TDialogKind::ErrorWithCaption:
        return "error box with caption";
    }
    return "?";
}

TScriptedUiServices::~TScriptedUiServices() {
    if (m_verifyOnDestruction && !m_script.empty())
        ADD_FAILURE() << "scripted " << DialogKindName(m_script.front().kind) << " never appeared ("
                      << m_script.size() << " step(s) left)";
}

TScriptedUiServices::TStep& TScriptedUiServices::Push(TDialogKind kind) {
    TStep step;
    step.kind = kind;
    return m_script.emplace_back(std::move(step));
}

void TScriptedUiServices::ExpectMessage() {
    Push(TDialogKind::Message);
}
void TScriptedUiServices::ExpectError() {
    Push(TDialogKind::Error);
}
void TScriptedUiServices::ExpectErrorWithCaption() {
    Push(TDialogKind::ErrorWithCaption);
}
void TScriptedUiServices::ExpectConfirm(TConfirmResult answer) {
    Push(TDialogKind::Confirm).confirm = answer;
}
void TScriptedUiServices::ExpectInput(std::optional<std::string> answer) {
    Push(TDialogKind::Input).text = std::move(answer);
}
void TScriptedUiServices::ExpectOpen(std::optional<std::string> path) {
    Push(TDialogKind::Open).text = std::move(path);
}
void TScriptedUiServices::ExpectSave(std::optional<std::string> path) {
    Push(TDialogKind::Save).text = std::move(path);
}
void TScriptedUiServices::ExpectFolder(std::optional<std::string> path) {
    Push(TDialogKind::Folder).text = std::move(path);
}
void TScriptedUiServices::ExpectPrint(std::function<bool(QPrinter&)> answer) {
    Push(TDialogKind::Print).print = std::move(answer);
}
void TScriptedUiServices::ExpectSelectPort(std::optional<std::string> entry) {
    Push(TDialogKind::SelectPort).text = std::move(entry);
}
void TScriptedUiServices::ExpectChooseDevice(
    std::function<std::optional<std::string>(TDeviceChoice&)> answer) {
    Push(TDialogKind::ChooseDevice).chooseDevice = std::move(answer);
}

std::optional<TScriptedUiServices::TStep> TScriptedUiServices::Next(TDialogKind kind) {
    if (m_script.empty()) {
        ADD_FAILURE() << "unexpected " << DialogKindName(kind) << ": "
                      << (m_shown.empty() ? std::string() : m_shown.back().text);
        return std::nullopt;
    }
    TStep step = std::move(m_script.front());
    m_script.pop_front();
    if (step.kind != kind) {
        ADD_FAILURE() << "expected a " << DialogKindName(step.kind) << ", got a "
                      << DialogKindName(kind) << ": "
                      << (m_shown.empty() ? std::string() : m_shown.back().text);
        return std::nullopt;
    }
    return step;
}

void TScriptedUiServices::ShowMessage(const std::string& text) {
    m_shown.push_back({TDialogKind::Message, {}, text, {}, {}});
    Next(TDialogKind::Message);
}

TConfirmResult TScriptedUiServices::Confirm(const std::string& text) {
    m_shown.push_back({TDialogKind::Confirm, {}, text, {}, {}});
    const auto step = Next(TDialogKind::Confirm);
    return step ? step->confirm : TConfirmResult::Cancel;
}

std::optional<std::string> TScriptedUiServices::InputBox(const std::string& caption,
                                                         const std::string& prompt,
                                                         const std::string& initial) {
    m_shown.push_back({TDialogKind::Input, caption, prompt, {}, {initial}});
    const auto step = Next(TDialogKind::Input);
    return step ? step->text : std::nullopt;
}

std::optional<std::string> TScriptedUiServices::OpenFileDialog(const TFileDialogOptions& options) {
    m_shown.push_back({TDialogKind::Open, {}, {}, options, {}});
    const auto step = Next(TDialogKind::Open);
    return step ? step->text : std::nullopt;
}

std::optional<std::string> TScriptedUiServices::SaveFileDialog(const TFileDialogOptions& options) {
    m_shown.push_back({TDialogKind::Save, {}, {}, options, {}});
    const auto step = Next(TDialogKind::Save);
    return step ? step->text : std::nullopt;
}

std::optional<std::string> TScriptedUiServices::FolderDialog(const std::string& initialDir) {
    m_shown.push_back({TDialogKind::Folder, {}, initialDir, {}, {}});
    const auto step = Next(TDialogKind::Folder);
    return step ? step->text : std::nullopt;
}

bool TScriptedUiServices::PrintDialog(QPrinter& printer) {
    m_shown.push_back({TDialogKind::Print, {}, {}, {}, {}});
    const auto step = Next(TDialogKind::Print);
    return step && step->print && step->print(printer);
}

std::optional<std::string>
TScriptedUiServices::SelectPort(const std::vector<std::string>& entries) {
    m_shown.push_back({TDialogKind::SelectPort, {}, {}, {}, entries});
    const auto step = Next(TDialogKind::SelectPort);
    return step ? step->text : std::nullopt;
}

std::optional<std::string> TScriptedUiServices::ChooseDevice(TDeviceChoice& choice) {
    std::vector<std::string> names;
    for (const TDeviceEntry& entry : choice.Entries())
        names.push_back(entry.name);
    m_shown.push_back({TDialogKind::ChooseDevice, choice.Caption(), {}, {}, names});
    const auto step = Next(TDialogKind::ChooseDevice);
    return step && step->chooseDevice ? step->chooseDevice(choice) : std::nullopt;
}

bool TScriptedUiServices::EditInDialog(TDialogModel& model) {
    m_shown.push_back({TDialogKind::Dialog, model.Caption(), {}, {}, {}});
    const auto step = Next(TDialogKind::Dialog);
    return step && step->dialog && step->dialog(model);
}

void TScriptedUiServices::ShowError(const std::string& text) {
    m_shown.push_back({TDialogKind::Error, {}, text, {}, {}});
    Next(TDialogKind::Error);
}

void TScriptedUiServices::ShowErrorWithCaption(const std::string& caption,
                                               const std::string& text) {
    m_shown.push_back({TDialogKind::ErrorWithCaption, caption, text, {}, {}});
    Next(TDialogKind::ErrorWithCaption);
}

} // namespace sornafex::test
