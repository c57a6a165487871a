// What Wine cannot show of the walk: a listing whose first entry is a file,
// and every search closed, once, whichever way its enumeration ends.
#include <gtest/gtest.h>

#include "repair/FixFolder.h"
#include "repair/WalkFolder.h"
#include "tests/FakePlatform.h"

namespace {

constexpr DWORD Folder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD File = FILE_ATTRIBUTE_ARCHIVE;

class WalkFolderTest : public testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    // A folder that exists and lists the given entries after "." and "..".
    void AddFolder(const std::string& path, std::vector<fake::Entry> entries)
    {
        fake::world.attributes[path] = Folder;
        entries.insert(entries.begin(), {{".", Folder}, {"..", Folder}});
        fake::world.listings[path] = entries;
    }
};

TEST_F(WalkFolderTest, ListingThatStartsWithAFileIsNotWalkedButClosed)
{
    fake::world.attributes["D:\\Sub"] = Folder;
    fake::world.listings["D:"] = {{"boot.ini", File}, {"Sub", Folder}};

    WalkFolder("D:");

    EXPECT_EQ(fake::world.output, "");
    EXPECT_EQ(fake::CountCalls("SetFileAttributesA"), 0);
    EXPECT_EQ(fake::CountCalls("FindClose"), 1);
    EXPECT_TRUE(fake::world.openSearches.empty());
}

TEST_F(WalkFolderTest, FailedSearchWalksNothingAndClosesNothing)
{
    WalkFolder("C:\\Missing");
    WalkFolder(nullptr);

    EXPECT_EQ(fake::world.output, "");
    EXPECT_EQ(fake::CountCalls("FindClose"), 0);
    EXPECT_EQ(fake::world.badCloses, 0);
}

TEST_F(WalkFolderTest, EverySearchOfADeepTreeIsClosedOnce)
{
    AddFolder("T", {{"A", Folder}, {"file.lnk", File}, {"D", Folder}});
    AddFolder("T\\A", {{"B", Folder}});
    AddFolder("T\\A\\B", {{"C", Folder}, {".hidden", Folder}});
    AddFolder("T\\A\\B\\C", {});
    AddFolder("T\\D", {{"desktop.ini", File}});
    fake::world.listings["T\\A\\B\\C"].clear();  // a folder whose search fails
    FixCallCount = 1;

    WalkFolder("T");

    EXPECT_EQ(fake::CountCalls("SetFileAttributesA"), 4);
    EXPECT_EQ(fake::CountCalls("FindClose"), 4);
    EXPECT_TRUE(fake::world.openSearches.empty());
    EXPECT_EQ(fake::world.badCloses, 0);
}

}  // namespace
