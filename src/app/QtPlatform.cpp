#include "QtPlatform.h"

#include "platform/Log.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QUrl>

namespace quarrow::app {

namespace {

bool onGuiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Runs `work` on the GUI thread and answers its result, waiting when called from a worker.
template <class T> T onGui(const std::function<T()>& work) {
    if (onGuiThread()) {
        return work();
    }
    T result{};
    Platform::current().mainThread().runAndWait([&] { result = work(); });
    return result;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

QtMainThread::QtMainThread() = default;

void QtMainThread::runAndWait(std::function<void()> task) {
    if (QThread::currentThread() == thread()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(task), Qt::BlockingQueuedConnection);
}

void QtMainThread::post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

QRect windowWillPositionSheet(const QRect& rect) {
    return rect.translated(0, 80);
}

void positionAsSheet(QWidget* panel, const QWidget* parent) {
    if (!panel || !parent) {
        return;
    }
    const QSize size = panel->size().isValid() ? panel->size() : panel->sizeHint();
    const QRect frame = parent->geometry();
    const QRect standard(frame.x() + (frame.width() - size.width()) / 2, frame.y(), size.width(), size.height());
    panel->move(windowWillPositionSheet(standard).topLeft());
}

int QtAlertPresenter::runModal(const AlertRequest& request) {
    return onGui<int>([&]() -> int {
        QMessageBox box(window_);
        box.setWindowTitle(QCoreApplication::applicationName());
        box.setIcon(QMessageBox::NoIcon);
        box.setText(qs(request.messageText));
        box.setInformativeText(qs(request.informativeText));
        std::vector<QAbstractButton*> buttons;
        for (std::size_t i = 0; i < request.buttons.size(); ++i) {
            auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
            buttons.push_back(box.addButton(qs(request.buttons[i]), role));
        }
        if (buttons.empty()) {
            buttons.push_back(box.addButton(QMessageBox::Ok));
        }
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
        box.setEscapeButton(buttons.back());
        box.exec();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (box.clickedButton() == buttons[i]) {
                return static_cast<int>(i);
            }
        }
        return static_cast<int>(buttons.size()) - 1;
    });
}

std::optional<std::string> QtAlertPresenter::runSavePanel(const SavePanelRequest& request) {
    return onGui<std::optional<std::string>>([&]() -> std::optional<std::string> {
        QFileDialog panel(window_, qs(request.title), qs(request.directory));
        panel.setWindowModality(Qt::WindowModal);
        panel.setAcceptMode(QFileDialog::AcceptSave);
        panel.selectFile(qs(request.defaultName));
        positionAsSheet(&panel, window_);
        if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return panel.selectedFiles().front().toStdString();
    });
}

std::optional<std::string> QtAlertPresenter::runOpenPanel(const OpenPanelRequest& request) {
    return onGui<std::optional<std::string>>([&]() -> std::optional<std::string> {
        QFileDialog panel(window_, qs(request.title), qs(request.directory));
        panel.setWindowModality(Qt::WindowModal);
        panel.setAcceptMode(QFileDialog::AcceptOpen);
        if (request.chooseDirectories) {
            panel.setFileMode(QFileDialog::Directory);
            panel.setOption(QFileDialog::ShowDirsOnly, true);
        } else {
            panel.setFileMode(QFileDialog::ExistingFile);
        }
        positionAsSheet(&panel, window_);
        if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return panel.selectedFiles().front().toStdString();
    });
}

std::optional<std::vector<std::string>> QtAlertPresenter::runOpenPanelForFiles(const OpenPanelRequest& request) {
    return onGui<std::optional<std::vector<std::string>>>([&]() -> std::optional<std::vector<std::string>> {
        QFileDialog panel(window_, qs(request.title.empty() ? request.message : request.title), qs(request.directory));
        panel.setWindowModality(Qt::WindowModal);
        panel.setAcceptMode(QFileDialog::AcceptOpen);
        panel.setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        if (!request.allowedFileTypes.empty()) {
            // Both cases of each extension: name filters match case-sensitively on Linux.
            QStringList patterns;
            for (const auto& type : request.allowedFileTypes) {
                patterns << "*." + qs(type).toLower() << "*." + qs(type).toUpper();
            }
            panel.setNameFilter("Books (" + patterns.join(' ') + ")");
        }
        positionAsSheet(&panel, window_);
        if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        std::vector<std::string> files;
        for (const QString& file : panel.selectedFiles()) {
            files.push_back(file.toStdString());
        }
        return files;
    });
}

bool QtWorkspace::openURL(const std::string& url) {
    const QUrl u(qs(url));
    return u.isValid() && QDesktopServices::openUrl(u);
}

bool QtWorkspace::openFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(qs(path)));
}

bool QtWorkspace::revealFile(const std::string& path) {
    const QString file = qs(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusInterface fileManager("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                   "org.freedesktop.FileManager1", bus);
        if (fileManager.isValid()) {
            const QDBusMessage reply =
                fileManager.call("ShowItems", QStringList{QUrl::fromLocalFile(file).toString()}, QString());
            if (reply.type() != QDBusMessage::ErrorMessage) {
                return true;
            }
            systemLog("File manager could not show " + path + ": " + reply.errorMessage().toStdString());
        }
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

} // namespace quarrow::app
