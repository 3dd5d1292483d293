#include "store/participant_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Tokens = std::vector<std::u16string>;

TEST(ParticipantListsTest, BuildAndSplitBothWays) {
    const std::vector<Participant> three{{11, u"홍길동"}, {31, u"김철수"}, {41, u"이영희"}};
    const auto lists = buildParticipantLists(three);
    ASSERT_TRUE(lists);
    EXPECT_EQ(lists->ids, u"11;31;41;#;");
    EXPECT_EQ(lists->names, u"홍길동;김철수;이영희;");
    EXPECT_EQ(splitIdList(lists->ids), (Tokens{u"11", u"31", u"41"}));
    EXPECT_EQ(splitNameList(lists->names), (Tokens{u"홍길동", u"김철수", u"이영희"}));

    const auto none = buildParticipantLists({});
    ASSERT_TRUE(none);
    EXPECT_EQ(none->ids, u"#;");
    EXPECT_EQ(none->names, u"");
    EXPECT_TRUE(splitIdList(none->ids).empty());
    EXPECT_TRUE(splitNameList(none->names).empty());
}

TEST(ParticipantListsTest, SplittingStopsAtTheEndMarkAndKeepsPositions) {
    EXPECT_EQ(splitIdList(u"11;#;31;"), Tokens{u"11"});
    // An empty name keeps its place, so names stay aligned with identifiers.
    EXPECT_EQ(splitNameList(u"a;;c;"), (Tokens{u"a", u"", u"c"}));
    EXPECT_EQ(splitIdList(u"11;21"), (Tokens{u"11", u"21"}));
    EXPECT_TRUE(splitIdList(u"").empty());
}

TEST(ParticipantListsTest, ListsThatWouldNotReadBackAreRefused) {
    // A separator or an end mark in a name would shift every later name.
    EXPECT_FALSE(buildParticipantLists(std::vector<Participant>{{11, u"a;b"}}));
    EXPECT_FALSE(buildParticipantLists(std::vector<Participant>{{11, u"#"}}));
    // A zero would end the stored text there and drop the names after it.
    EXPECT_FALSE(buildParticipantLists(
        std::vector<Participant>{{11, std::u16string(u"a\0b", 3)}, {21, u"c"}}));

    // Names fill their 200-unit field first: ten names of 19 units need exactly 200.
    std::vector<Participant> many;
    for (int i = 0; i < 9; ++i) many.push_back({11 + 10 * i, std::u16string(19, u'가')});
    ASSERT_TRUE(buildParticipantLists(many));
    EXPECT_EQ(buildParticipantLists(many)->names.size(), 180u);
    many.push_back({101, std::u16string(18, u'가')});
    ASSERT_TRUE(buildParticipantLists(many)) << "199 units fit";
    many.back().name += u'가';
    EXPECT_FALSE(buildParticipantLists(many)) << "200 units leave no room for the terminator";
}

TEST(ParticipantListsTest, OneReadingOfAStoredIdentifier) {
    // Blanks around the digits are read through; anything else names nobody.
    EXPECT_EQ(participantId(u"11"), 11);
    EXPECT_EQ(participantId(u" 11\t"), 11);
    for (std::u16string_view bad :
         {u"", u"  ", u"-11", u"+11", u"11a", u"1 1", u"x", u"2147483648", u"00000000011"})
        EXPECT_FALSE(participantId(bad)) << std::string(bad.begin(), bad.end());
    EXPECT_EQ(participantId(u"2147483647"), 2147483647);

    // An appointment's list and an anniversary's single identifier read the same way.
    for (std::u16string_view ids : {u"11", u"11;", u" 11;#;", u"31; 11 ;#;", u"11;#;"})
        EXPECT_TRUE(takesPart(ids, 11)) << std::string(ids.begin(), ids.end());
    EXPECT_FALSE(takesPart(u"111;#;", 11));
    EXPECT_FALSE(takesPart(u"31;#;11;", 11));
    EXPECT_FALSE(takesPart(u"x;#;", 0));
    EXPECT_EQ(firstParticipant(u" 11"), 11);
    EXPECT_EQ(firstParticipant(u"11;31;"), 11);
    EXPECT_FALSE(firstParticipant(u"#;"));
    EXPECT_FALSE(firstParticipant(u"x11"));
}

}  // namespace
