#pragma once
// A bar above the record list, shown when a file opens, that says how many records have expired
// or expire soon, with "Show" to list them. It asks nothing and blocks nothing; it stays until
// it is dismissed or another document is opened.

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;

namespace zelvant::ui {

class CExpiryBar : public QFrame {
    Q_OBJECT
  public:
    explicit CExpiryBar(QWidget* parent = nullptr);

    // Shows the bar with the counts, or hides it when both are 0.
    void Report(int expired, int expiring, int days);
    static QString Text(int expired, int expiring, int days);

    QLabel* Message() const { return text_; }
    QPushButton* ShowButton() const { return show_; }
    QToolButton* CloseButton() const { return close_; }

  signals:
    void ShowRequested();

  private:
    QLabel* text_ = nullptr;
    QPushButton* show_ = nullptr;
    QToolButton* close_ = nullptr;
};

}  // namespace zelvant::ui
