#pragma once
// A Yes/No confirmation that the user can switch off for good with "Don't ask this question again".

#include <QDialog>
#include <QString>

class QCheckBox;
class QPushButton;

namespace zelvant::ui {

class CQueryDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CQueryDlg(const QString& text, QWidget* parent = nullptr);

    bool DontAskAgain() const;
    QCheckBox* DontAskBox() const { return dontAsk_; }
    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }

    // Asks unless `noQueryFlag` is already on (then the answer is Yes). The box's state goes into
    // the flag whatever the answer, so ticking it and saying No still silences the question.
    static bool Ask(QWidget* parent, const QString& text, int& noQueryFlag);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QCheckBox* dontAsk_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
};

}  // namespace zelvant::ui
