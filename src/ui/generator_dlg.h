#pragma once
// The password generator: a random password of chosen length and kinds of character, or a
// passphrase of words, shown with its strength; "Use" hands it to the caller.

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zelvant::ui {

class CStrengthMeter;

inline constexpr char kGeneratorCaption[] = "Generate Password";

class CGeneratorDlg : public QDialog {
    Q_OBJECT
  public:
    // `userWords` count against the strength of what is made (the record's site and user name).
    explicit CGeneratorDlg(QWidget* parent = nullptr, std::vector<std::string> userWords = {});
    ~CGeneratorDlg() override;

    // What was made (or typed over it); valid after "Use".
    QString Password() const;

    QRadioButton* PasswordMode() const { return passwordMode_; }
    QRadioButton* PassphraseMode() const { return passphraseMode_; }
    QSpinBox* Length() const { return length_; }
    QCheckBox* Lower() const { return lower_; }
    QCheckBox* Upper() const { return upper_; }
    QCheckBox* Digits() const { return digits_; }
    QCheckBox* Symbols() const { return symbols_; }
    QCheckBox* AvoidLookalikes() const { return lookalikes_; }
    QSpinBox* Words() const { return words_; }
    QLineEdit* Separator() const { return separator_; }
    QLineEdit* Result() const { return result_; }
    CStrengthMeter* Meter() const { return meter_; }
    QPushButton* AgainButton() const { return again_; }
    QPushButton* UseButton() const { return use_; }

  public slots:
    // Makes a new one from the choices shown.
    void Generate();
    void done(int result) override;

  private:
    void UpdateModes();
    void Remember() const;

    QRadioButton* passwordMode_ = nullptr;
    QRadioButton* passphraseMode_ = nullptr;
    QSpinBox* length_ = nullptr;
    QCheckBox* lower_ = nullptr;
    QCheckBox* upper_ = nullptr;
    QCheckBox* digits_ = nullptr;
    QCheckBox* symbols_ = nullptr;
    QCheckBox* lookalikes_ = nullptr;
    QSpinBox* words_ = nullptr;
    QLineEdit* separator_ = nullptr;
    QLineEdit* result_ = nullptr;
    CStrengthMeter* meter_ = nullptr;
    QPushButton* again_ = nullptr;
    QPushButton* use_ = nullptr;
    QString accepted_;
};

}  // namespace zelvant::ui
