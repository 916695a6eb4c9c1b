#pragma once
// The options dialog: five pages of options trees over a private copy of the settings. It never
// applies anything itself; the caller hands Result() to ApplyOptions after OK.

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "controls/options_tree.h"
#include "settings/app_settings.h"

class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidgetItem;

namespace zelvant::ui {

inline constexpr char kOptionsTitle[] = "Zelvant Options";

enum OptionsPage : int {
    kPageGeneral = 0,
    kPageInformationView = 1,
    kPagePasswordPopup = 2,
    kPageSecurity = 3,
    kPagePrinting = 4,
};
inline constexpr int kOptionsPageCount = 5;

// The caption shown in the page list and the caption bar.
QString OptionsPageCaption(int page);
// The help topic a page opens; -1 for an index out of range.
int OptionsPageHelpTopic(int page);

// The number at the start of a typed minute value (blanks, sign, digits); 0 when there is none.
int LeadingNumber(const QString& text);

class COptionsDlg : public QDialog {
    Q_OBJECT

  public:
    explicit COptionsDlg(const settings::AppSettings& current, QWidget* parent = nullptr);
    ~COptionsDlg() override;

    // The input until OK; after OK the values read from the pages, converted and repaired.
    const settings::AppSettings& Result() const { return result_; }

    int CurrentPage() const { return current_; }
    // Creates the page on first use; ignores an index out of range or the current page.
    void ShowPage(int page);
    // Null while the page has not been shown.
    controls::CTreeOptionsCtrl* PageTree(int page) const;

    QListWidget* PageList() const { return list_; }
    QLabel* CaptionBar() const { return caption_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* HelpButton() const { return help_; }

    // The page the next dialog of this run opens on.
    static int StartPage();

  public slots:
    void accept() override;
    void done(int result) override;

  signals:
    void HelpRequested(int helpTopic);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // What the pages edit, in the form the trees show it.
    struct Members {
        settings::AppSettings values;  // flags kept as they are
        int queryDelFolder = 0;
        int queryDelRecord = 0;
        QString timedClear;
        QString minTime;
        QString minPopTime;
        QString clearSecretsAfter;
        QString password;  // a new security password; empty keeps the one set
        int clearPassword = 0;
    };

    // The items a page exchanges; null until the page exists.
    struct Items {
        QTreeWidgetItem* loadOnStartup = nullptr;
        QTreeWidgetItem* startMini = nullptr;
        QTreeWidgetItem* splash = nullptr;
        QTreeWidgetItem* singleInstance = nullptr;
        QTreeWidgetItem* trayIcon = nullptr;
        QTreeWidgetItem* trayMinimize = nullptr;
        QTreeWidgetItem* trayActionGroup = nullptr;
        QTreeWidgetItem* topmost = nullptr;
        QTreeWidgetItem* minimizeEsc = nullptr;
        QTreeWidgetItem* gridHoriz = nullptr;
        QTreeWidgetItem* gridVert = nullptr;
        QTreeWidgetItem* alternateColors = nullptr;
        QTreeWidgetItem* boldText = nullptr;
        std::array<QTreeWidgetItem*, 12> display{};
        std::array<QTreeWidgetItem*, 5> popup{};
        QTreeWidgetItem* autoLoadDoc = nullptr;
        QTreeWidgetItem* clearMRU = nullptr;
        QTreeWidgetItem* alwaysBackup = nullptr;
        QTreeWidgetItem* rememberPass = nullptr;
        QTreeWidgetItem* fileToolTip = nullptr;
        QTreeWidgetItem* legacyNewFiles = nullptr;
        QTreeWidgetItem* queryDelFolder = nullptr;
        QTreeWidgetItem* queryDelRecord = nullptr;
        QTreeWidgetItem* clearClip = nullptr;
        QTreeWidgetItem* timedClear = nullptr;
        QTreeWidgetItem* minTime = nullptr;
        QTreeWidgetItem* minPopTime = nullptr;
        QTreeWidgetItem* protMin = nullptr;
        QTreeWidgetItem* password = nullptr;
        QTreeWidgetItem* clearPassword = nullptr;  // only while a password is set
        QTreeWidgetItem* clearSecretsAfter = nullptr;
        std::array<QTreeWidgetItem*, 12> printing{};
    };

    controls::CTreeOptionsCtrl* CreatePage(int page);
    void BuildGeneral(controls::CTreeOptionsCtrl& tree);
    void BuildInformationView(controls::CTreeOptionsCtrl& tree);
    void BuildPasswordPopup(controls::CTreeOptionsCtrl& tree);
    void BuildSecurity(controls::CTreeOptionsCtrl& tree);
    void BuildPrinting(controls::CTreeOptionsCtrl& tree);
    void ExchangePage(int page, controls::Exchange direction);
    settings::AppSettings MembersToSettings() const;

    Members members_;
    settings::AppSettings result_;
    int current_ = -1;
    std::array<controls::CTreeOptionsCtrl*, kOptionsPageCount> trees_{};
    Items items_;

    QListWidget* list_ = nullptr;
    QLabel* caption_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
};

// What OK changes outside the dialog. Empty functions are skipped.
struct OptionsEffects {
    std::function<void(int trayAction)> trayDefaultItem;
    std::function<void(bool loadOnStartup)> autostart;  // on every OK, changed or not
    std::function<void(const settings::PopupFlags&)> popupMasks;
    std::function<void(const settings::AppSettings&)> save;
    std::function<void(bool trayIcon)> trayShow;
    std::function<void()> trayTip;
    std::function<void(bool topmost)> topmost;
    std::function<void()> refreshList;  // new grid and colour settings, selection kept
};

// Calls the effects in the order they are declared above, the order the main frame has always
// applied options in.
void ApplyOptions(const settings::AppSettings& result, const OptionsEffects& effects);

}  // namespace zelvant::ui
