#pragma once

#include "FeedbackWindow.h"

#include "results/CategoryView.h"
#include "results/ExportRun.h"
#include "results/ResultCollection.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QDialog;
class QProgressBar;
class QTimer;
class QStackedWidget;
class QTableView;
class QVBoxLayout;

namespace quarrow::app {

class CategoryTableModel;
class PRButton;
class PRTextView;
class QuarrowAppDelegate;

// The result screen: the progress pane while a scan runs, then one pane per category with its
// table and detail area, the filter box, the selection line and the link buttons. It drives the
// core's ResultCollection (the master lists and counters) and one CategoryView per table.
class PRResultViewController : public QWidget {
    Q_OBJECT
public:
    explicit PRResultViewController(QuarrowAppDelegate& app, QWidget* parent = nullptr);
    ~PRResultViewController() override;

    ResultCollection& collection() { return collection_; }
    CategoryView& viewFor(Category category) { return *panes_[index(category)].view; }
    QTableView* tableFor(Category category) const { return panes_[index(category)].table; }
    CategoryTableModel* modelFor(Category category) const { return panes_[index(category)].model; }
    QTableView* currentTableView() const { return currentTableView_; }
    FeedbackWindow* feedbackWindow() const { return feedbackWindow_; }
    // The pane now shown in CustomView.
    QWidget* currentPane() const;
    QWidget* scanproView() const { return scanproView_; }
    // The export's progress sheet while an export runs, else nothing.
    QDialog* saveWindow() const { return saveWindow_; }
    bool isExporting() const { return exportRun_ != nullptr; }

    // Attaches the view to the window's content and resets it for a new scan. Must run before the
    // scan posts anything.
    void showView(QWidget* parentView);
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Pane {
        Category category;
        std::unique_ptr<CategoryView> view;
        CategoryTableModel* model = nullptr;
        QTableView* table = nullptr;
        QWidget* pane = nullptr;
        PRButton* button = nullptr;
        QWidget* detailArea = nullptr;
        std::vector<QLabel*> lines;
        PRTextView* longText = nullptr;
        QLabel* imageView = nullptr;
    };
    static std::size_t index(Category c) { return static_cast<std::size_t>(c); }

    void buildTopBand();
    void buildProgressPane();
    void buildCategoryPane(Pane& pane);
    void buildBottomBand();
    void showCategory(Category category);
    void selectFirstRow(QTableView* table);
    void updateSelectionLine();
    void applyProgress(long long percent, const QString& text, const CountLabels& labels);
    void finishStep();
    void setCategoryImages(std::optional<Category> highlighted);
    Pane* currentPaneInfo();
    void fillDetail(Pane& pane, std::size_t row);

    QuarrowAppDelegate& app_;
    ResultCollection collection_;
    std::array<Pane, 5> panes_;
    QTableView* currentTableView_ = nullptr;
    bool closing_ = false;
    std::vector<NotificationCenter::Token> hoverTokens_;

    QStackedWidget* CustomView_ = nullptr;
    QWidget* scanproView_ = nullptr;
    QProgressBar* scanProgressor_ = nullptr;
    QLabel* progressTextField_ = nullptr;
    QLabel* scanInfolab_ = nullptr;
    QLabel* deviceSummarylab_ = nullptr;
    std::array<QLabel*, 5> backupDetailLabels_{};
    std::array<QLabel*, 5> countLabels_{};
    std::array<QLabel*, 5> delCountLabels_{};
    PRButton* homeBtn_ = nullptr;
    QWidget* saveBtn_ = nullptr;
    QLabel* selecteFilelab_ = nullptr;
    QCheckBox* checkBtn_ = nullptr;
    QWidget* supprotBtn_ = nullptr;
    PRButton* facebookBtn_ = nullptr;
    PRButton* twitterBtn_ = nullptr;
    PRButton* feedBackBtn_ = nullptr;
    QPointer<FeedbackWindow> feedbackWindow_;

    void buildSaveWindow();
    void IphonerecoveryTimer_hander();
    void saveProgressorHanderToMainThreadHandle(ExportRun& run);
    std::unique_ptr<ExportRun> exportRun_;
    QDialog* saveWindow_ = nullptr;
    QProgressBar* saveProgressor_ = nullptr;
    QLabel* savepercentlab_ = nullptr;
    QTimer* recoverTimer_ = nullptr;
};

} // namespace quarrow::app
