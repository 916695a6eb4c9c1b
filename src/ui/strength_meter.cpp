#include "ui/strength_meter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <algorithm>

#include "store/secure.h"
#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

// The bar is full at 10^20 guesses, far beyond what anyone could try.
constexpr int kFullBarLog10 = 20;

QColor VerdictColor(StrengthVerdict verdict) {
    switch (verdict) {
        case StrengthVerdict::Weak:
            return QColor(200, 40, 40);
        case StrengthVerdict::Fair:
            return QColor(220, 150, 0);
        case StrengthVerdict::Strong:
            return QColor(40, 150, 60);
    }
    return {};
}

QString Guesses(const Strength& strength) {
    return QStringLiteral("about 10<sup>%1</sup> guesses").arg(GuessesExponent(strength));
}

}  // namespace

CStrengthMeter::CStrengthMeter(QWidget* parent) : QWidget(parent) {
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("strengthBar"));
    bar_->setRange(0, kFullBarLog10);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setMaximumHeight(fontMetrics().height() / 2 + 2);
    bar_->setMaximumWidth(fontMetrics().averageCharWidth() * 14);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("strengthVerdict"));
    verdict_->setTextFormat(Qt::RichText);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar_);
    layout->addWidget(verdict_, 1);
    setToolTip(
        tr("How long the password would hold against someone guessing, as zxcvbn "
           "estimates it"));
}

void CStrengthMeter::SetUserWords(std::vector<std::string> words) {
    userWords_ = std::move(words);
}

void CStrengthMeter::SetPassword(const QString& password) {
    QByteArray utf8 = password.toUtf8();
    strength_ = EstimateStrength(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), userWords_);
    SecureWipe(utf8.data(), static_cast<std::size_t>(utf8.size()));
    empty_ = password.isEmpty();
    bar_->setValue(empty_ ? 0 : std::clamp(GuessesExponent(strength_), 1, kFullBarLog10));
    QPalette palette = bar_->palette();
    palette.setColor(QPalette::Highlight, VerdictColor(strength_.verdict));
    bar_->setPalette(palette);
    verdict_->setText(empty_ ? QString() : VerdictText(strength_));
    const QString spoken =
        empty_ ? tr("No password") : QString::fromLatin1(VerdictWord(strength_.verdict).data());
    bar_->setAccessibleName(tr("Password strength: %1").arg(spoken));
}

QString CStrengthMeter::VerdictText(const Strength& strength) {
    QString word = QString::fromLatin1(VerdictWord(strength.verdict).data());
    word[0] = word[0].toUpper();
    return word + QStringLiteral(": ") + Guesses(strength);
}

bool ConfirmWeakFilePassword(QWidget* parent, const Strength& strength) {
    if (strength.log10Guesses >= kStrongLog10Guesses) {
        return true;
    }
    QMessageBox box(
        QMessageBox::Warning, QString::fromLatin1(kProgramCaption),
        QObject::tr("This password is %1: it would be found in %2.")
            .arg(QString::fromLatin1(VerdictWord(strength.verdict).data()), Guesses(strength)),
        QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("weakPasswordQuestion"));
    box.setTextFormat(Qt::RichText);
    box.setInformativeText(
        QObject::tr("Anyone with a copy of the file can try passwords at their leisure; one "
                    "that needs fewer than 10<sup>10</sup> guesses does not hold out for long. "
                    "Use this password anyway?"));
    box.setDefaultButton(QMessageBox::No);
    return ExecDialog(box) == QMessageBox::Yes;
}

}  // namespace zelvant::ui
