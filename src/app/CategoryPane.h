#pragma once

#include "results/CategoryView.h"

#include <QWidget>

#include <memory>
#include <vector>

class QImage;
class QLabel;
class QSize;
class QString;
class QTableView;

namespace quarrow::app {

// The picture of a stored photo as the detail area shows it, fitted to `box`. It is decoded
// straight to about the size shown (a JPEG then decodes a fraction of its pixels, quickly and within
// Qt's allocation cap however many megapixels the camera took) and turned upright as its
// orientation tag says. A null image when the file is no picture Qt reads.
QImage photoPreview(const QString& path, const QSize& box);

class CategoryTableModel;
class PRTextView;

// One category of the result view: its table over the core's CategoryView, and the detail area
// that shows the selected record in full. The pane knows nothing of the other categories; the
// result view switches between panes and owns the filter box and the selection line.
class CategoryPane : public QWidget {
    Q_OBJECT
public:
    // The height of the panes' area between the result view's bands.
    static constexpr int kHeight = 620 - 92 - 56;

    CategoryPane(Category category, ResultCollection& collection, QWidget* parent = nullptr);
    ~CategoryPane() override;

    Category category() const { return category_; }
    CategoryView& view() { return *view_; }
    CategoryTableModel* model() const { return model_; }
    QTableView* table() const { return table_; }

    // Shows the whole list again (the filter off), with its first row selected.
    void showCategory();
    // The filter box; answers false where it does not apply (photos).
    bool setDeletedOnly(bool deletedOnly);
    // A header click; answers false when the column does not sort.
    bool sortByColumn(int column);
    // Ticks or unticks every selected row.
    void tickSelection(bool ticked);
    // Empties the shown list (the way back home).
    void clear();
    // Selects the first row, if any, and shows it in the detail area.
    void selectFirstRow();
    // Shows the selected row (the current one when selected, else the last selected) in the
    // detail area.
    void showSelectedDetail();

signals:
    // A click on a row's tick box: tick (or untick) the selection.
    void tickClicked(bool ticked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillDetail(std::size_t row);

    Category category_;
    std::unique_ptr<CategoryView> view_;
    CategoryTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QWidget* detailArea_ = nullptr;
    std::vector<QLabel*> lines_;
    PRTextView* longText_ = nullptr;
    QLabel* imageView_ = nullptr;
};

} // namespace quarrow::app
