#include "store/record_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace {

TEST(RecordImageTest, TextsAreCutToTheirFieldWithTheTerminatorInside) {
    RecordImage r;
    const std::u16string fits(19, u'가');
    EXPECT_TRUE(setText(r.name, fits));
    EXPECT_EQ(text(r.name), fits);

    EXPECT_FALSE(setText(r.name, std::u16string(25, u'나')));
    EXPECT_EQ(text(r.name), std::u16string(19, u'나'));
    EXPECT_EQ(r.name[19], 0);
    EXPECT_EQ(r.company[0], 0) << "the neighbouring field was written";

    // A shorter text clears what a longer one left behind.
    setText(r.name, u"AB");
    for (size_t i = 2; i < std::size(r.name); ++i) EXPECT_EQ(r.name[i], 0) << i;

    // A surrogate pair that would straddle the cut is left out whole.
    const std::u16string emoji = std::u16string(18, u'x') + u"\U0001F600";
    setText(r.name, emoji);
    EXPECT_EQ(text(r.name), std::u16string(18, u'x'));
}

TEST(RecordImageTest, AnUnterminatedFieldIsNeverReadPastItsEnd) {
    RecordImage r;
    std::fill(std::begin(r.name), std::end(r.name), u'A');
    std::fill(std::begin(r.company), std::end(r.company), u'B');
    EXPECT_EQ(text(r.name), std::u16string(19, u'A'));
    const std::optional<cedb::PropVal> stored = propertyOf(r, PropName);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->text, std::u16string(19, u'A'));
}

}  // namespace
