#pragma once
// What the window shows of a data file's protection: the bar above the record list that offers
// to seal a legacy file, the protection in the status bar, and the conversion itself.

#include <QFrame>
#include <QLabel>
#include <QSet>
#include <QString>

#include "store/zelvant_doc.h"

class QPushButton;

namespace zelvant::ui {

inline constexpr char kLegacyBarText[] =
    "This file uses the old, weak encryption: anyone who gets a copy of it can try passwords "
    "very fast.";
inline constexpr char kStrengthenButton[] = "Strengthen protection\u2026";
inline constexpr char kNotNowButton[] = "Not now";

// A non-modal bar for a legacy file. "Not now" hides it for that file until the program ends.
class CProtectionBar final : public QFrame {
    Q_OBJECT

  public:
    explicit CProtectionBar(QWidget* parent = nullptr);

    // Shown for a legacy file not put off in this run; hidden for anything else.
    void ShowFor(const QString& path, FileForm form);
    bool PutOff(const QString& path) const { return putOff_.contains(path); }

    QPushButton* StrengthenButton() const { return strengthen_; }
    QPushButton* NotNowButton() const { return notNow_; }

  signals:
    void StrengthenRequested();

  private:
    QPushButton* strengthen_ = nullptr;
    QPushButton* notNow_ = nullptr;
    QString path_;
    QSet<QString> putOff_;
};

// The protection of the open document, in the status bar; the tool tip says what it means.
class CProtectionLabel final : public QLabel {
    Q_OBJECT

  public:
    explicit CProtectionLabel(QWidget* parent = nullptr);
    void ShowFor(const CZelvantDoc& doc);
};

// "Strengthen Protection…": seals the open legacy file under a password asked for with
// confirmation, after one warning that older versions cannot open the result, and then offers to
// remove a legacy backup beside it. True when the file was sealed.
bool StrengthenProtection(QWidget* parent, CZelvantDoc& doc);

}  // namespace zelvant::ui
