#pragma once

#include "FeedbackWindow.h"

#include "discovery/PRIOSDeviceNode.h"
#include "platform/NotificationCenter.h"
#include "records/Category.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QCheckBox;
class QDialog;
class QLabel;
class QStackedWidget;
class QTableView;

namespace quarrow {
class CategoryView;
class RecoverySession;
class ResultCollection;
} // namespace quarrow

namespace quarrow::app {

class CategoryPane;
class CategoryTableModel;
class ExportSheet;
class PRButton;
class ProgressPane;
class QuarrowAppDelegate;

// The result screen of the recovery job. It observes the session: the progress pane while a scan
// runs, then one pane per category (enabled when a scanner of that category ran), the filter box,
// the selection line, the link buttons and the save button with its export sheet.
class PRResultViewController : public QWidget {
    Q_OBJECT
public:
    PRResultViewController(RecoverySession& session, QuarrowAppDelegate& shell, QWidget* parent = nullptr);
    ~PRResultViewController() override;

    RecoverySession& session() { return session_; }
    ResultCollection& collection();
    CategoryPane& paneFor(Category category) const { return *panes_[index(category)]; }
    CategoryView& viewFor(Category category);
    QTableView* tableFor(Category category) const;
    CategoryTableModel* modelFor(Category category) const;
    PRButton* buttonFor(Category category) const { return buttons_[index(category)]; }
    QTableView* currentTableView() const;
    FeedbackWindow* feedbackWindow() const { return feedbackWindow_; }
    // The pane now shown in CustomView.
    QWidget* currentPane() const;
    QWidget* scanproView() const;
    // The export's progress sheet.
    QDialog* saveWindow() const;
    bool isExporting() const;

    // Attaches the view to its parent and resets it for a new scan of the backup. Must run before
    // the scan posts anything.
    void showView(QWidget* parentView, const PRIOSDeviceNodePtr& node);
    void releaseUIMemory();
    // Ignore a finish step that arrives while the application is closing.
    void setClosing() { closing_ = true; }

    // Category buttons and the filter box.
    void actPhoto() { showCategory(Category::PhotoAndVideo); }
    void actContact() { showCategory(Category::Contact); }
    void actMessage() { showCategory(Category::Message); }
    void actNote() { showCategory(Category::Note); }
    void actCallHistory() { showCategory(Category::CallHistory); }
    void actCheck();
    void actHome();
    void actRecovery();

    void clickFacebook();
    void clickTwitter();
    void clickSupport();
    void clickFeedBack();
    void clickSendFeedBack();
    void ClickDontSendFeedBack();

    // Table delegate work, public so tests can drive it as the widgets do.
    void tableViewDidClickTableColumn(Category category, int column);
    void tableViewSetObjectValue(bool ticked);
    void tableViewSelectionDidChange();

    void PRbuttonMouseEnteredHandle(const std::string& buttonName);
    void PRbuttonMouseExitedHandle(const std::string& buttonName);

signals:
    // The scan's finish step has run (before its closing alert).
    void scanFinished();
    // The user confirmed going home: the session and the view are emptied.
    void wentHome();

private:
    static std::size_t index(Category c) { return static_cast<std::size_t>(c); }

    void buildTopBand();
    void buildBottomBand();
    void showCategory(Category category);
    void updateSelectionLine();
    void finishStep();
    void setCategoryImages(std::optional<Category> highlighted);
    CategoryPane* currentPaneInfo() const;

    RecoverySession& session_;
    QuarrowAppDelegate& shell_;
    std::array<CategoryPane*, 5> panes_{};
    std::array<PRButton*, 5> buttons_{};
    CategoryPane* current_ = nullptr;
    bool closing_ = false;
    std::vector<NotificationCenter::Token> hoverTokens_;

    QStackedWidget* CustomView_ = nullptr;
    ProgressPane* progressPane_ = nullptr;
    QLabel* deviceSummarylab_ = nullptr;
    PRButton* homeBtn_ = nullptr;
    QWidget* saveBtn_ = nullptr;
    QLabel* selecteFilelab_ = nullptr;
    QCheckBox* checkBtn_ = nullptr;
    QWidget* supprotBtn_ = nullptr;
    PRButton* facebookBtn_ = nullptr;
    PRButton* twitterBtn_ = nullptr;
    PRButton* feedBackBtn_ = nullptr;
    QPointer<FeedbackWindow> feedbackWindow_;
    ExportSheet* exportSheet_ = nullptr;
};

} // namespace quarrow::app
