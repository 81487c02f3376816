#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quarrow::app {

// The preferences window. Today it holds the backup folder; the audiobook converter adds its
// settings to converterSettingsArea().
class PreferencesWindow : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    void setBackupFolder(const QString& path, const QString& source);
    QVBoxLayout* converterSettingsArea() const { return converterArea_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* defaultButton() const { return useDefault_; }

signals:
    void chooseBackupFolder();
    void useDefaultBackupFolder();

private:
    QLabel* folder_;
    QLabel* source_;
    QPushButton* choose_;
    QPushButton* useDefault_;
    QVBoxLayout* converterArea_;
};

} // namespace quarrow::app
