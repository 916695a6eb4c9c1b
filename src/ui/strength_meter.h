#pragma once
// A password's strength as a bar and a short verdict with the estimated guesses. The estimate is
// zxcvbn's (passwords/password_strength.h); this only shows it.

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "passwords/password_strength.h"

class QLabel;
class QProgressBar;

namespace zelvant::ui {

class CStrengthMeter : public QWidget {
    Q_OBJECT
  public:
    explicit CStrengthMeter(QWidget* parent = nullptr);

    // Texts an attacker would try first, such as the record's site and user name.
    void SetUserWords(std::vector<std::string> words);
    const Strength& Current() const { return strength_; }
    bool Empty() const { return empty_; }

    QProgressBar* Bar() const { return bar_; }
    QLabel* Verdict() const { return verdict_; }

    // "Strong: about 10^14 guesses" with the power as a superscript; empty for no password.
    static QString VerdictText(const Strength& strength);

  public slots:
    void SetPassword(const QString& password);

  private:
    std::vector<std::string> userWords_;
    Strength strength_;
    bool empty_ = true;
    QProgressBar* bar_ = nullptr;
    QLabel* verdict_ = nullptr;
};

// Before a file password estimated weaker than 10^10 guesses is used, the user confirms it.
// True when the password is strong enough or the user chose to keep it.
bool ConfirmWeakFilePassword(QWidget* parent, const Strength& strength);

}  // namespace zelvant::ui
