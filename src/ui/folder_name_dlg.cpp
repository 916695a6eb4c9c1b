#include "ui/folder_name_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace zelvant::ui {

CFolderNameDlg::CFolderNameDlg(const QString& name, int records, int folders, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Folder Properties"));

    name_ = new QLineEdit(name, this);
    name_->setMinimumWidth(240);
    contents_ = new QLabel(QString::asprintf("%d Records, %d Folders", records, folders), this);

    auto* form = new QFormLayout;
    form->addRow(tr("&Name:"), name_);
    form->addRow(tr("Contains: "), contents_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Typing replaces the old name at once.
    name_->selectAll();
    name_->setFocus();
}

QString CFolderNameDlg::Name() const {
    return name_->text();
}

}  // namespace zelvant::ui
