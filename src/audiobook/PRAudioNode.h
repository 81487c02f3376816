#pragma once

#include "PRBookNode.h"
#include "platform/NotificationCenter.h"
#include "records/Property.h"

#include <memory>
#include <string>

namespace quarrow {

// One finished audio file of the converter. Made only for a complete file (closed cleanly, with
// samples), after it has its final name; never changed afterwards except by its owner's list.
class PRAudioNode : public PRObject {
public:
    const char* className() const override { return "PRAudioNode"; }

    // The AIFF file's full path.
    OptText audioPath() const { return audioPath_.get(); }
    void setAudioPath(OptText value) { audioPath_.set(std::move(value)); }
    // The book's cover, shown small beside the file.
    BookCoverPtr audioImage() const { return audioImage_.get(); }
    void setAudioImage(BookCoverPtr value) { audioImage_.set(std::move(value)); }
    // The name shown: always the last component of audioPath.
    OptText aduioName() const { return aduioName_.get(); }
    void setAduioName(OptText value) { aduioName_.set(std::move(value)); }

    // Where it came from, for joining a book's files into one audiobook: the book (not the
    // chapter) it was spoken from, the file's place among the book's files (1-based) and the
    // title of its part (a chapter's title, "Page 3"), and how long it plays.
    PRBookNodePtr book() const { return book_.get(); }
    void setBook(PRBookNodePtr value) { book_.set(std::move(value)); }
    int partNumber() const { return partNumber_.get(); }
    void setPartNumber(int value) { partNumber_.set(value); }
    OptText partTitle() const { return partTitle_.get(); }
    void setPartTitle(OptText value) { partTitle_.set(std::move(value)); }
    double seconds() const { return seconds_.get(); }
    void setSeconds(double value) { seconds_.set(value); }

private:
    Property<OptText> audioPath_{std::nullopt};
    Property<BookCoverPtr> audioImage_{nullptr};
    Property<OptText> aduioName_{std::nullopt};
    Property<PRBookNodePtr> book_{nullptr};
    Property<int> partNumber_{0};
    Property<OptText> partTitle_{std::nullopt};
    Property<double> seconds_{0.0};
};
using PRAudioNodePtr = std::shared_ptr<PRAudioNode>;

} // namespace quarrow
