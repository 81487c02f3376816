#pragma once

#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/Workspace.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QWidget;

namespace quarrow::app {

// The main-thread hand-off over Qt's event loop. The object must be created on the GUI thread.
class QtMainThread : public QObject, public MainThread {
    Q_OBJECT
public:
    QtMainThread();
    void runAndWait(std::function<void()> task) override;
    void post(std::function<void()> task) override;
};

// Sheets hang 80 points below the window's default sheet position (its top edge, centred).
QRect windowWillPositionSheet(const QRect& rect);
// Places a window-modal panel like a sheet of `parent`.
void positionAsSheet(QWidget* panel, const QWidget* parent);

// Modal alerts as message boxes (button titles as given, blanks included) and open and save
// panels as window-modal sheets of the main window. Safe to call from any thread: work is handed to
// the GUI thread, and the caller waits.
class QtAlertPresenter : public AlertPresenter {
public:
    void setWindow(QWidget* window) { window_ = window; }

    int runModal(const AlertRequest& request) override;
    std::optional<std::string> runSavePanel(const SavePanelRequest& request) override;
    std::optional<std::string> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<std::vector<std::string>> runOpenPanelForFiles(const OpenPanelRequest& request) override;

private:
    QPointer<QWidget> window_;
};

// The desktop's default handlers. Revealing asks the file manager over the freedesktop D-Bus
// interface and falls back to opening the containing folder.
class QtWorkspace : public Workspace {
public:
    bool openURL(const std::string& url) override;
    bool openFile(const std::string& path) override;
    bool revealFile(const std::string& path) override;
};

} // namespace quarrow::app
