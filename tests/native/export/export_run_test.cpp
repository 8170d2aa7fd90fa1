// The export run: progress positions, the failure tally and the texts of the
// completion question.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "export_run.h"

namespace {

struct Recorder : exporting::Steps {
    std::vector<std::pair<int, int>> positions;
    std::vector<std::wstring> exported;
    std::set<std::wstring> failing;
    int ranges = -1, pauses = 0;
    std::atomic<bool>* stopAfterFirst = nullptr;

    void SetRanges(int files) override { ranges = files; }
    void SetPositions(int overall, int activity) override { positions.emplace_back(overall, activity); }
    bool ExportOne(const std::wstring& name) override {
        exported.push_back(name);
        if (stopAfterFirst) *stopAfterFirst = true;
        return failing.count(name) == 0;
    }
    void Pause() override { ++pauses; }
};

}  // namespace

TEST(ExportRun, ThreeFilesShowActivityOneTwoZeroThenThree) {
    Recorder r;
    const auto out = exporting::Run({L"a.avi", L"b.avi", L"c.jpg"}, r);
    EXPECT_EQ(r.ranges, 3);
    const std::vector<std::pair<int, int>> want{{0, 1}, {1, 2}, {2, 0}, {3, 3}};
    EXPECT_EQ(r.positions, want);
    EXPECT_EQ(r.exported, (std::vector<std::wstring>{L"a.avi", L"b.avi", L"c.jpg"}));
    EXPECT_EQ(r.pauses, 3);
    EXPECT_EQ(out.total, 3);
    EXPECT_EQ(out.failed, 0);
    EXPECT_TRUE(out.firstFailed.empty());
}

TEST(ExportRun, NoFilesTouchesNoBar) {
    Recorder r;
    const auto out = exporting::Run({}, r);
    EXPECT_EQ(r.ranges, -1);
    EXPECT_TRUE(r.positions.empty());
    EXPECT_EQ(out.total, 0);
}

TEST(ExportRun, FailuresAreCountedAndTheFirstIsNamed) {
    Recorder r;
    r.failing = {L"b.avi", L"d.avi"};
    const auto out = exporting::Run({L"a.avi", L"b.avi", L"c.avi", L"d.avi"}, r);
    EXPECT_EQ(out.total, 4);
    EXPECT_EQ(out.failed, 2);
    EXPECT_EQ(out.firstFailed, L"b.avi");
    // A failed file does not stop the others.
    EXPECT_EQ(r.exported.size(), 4u);
    EXPECT_EQ(r.positions.back(), std::make_pair(4, 3));
}

TEST(ExportRun, StopRequestEndsBeforeTheNextFile) {
    Recorder r;
    std::atomic<bool> stop{false};
    r.stopAfterFirst = &stop;
    exporting::Run({L"a.avi", L"b.avi", L"c.avi"}, r, &stop);
    EXPECT_EQ(r.exported, std::vector<std::wstring>{L"a.avi"});
}

TEST(ExportRun, PhotoIsANameHoldingLowerCaseJpg) {
    EXPECT_TRUE(exporting::IsPhotoName(L"R_240612_071314_J0.jpg"));
    EXPECT_TRUE(exporting::IsPhotoName(L"jpgfile.avi"));  // anywhere in the name
    EXPECT_FALSE(exporting::IsPhotoName(L"R_240612_071314_J0.JPG"));
    EXPECT_FALSE(exporting::IsPhotoName(L"R_240612_070525_I1.avi"));
}

TEST(ExportRun, ShortFolderKeepsFirstEighteenAndLastEight) {
    EXPECT_EQ(exporting::ShortFolder(L"C:\\Users\\user\\Desktop\\Backup\\"), L"C:\\Users\\user\\Desk..\\Backup\\");
    EXPECT_EQ(exporting::ShortFolder(L"C:\\Export\\"), L"C:\\Export\\..\\Export\\");
    EXPECT_EQ(exporting::ShortFolder(L"D:\\"), L"D:\\..D:\\");
    EXPECT_EQ(exporting::ShortFolder(L""), L"..");
}

TEST(ExportRun, CompletionTextWithoutAndWithFailures) {
    exporting::Outcome ok{3, 0, L""};
    EXPECT_EQ(exporting::CompletionText(L"C:\\Users\\user\\Desktop\\Backup\\", ok),
              L"Convert and save completed where folder is\nC:\\Users\\user\\Desk..\\Backup\\\n"
              L"Do you want to open the folder?");
    exporting::Outcome bad{5, 2, L"R_240612_070525_I1.avi"};
    EXPECT_EQ(exporting::CompletionText(L"F:\\", bad),
              L"Convert and save failed for 2 of 5 files.\nFirst failed: R_240612_070525_I1.avi\n"
              L"Folder is F:\\..F:\\\nDo you want to open the folder?");
}

TEST(ExportRun, PhotoLengthMustBeWithinTheBuffer) {
    const unsigned long long cap = 2097152;
    EXPECT_FALSE(exporting::PhotoLengthUsable(0, cap));
    EXPECT_TRUE(exporting::PhotoLengthUsable(1, cap));
    EXPECT_TRUE(exporting::PhotoLengthUsable(cap, cap));
    EXPECT_FALSE(exporting::PhotoLengthUsable(cap + 1, cap));
    EXPECT_FALSE(exporting::PhotoLengthUsable(0xFFFFFFFFull, cap));
}
