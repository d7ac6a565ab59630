// Menu descriptions decoded within what they declare.
#include <gtest/gtest.h>

#include "menudesc.h"
#include "menuitems.h"

namespace {

using th::MenuItem;
using th::MenuPack;

MenuPack fileMenu() {
    MenuPack p;
    p.add({1, 100, 0, "~File", 2});
    p.add({2, 101, 2, "Open"});
    p.add({3, 102, 1, "Recent"});
    p.add({4, 200, 2, "Exit", 0, 1});
    p.add({5, 300, 2, "  -"});
    return p;
}

bool unpack(const MenuPack &p, int count, bool loading, size_t items, size_t text, std::vector<PxMenuItemRec> *out,
            size_t cut = 0) {
    WireReader r(p.bytes.data(), p.bytes.size() - cut);
    return px_unpackMenuItems(r, count, loading, PxMenuBudget{items, text}, out);
}

TEST(MenuDesc, InlineSubmenusUnpackWhenLoadingElseStayNotLoaded) {
    MenuPack p = fileMenu();
    std::vector<PxMenuItemRec> items;
    ASSERT_TRUE(unpack(p, 3, true, 5, p.textBytes, &items));
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ(PxSubItems::Loaded, items[0].sub);
    ASSERT_EQ(2u, items[0].subItems.size());
    EXPECT_EQ(PxSubItems::Dynamic, items[0].subItems[1].sub);
    EXPECT_EQ(0, items[0].subItems[1].subCount);
    EXPECT_EQ("Exit", items[1].text);
    EXPECT_TRUE(px_isMenuSeparator(items[2].text));
    EXPECT_EQ(&items[0].subItems[1], px_findMenuItem(items, 102));
    EXPECT_TRUE(px_menuHoldsItem(items, &items[0].subItems[0]));
    PxMenuItemRec stranger;
    EXPECT_FALSE(px_menuHoldsItem(items, &stranger));

    MenuPack flat;
    flat.add({1, 100, 0, "File", 2}).add({4, 200, 2, "Exit"});
    ASSERT_TRUE(unpack(flat, 2, false, 2, flat.textBytes, &items));
    EXPECT_EQ(PxSubItems::NotLoaded, items[0].sub);
    EXPECT_TRUE(items[0].subItems.empty());
}

TEST(MenuDesc, OverrunsOfTheDeclaredTotalsOrTheSourceRefuseEverything) {
    MenuPack p = fileMenu();
    struct Case {
        const char *what;
        int count;
        size_t items, text, cut;
    } cases[] = {
        {"fewer items declared than sent", 3, 4, size_t(p.textBytes), 0},
        {"fewer text bytes declared", 3, 5, size_t(p.textBytes) - 1, 0},
        {"source cut inside the last text", 3, 5, size_t(p.textBytes), 2},
        {"count beyond the source", 200, 500, 100000, 0},
        {"negative count", -1, 5, size_t(p.textBytes), 0},
    };
    for (const Case &c : cases) {
        std::vector<PxMenuItemRec> items(1);
        EXPECT_FALSE(unpack(p, c.count, true, c.items, c.text, &items, c.cut)) << c.what;
        EXPECT_TRUE(items.empty()) << c.what;
    }
    EXPECT_EQ(0u, px_menuPackedSize(-1, 10, 1000));
    EXPECT_EQ(0u, px_menuPackedSize(10, -1, 1000));
    EXPECT_EQ(0u, px_menuPackedSize(0x7fffffff, 0x7fffffff, size_t(1) << 24));
    EXPECT_EQ(13u * 3 + 20, px_menuPackedSize(3, 20, 1000));
}

TEST(MenuDesc, NestingDeeperThanTheLimitIsRefused) {
    for (int depth : {kPxMenuMaxDepth, kPxMenuMaxDepth + 1}) {
        MenuPack p;
        for (int i = 0; i <= depth; ++i) p.add({1, i + 1, 0, "x", static_cast<uint8_t>(i < depth ? 1 : 0)});
        std::vector<PxMenuItemRec> items;
        EXPECT_EQ(depth <= kPxMenuMaxDepth, unpack(p, 1, true, size_t(p.total), size_t(p.textBytes), &items))
            << depth;
    }
}

TEST(MenuDesc, HotkeyMarksAndSeparators) {
    struct Case {
        const char *text;
        uint8_t hotkey;
        const char *marked;
    } cases[] = {
        {"Open", 0, "~Open"},     {"Open", 2, "Op~en"},       {"Open", 255, "Open"},
        {"Open", 4, "Open"},      {"Open", 200, "Open"},      {"A b", 1, "A b"},
        {"S~ave", 0, "S~ave"},
    };
    for (const Case &c : cases) {
        PxMenuItemRec it;
        it.text = c.text;
        it.hotkey = c.hotkey;
        EXPECT_EQ(c.marked, px_markMenuHotkey(it)) << c.text << " " << int(c.hotkey);
    }
    for (const char *sep : {"", "   ", "  -", "-", "\xC4\xC4"}) EXPECT_TRUE(px_isMenuSeparator(sep)) << sep;
    for (const char *item : {"a-", "x"}) EXPECT_FALSE(px_isMenuSeparator(item)) << item;
}

}  // namespace
