// Chart output (files, clipboard, printer) and the about box.

#include "app/frmMain.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace sornafex {

void TfmMain::ActGraphExportBitmapExecute() {}

void TfmMain::ActGraphExportMetafileExecute() {}

void TfmMain::ActGraphCopyToClipboardBitmapExecute() {}

void TfmMain::ActGraphCopyToClipboardMetafileExecute() {}

void TfmMain::ActGraphPrintExecute() {}

void TfmMain::ActAppAboutExecute() {
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("A propos..."));
    auto* layout = new QVBoxLayout(&about);
    auto* buttons = new QDialogButtonBox(&about);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    about.exec();
}

} // namespace sornafex
