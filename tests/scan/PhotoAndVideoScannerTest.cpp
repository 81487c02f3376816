#include "scan/PhotoAndVideoScanner.h"

#include "CategoryScanFixture.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// What the scanner posted, in order: "progress N" or the file's name.
class PhotoScan : public CategoryScan {
protected:
    PhotoScan() {
        nc.addObserver(ScanNotification::kProgress,
                       [this](const Notification& n) { events.push_back("progress " + std::to_string(*n.number())); });
        nc.addObserver(ScanNotification::kPhotoAndVideo, [this](const Notification& n) {
            events.push_back(n.text()->substr(n.text()->find_last_of('/') + 1));
        });
    }

    void writeFile(const std::string& name, std::size_t size) {
        ASSERT_TRUE(fixtures::writeFile(folder + "/" + name, fixtures::jpegLikeBytes(size)));
    }

    std::vector<std::string> events;
};

std::string entryName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "e%03d", i);
    return name;
}

} // namespace

// 300 entries: the progress rises by one every tenth entry, just before that entry is looked at,
// and only regular files of 50,000 bytes or more are taken: never a smaller one, a link, a FIFO
// (which is not even opened) or a folder.
TEST_F(PhotoScan, TakesLargeRegularFilesAndCountsThirtieths) {
    for (int i = 0; i < 300; ++i) {
        const std::string name = entryName(i);
        switch (i) {
        case 15:
            writeFile(name, 50000);
            break;
        case 16:
            writeFile(name, 49999);
            break;
        case 20:
            writeFile(name, 200000);
            break;
        case 21:
            ASSERT_EQ(::symlink((folder + "/e020").c_str(), (folder + "/" + name).c_str()), 0);
            break;
        case 22:
            ASSERT_EQ(::mkfifo((folder + "/" + name).c_str(), 0600), 0);
            break;
        case 23:
            dir.makeDir("backup/" + name);
            writeFile(name + "/inside", 60000);
            break;
        default:
            writeFile(name, 10);
        }
    }
    scan(scanPhotoAndVideoThread);

    std::vector<std::string> expected;
    for (int k = 1; k <= 29; ++k) {
        expected.push_back("progress " + std::to_string(k));
        if (k == 1) {
            expected.push_back("e015");
        }
        if (k == 2) {
            expected.push_back("e020");
        }
    }
    EXPECT_EQ(events, expected);

    const auto& photos = collection.photoAndVideoArray();
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(photos[0]->fileNodeName(), "e015");
    EXPECT_EQ(photos[0]->fileNodeSize(), "50.00K");
    EXPECT_EQ(photos[0]->filePath(), folder + "/e015");
    EXPECT_EQ(photos[1]->fileNodeSize(), "200.00K");
    EXPECT_EQ(collection.counters().photovideoNum, 2);
    EXPECT_TRUE(logged("2 of 300 files"));
}

struct FewEntries {
    int entries;
    std::vector<long long> progress;
};

class PhotoScanFew : public PhotoScan, public ::testing::WithParamInterface<FewEntries> {};

// Fewer than thirty entries: one step for each distinct index floor(n * k / 30).
TEST_P(PhotoScanFew, PostsOneStepPerDistinctIndex) {
    for (int i = 0; i < GetParam().entries; ++i) {
        writeFile(entryName(i), 1);
    }
    scan(scanPhotoAndVideoThread);
    EXPECT_EQ(progress, GetParam().progress);
}

INSTANTIATE_TEST_SUITE_P(Counts, PhotoScanFew,
                         ::testing::Values(FewEntries{0, {}}, FewEntries{1, {1}},
                                           FewEntries{10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
                                           FewEntries{29, {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                                           16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}}),
                         [](const auto& info) { return "n" + std::to_string(info.param.entries); });

TEST_F(PhotoScan, AFolderThatCannotBeListedPostsNothing) {
    folder += "/not-there";
    scan(scanPhotoAndVideoThread);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(logged("cannot be listed"));
}
