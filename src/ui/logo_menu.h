#pragma once
// A popup menu with the product's name running upwards in a strip beside its items.

#include <QMenu>

namespace zelvant::ui {

inline constexpr int kLogoStripWidth = 22;

class CLogoMenu : public QMenu {
    Q_OBJECT
  public:
    explicit CLogoMenu(const QString& title, QWidget* parent = nullptr);

    // Every logo menu in the program shows or hides its strip together.
    static void SetStripShown(bool shown);
    static bool StripShown();
    bool HasStrip() const;

    // A submenu that carries the strip too.
    CLogoMenu* AddLogoMenu(const QString& title);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void ApplyMargins();
};

}  // namespace zelvant::ui
