// The record dialog's password generator button and strength meter.

#include <QGridLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/field_edit.h"
#include "ui/generator_dlg.h"
#include "ui/icons.h"
#include "ui/message_box.h"
#include "ui/record_props.h"
#include "ui/strength_meter.h"

namespace zelvant::ui {

void CDataMain::AddPasswordTools(QGridLayout& grid) {
    CFieldEdit* password = Field(RecordField::Password);
    const int row = Slot(RecordField::Password);

    generate_ = new QToolButton(this);
    generate_->setObjectName(QStringLiteral("passwordGenerate"));
    generate_->setIcon(ZelvantIcon("generate"));
    generate_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_G));
    generate_->setToolTip(tr("Generate a password (Alt+G)"));
    generate_->setAccessibleName(tr("Generate a password"));
    connect(generate_, &QToolButton::clicked, this, &CDataMain::OpenGenerator);
    grid.addWidget(generate_, row, 3, Qt::AlignTop);

    // The meter goes under the password, in the same cell.
    strength_ = new CStrengthMeter(this);
    strength_->setObjectName(QStringLiteral("passwordStrength"));
    grid.removeWidget(password);
    auto* cell = new QVBoxLayout;
    cell->setSpacing(2);
    cell->addWidget(password);
    cell->addWidget(strength_);
    grid.addLayout(cell, row, 1);
    for (int column : {0, 2}) {
        if (QLayoutItem* item = grid.itemAtPosition(row, column)) {
            item->setAlignment(Qt::AlignTop);
        }
    }
    connect(password, &QLineEdit::textChanged, this, &CDataMain::UpdateStrength);
}

void CDataMain::UpdateStrength() {
    std::vector<std::string> words;
    for (RecordField field : {RecordField::SiteName, RecordField::UserName, RecordField::Email}) {
        words.push_back(Field(field)->text().toStdString());
    }
    strength_->SetUserWords(std::move(words));
    strength_->SetPassword(Field(RecordField::Password)->text());
}

void CDataMain::OpenGenerator() {
    std::vector<std::string> words;
    for (RecordField field : {RecordField::SiteName, RecordField::UserName, RecordField::Email}) {
        words.push_back(Field(field)->text().toStdString());
    }
    CGeneratorDlg dialog(this, std::move(words));
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return;
    }
    CFieldEdit* password = Field(RecordField::Password);
    password->setText(dialog.Password());
    password->setFocus();
}

}  // namespace zelvant::ui
