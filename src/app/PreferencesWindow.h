#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quarrow::app {

// The preferences window: the backup folder and which categories a scan reads. The audiobook
// converter adds its settings to converterSettingsArea().
class PreferencesWindow : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    void setBackupFolder(const QString& path, const QString& source);
    QVBoxLayout* converterSettingsArea() const { return converterArea_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* defaultButton() const { return useDefault_; }
    // Shows the choice without announcing it.
    void setScanEveryCategory(bool on);
    QCheckBox* scanEveryCategoryBox() const { return everyCategory_; }

signals:
    void chooseBackupFolder();
    void useDefaultBackupFolder();
    void scanEveryCategoryChanged(bool on);

private:
    QLabel* folder_;
    QLabel* source_;
    QPushButton* choose_;
    QPushButton* useDefault_;
    QCheckBox* everyCategory_;
    QVBoxLayout* converterArea_;
};

} // namespace quarrow::app
