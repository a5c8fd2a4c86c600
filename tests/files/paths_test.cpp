// Path helpers.
#include "files/paths.h"

#include <gtest/gtest.h>

namespace hrv {
namespace {

TEST(Paths, DirectoryAndBaseNameWithEitherSeparator) {
    struct Case {
        const char* path;
        const char* dir;
        const char* base;
    };
    for (const Case c :
         {Case{"C:\\Data\\a.rr", "C:\\Data", "a"}, Case{"C:\\Data\\a b.rr", "C:\\Data", "a b"},
          Case{"/home/u/data/rec.2.ppg", "/home/u/data", "rec.2"},
          Case{"/home/u.v/data/rec", "/home/u.v/data", "rec"}, Case{"rec.rr", "", "rec"},
          Case{"/x.rr", "", "x"}, Case{"C:\\Data/mixed\\f.rr", "C:\\Data/mixed", "f"}}) {
        EXPECT_EQ(DirectoryOfPath(c.path), c.dir) << c.path;
        EXPECT_EQ(BaseNameOfPath(c.path), c.base) << c.path;
    }
}

TEST(Paths, SpacesAreReplacedInTheFileNameOnly) {
    EXPECT_EQ(ReplaceSpacesInFileName("C:\\My Data\\my file.rr"), "C:\\My Data\\my_file.rr");
    EXPECT_EQ(ReplaceSpacesInFileName("/my data/a  b.rr"), "/my data/a__b.rr");
    EXPECT_EQ(ReplaceSpacesInFileName("plain.rr"), "plain.rr");
}

TEST(Paths, TheRrFileBesideAPpgFile) {
    EXPECT_EQ(RrPathForPpg("/d/rec.ppg"), "/d/rec.rr");
    EXPECT_EQ(RrPathForPpg("/d.v1/rec.ppg"), "/d.v1/rec.rr");
    EXPECT_EQ(RrPathForPpg("/d.v1/rec"), "/d.v1/rec.rr");
    EXPECT_EQ(RrPathForPpg("C:\\d.v1\\rec.x.PPG"), "C:\\d.v1\\rec.x.rr");
}

} // namespace
} // namespace hrv
