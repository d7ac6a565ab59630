// NmCString: shared buffers, capacity steps and in-place edits; the
// message records and the Nmxmsg family.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

#include "nmstring.h"
#include "nmxmsg.h"

namespace {

std::string str(const NmCString &s) { return std::string(s.data(), s.length()); }

TEST(NmCString, CapacityGrowsInFixedSteps) {
    const size_t steps[][2] = {{0, 15}, {15, 15}, {16, 31}, {31, 31}, {32, 47}};
    for (const auto &s : steps) EXPECT_EQ(s[1], NmCString_capacityFor(s[0])) << s[0];
    NmCString exact("abcdefghijklmnopqrst");
    EXPECT_EQ(20u, exact.capacity());
    NmCString grown("abc");
    grown.replace(3, 0, "defghijklmnopqrst", 17);
    EXPECT_EQ("abcdefghijklmnopqrst", str(grown));
    EXPECT_EQ(31u, grown.capacity());
    NmCString empty, alsoEmpty("");
    EXPECT_EQ(0u, empty.capacity());
    EXPECT_EQ(empty.data(), alsoEmpty.data());  // the one shared empty text
    EXPECT_EQ('\0', empty.c_str()[0]);
}

TEST(NmCString, CopiesShareUntilOneIsEdited) {
    NmCString a("hello");
    NmCString b = a;
    EXPECT_EQ(a.data(), b.data());
    EXPECT_EQ(2, a.references());
    b.append(1, '!');
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ("hello", str(a));
    EXPECT_EQ("hello!", str(b));
    EXPECT_EQ(1, a.references());
    a = a;
    EXPECT_EQ("hello", str(a));
    NmCString c;
    c = b;
    c = "";  // shared: takes the empty text, b keeps its buffer
    EXPECT_EQ(0u, c.length());
    EXPECT_EQ("hello!", str(b));
    b = "";  // unshared: keeps its buffer, cut to nothing
    EXPECT_EQ(0u, b.length());
    EXPECT_EQ(6u, b.capacity());
}

TEST(NmCString, ReplaceMovesInPlaceOrReallocatesWhenTooMuchIsWasted) {
    std::string sixty(60, 'x');
    for (int i = 0; i < 60; ++i) sixty[i] = static_cast<char>('A' + i % 26);
    NmCString t(sixty.c_str());
    NmCString shrink(CSubString{&t, 0, 60});
    EXPECT_EQ(63u, shrink.capacity());
    shrink.replace(10, 40, "--", 2);
    EXPECT_EQ(22u, shrink.length());
    EXPECT_EQ(31u, shrink.capacity());
    EXPECT_EQ(sixty.substr(0, 10) + "--" + sixty.substr(50), str(shrink));

    NmCString small(CSubString{&t, 0, 60});
    const char *before = small.data();
    small.replace(10, 5, "--", 2);
    EXPECT_EQ(before, small.data());
    EXPECT_EQ(57u, small.length());
    EXPECT_EQ(sixty.substr(0, 10) + "--" + sixty.substr(15), str(small));

    // Data from inside the string itself.
    NmCString self("abcdef");
    self.replace(0, 2, self.data() + 2, 4);
    EXPECT_EQ("cdefcdef", str(self));
    // A position beyond the end clamps to the end; a count beyond it is cut.
    NmCString clamp("abc");
    clamp.replace(99, 5, "XY", 2);
    EXPECT_EQ("abcXY", str(clamp));
    clamp.replace(1, 99, nullptr, 7);
    EXPECT_EQ("a", str(clamp));
}

TEST(NmCString, PrependAppendConcatenateAndEmbeddedNuls) {
    NmCString s("world");
    s.prepend("hello ");
    s.prepend(3, '>');
    s.append(NmCString("!"));
    EXPECT_EQ(">>>hello world!", str(s));
    NmCString n("ab");
    n.append(2, '\0').append(NmCString("cd"));
    EXPECT_EQ(6u, n.length());
    EXPECT_EQ(std::string("ab\0\0cd", 6), str(n));
    EXPECT_EQ(-1, n.index('c'));  // the search stops at the first NUL
    EXPECT_EQ(4, n.index("cd", 2, 0, false));
    NmCString joined = "x=" + NmCString("1") + NmCString("+2");
    EXPECT_EQ("x=1+2", str(joined));
    EXPECT_EQ(31u, (NmCString(std::string(10, 'a').c_str()) + NmCString(std::string(10, 'b').c_str())).capacity());
    NmCString sub(s.substring(3, 5));
    EXPECT_EQ("hello", str(sub));
    EXPECT_EQ(0u, NmCString(s.substring(99, 1)).length());
}

TEST(NmCString, IndexFindsPatternsWithOrWithoutCase) {
    NmCString s("Find the NEEDLE in the needle stack");
    EXPECT_EQ(9, s.index("needle", 6, 0, true));
    EXPECT_EQ(23, s.index("needle", 6, 0, false));
    EXPECT_EQ(23, s.index("needle", 6, 10, true));
    EXPECT_EQ(-1, s.index("pin", 3, 0, true));
    EXPECT_EQ(7, s.index("", 0, 7, false));
    EXPECT_EQ(-1, s.index("k", 1, 35, false));
    EXPECT_EQ(-1, s.index("stack", 5, 31, false));
    EXPECT_EQ(30, s.index("stack", 5, 30, false));
    EXPECT_EQ(0, s.index('F'));
    EXPECT_EQ(-1, s.index('z'));
}

TEST(NmCString, StreamOutputPadsToTheWidth) {
    std::ostringstream right, left, plain;
    right << std::setfill('.') << std::setw(5) << NmCString("ab") << '|';
    EXPECT_EQ("...ab|", right.str());
    left << std::setfill('.') << std::setw(5) << std::left << NmCString("ab") << '|';
    EXPECT_EQ("ab...|", left.str());
    plain.width(1);
    plain << NmCString("abc") << NmCString("d");
    EXPECT_EQ("abcd", plain.str());
}

TEST(Nmxmsg, MessagesFormatTheRecordAndCopiesOwnTheirText) {
    auto text = formatMessage(FROMPORTOVER, "NmDecimal", "extra", "more");
    EXPECT_STREQ("[FROMPORTOVER] NmDecimal: overflow converting from portable decimal", text.get());
    auto *source = new NmExternalErr(NmCString("owned text"));
    NmExternalErr copy(*source);
    EXPECT_NE(source->text(), copy.text());
    delete source;
    EXPECT_STREQ("owned text", copy.text());
    NmExternalErr assigned("other");
    assigned = copy;
    EXPECT_STREQ("owned text", assigned.text());
}

}  // namespace
