#pragma once
// Name of a new or existing folder, with how much the folder holds.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace zelvant::ui {

class CFolderNameDlg : public QDialog {
    Q_OBJECT

  public:
    CFolderNameDlg(const QString& name, int records, int folders, QWidget* parent = nullptr);

    QString Name() const;
    QLineEdit* NameEdit() const { return name_; }
    QLabel* ContentsLabel() const { return contents_; }

  private:
    QLineEdit* name_ = nullptr;
    QLabel* contents_ = nullptr;
};

}  // namespace zelvant::ui
