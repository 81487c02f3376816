#pragma once

#include "discovery/PRIOSDeviceNode.h"
#include "results/ResultCollection.h"

#include <QWidget>

#include <array>

class QLabel;
class QProgressBar;

namespace quarrow::app {

// What the result view shows while a scan runs: the backup's details, the records found so far per
// category (existing and deleted), and the progress bar with its percentage.
class ProgressPane : public QWidget {
    Q_OBJECT
public:
    explicit ProgressPane(QWidget* parent = nullptr);

    // A new scan of the backup: details filled, counts at their bare captions, progress at 1%. The
    // waiting line names notes when those are all the scan looks for.
    void reset(const PRIOSDeviceNodePtr& node, bool notesOnly);
    // A progress notification, with the texts the collection made for it.
    void applyProgress(long long percent, const QString& text, const CountLabels& labels);
    // The scan has finished: the bar and its texts go.
    void finish();

private:
    QProgressBar* scanProgressor_ = nullptr;
    QLabel* progressTextField_ = nullptr;
    QLabel* scanInfolab_ = nullptr;
    std::array<QLabel*, 5> backupDetailLabels_{};
    std::array<QLabel*, 5> countLabels_{};
    std::array<QLabel*, 5> delCountLabels_{};
};

} // namespace quarrow::app
