#pragma once

#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace quarrow::app {

// The application's two jobs.
enum class Job { Recovery, Audiobooks };

// The strip along the top of the main window that switches between the jobs, one toggle each.
class JobSwitcher : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 36;

    explicit JobSwitcher(QWidget* parent = nullptr);

    Job currentJob() const { return current_; }
    // Shows the job as chosen, without announcing it.
    void setCurrentJob(Job job);
    QAbstractButton* buttonFor(Job job) const;

signals:
    // The user chose a job.
    void jobChosen(Job job);

private:
    QButtonGroup* group_ = nullptr;
    Job current_ = Job::Recovery;
};

} // namespace quarrow::app
