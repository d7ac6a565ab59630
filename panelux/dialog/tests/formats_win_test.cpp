// Field formats against the QVFORMAT.DLL stand-in, chosen per test by the
// folder the library is loaded from.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "child.h"
#include "descbuilder.h"
#include "fieldtext.h"
#include "formats.h"
#include "guardbuf.h"
#include "paneldesc.h"
#include "standin.h"

namespace {

std::string folder(const char *variant) { return th::exeDir() + "qvformat\\" + variant; }

bool loaded() { return GetModuleHandleA("qvformat.dll") != nullptr; }

// Holds the stand-in loaded for the test's own calls into it.
struct Standin {
    HMODULE module;
    QVTestSetVersionFn setVersion;
    QVTestLiveObjectsFn live;
    QVTestCallLogFn log;
    QVTestClearLogFn clearLog;

    Standin() {
        SetDllDirectoryA(folder("full").c_str());
        module = LoadLibraryA("qvformat.dll");
        setVersion = reinterpret_cast<QVTestSetVersionFn>(GetProcAddress(module, "QVTestSetVersion"));
        live = reinterpret_cast<QVTestLiveObjectsFn>(GetProcAddress(module, "QVTestLiveObjects"));
        log = reinterpret_cast<QVTestCallLogFn>(GetProcAddress(module, "QVTestCallLog"));
        clearLog = reinterpret_cast<QVTestClearLogFn>(GetProcAddress(module, "QVTestClearLog"));
        setVersion(5);
        clearLog();
    }
    ~Standin() {
        setVersion(5);
        FreeLibrary(module);
    }
    bool called(const char *entry) const { return std::strstr(log(), (std::string(entry) + ";").c_str()) != nullptr; }
};

PxField moneyField(const char *format) {
    PxField f{};
    f.kind = 1;
    f.type = PXV_MONEY;
    f.width = 10;
    f.length = 2;
    f.format = const_cast<char *>(format);
    return f;
}

TEST(Formats, LibraryLoadsByNameWhileFormattersLive) {
    SetDllDirectoryA(folder("full").c_str());
    ASSERT_FALSE(loaded());
    PxFormatter *a = px_fmtCreate(kQvFmtKindTemplate);
    PxFormatter *b = px_fmtCreate(kQvFmtKindTemplate);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(px_fmtUseCount(), 2);
    EXPECT_EQ(px_fmtCreate(2), nullptr);
    px_fmtRelease(a);
    EXPECT_TRUE(loaded());
    px_fmtRelease(b);
    EXPECT_EQ(px_fmtUseCount(), 0);
    EXPECT_FALSE(loaded());
    PxFormatter *again = px_fmtCreate(kQvFmtKindTemplate);
    EXPECT_NE(again, nullptr);
    px_fmtRelease(again);
    EXPECT_FALSE(loaded());
}

TEST(Formats, MissingLibraryOrExportLeavesPlainFields) {
    for (const char *variant : {"none", "nodelete"}) {
        SetDllDirectoryA(folder(variant).c_str());
        PxField f = moneyField("Name:FMT_NUMBER[10.2]");
        EXPECT_EQ(px_fmtCreateForField(f.format, &f), nullptr) << variant;
        EXPECT_EQ(px_fmtUseCount(), 0) << variant;
        EXPECT_FALSE(loaded()) << variant;
    }
    SetDllDirectoryA(nullptr);
}

TEST(Formats, EntriesAreGatedByInterfaceVersion) {
    Standin lib;
    int warnings = 0;
    static int *counter;
    counter = &warnings;
    PxFmtWarnFn warn = [](const char *, const char *caption) {
        ++*counter;
        EXPECT_NE(std::strstr(caption, "qvformat.dll"), nullptr) << caption;
    };
    for (uint32_t version = 1; version <= 6; ++version) {
        lib.setVersion(version);
        lib.clearLog();
        PxField f = moneyField("Type:C,Name:FMT_NUMBER[*.*],Align:c");
        int64_t units = 12345;
        f.value = reinterpret_cast<char *>(&units);
        f.capacity = 8;
        PxFormatter *fmt = px_fmtCreateForField(f.format, &f);
        ASSERT_NE(fmt, nullptr);
        EXPECT_EQ(lib.called("bindType"), version > 1) << version;
        EXPECT_EQ(px_fmtGetAlign(fmt), 2);
        px_fmtStartEdit(fmt, true);
        EXPECT_EQ(lib.called("selectAll"), version > 2) << version;
        EXPECT_EQ(lib.called("moveCaret"), version <= 2) << version;
        EXPECT_TRUE(px_fmtSetValue(fmt, &f));
        EXPECT_EQ(lib.called("setModified"), version > 4) << version;
        EXPECT_EQ(px_fmtCanEdit(fmt, warn), version > 4) << version;
        px_fmtRelease(fmt);
    }
    EXPECT_EQ(warnings, 1);  // the first old library only
    EXPECT_EQ(lib.live(), 0);
}

TEST(Formats, PanelFormatsFollowKindTypeAndUpdates) {
    Standin lib;
    Desc d;
    DescField number, editorKind, wrongType;
    number.type = editorKind.type = wrongType.type = PXV_MONEY;
    number.length = editorKind.length = wrongType.length = 2;
    number.value = editorKind.value = wrongType.value = binValue<int64_t>(0);
    number.format = "Type:C,Name:FMT_NUMBER[*.*]";
    editorKind.kind = 4;
    editorKind.format = number.format;
    wrongType.format = "Name:FMT_DATE";
    d.fields = {number, editorKind, wrongType};
    std::vector<unsigned char> bytes = d.encode().b;
    WireReader r(bytes.data(), bytes.size());
    PxPanelPtr p(px_buildPanel(r, 0, nullptr));
    ASSERT_TRUE(p);
    ASSERT_TRUE(px_createPanelFormats(p.get()));
    EXPECT_NE(px_fieldFormatter(&p->fields[0]), nullptr);
    EXPECT_STREQ(p->fields[0].formatSlot->formatText, number.format.c_str());
    EXPECT_EQ(px_fieldFormatter(&p->fields[1]), nullptr);
    EXPECT_EQ(px_fieldFormatter(&p->fields[2]), nullptr);
    EXPECT_EQ(lib.live(), 1);

    // The same format text keeps the formatter; another one remakes it.
    PxFormatter *before = px_fieldFormatter(&p->fields[0]);
    Bytes same;
    same.u8(kPxUpdFormat).text(number.format);
    WireReader r1(same.b.data(), same.b.size());
    ASSERT_TRUE(px_applyFieldUpdate(p.get(), &p->fields[0], r1));
    EXPECT_EQ(px_fieldFormatter(&p->fields[0]), before);
    Bytes other;
    other.u8(kPxUpdFormat).text("Name:FMT_DEFAULT");
    WireReader r2(other.b.data(), other.b.size());
    lib.clearLog();
    ASSERT_TRUE(px_applyFieldUpdate(p.get(), &p->fields[0], r2));
    EXPECT_TRUE(lib.called("QVDeleteFormatC"));
    EXPECT_TRUE(lib.called("QVCreateFormatC"));
    EXPECT_EQ(lib.live(), 1);

    p.reset();
    EXPECT_EQ(lib.live(), 0);
    EXPECT_EQ(px_fmtUseCount(), 0);
}

PxField formattedField(uint8_t type, int32_t length, const char *format) {
    PxField f{};
    f.kind = 1;
    f.type = type;
    f.width = 12;
    f.length = length;
    f.format = const_cast<char *>(format);
    EXPECT_TRUE(px_fieldResize(&f, static_cast<size_t>(px_valueSize(type, length))));
    f.formatSlot = new PxFormatSlot{};
    f.formatSlot->formatter = px_fmtCreateForField(format, &f);
    EXPECT_NE(f.formatSlot->formatter, nullptr);
    return f;
}

void dropField(PxField &f) {
    px_fmtRelease(f.formatSlot->formatter);
    delete f.formatSlot;
    std::free(f.value);
}

TEST(Formats, ValuesToTextAndBackThroughTheFormatter) {
    Standin lib;
    struct Case {
        uint8_t type;
        int32_t length;
        const char *format;
        const char *typedText;
        const char *shown;
    } cases[] = {
        {PXV_INT16, 0, "Name:FMT_NUMBER[6.0]", "-123", "-123"},
        {PXV_INT32, 0, "Name:FMT_DEFAULT", "70000", "70000"},
        {PXV_BYTE, 0, "Name:FMT_NUMBER[3.0]", "255", "255"},
        {PXV_MONEY, 2, "Name:FMT_NUMBER[*.*]", "1234.5", "1234.50"},
        {PXV_DOUBLE, 2, "Name:FMT_NUMBER[10.2]", "3.25", "3.25"},
        {PXV_STRING, 10, "Name:FMT_USERDEFINED", "abc", "abc"},
        {PXV_CHAR, 0, "Name:FMT_DEFAULT", "q", "q"},
        // Normalizing lengthens the text past what setText gave it.
        {PXV_STRING, 10, "Name:FMT_NUMBER[10.2]", "5", "5.00"},
    };
    for (const Case &c : cases) {
        PxField f = formattedField(c.type, c.length, c.format);
        ASSERT_TRUE(px_storeFieldText(c.typedText, &f)) << c.format;
        int size = 0;
        PxTextPtr shown(px_fieldText(&f, &size, true));
        ASSERT_TRUE(shown);
        EXPECT_STREQ(shown.get(), c.shown) << c.format;
        EXPECT_EQ(size, static_cast<int>(std::strlen(c.shown)) + 1) << c.format;
        dropField(f);
    }
    EXPECT_EQ(lib.live(), 0);
}

TEST(Formats, PasswordThroughTheFormatterShowsStars) {
    Standin lib;
    PxField f = formattedField(PXV_STRING, 10, "Name:FMT_USERDEFINED");
    f.options = kPxPassword;
    ASSERT_TRUE(px_fieldStoreText(&f, "hidden", 6));
    int size = 0;
    PxTextPtr shown(px_fieldText(&f, &size, false));
    EXPECT_STREQ(shown.get(), "******");
    dropField(f);
}

// Every cut of a description placed right before an inaccessible page: the
// decoder refuses each one without reading past it.
TEST(PanelDescriptionGuarded, CutDescriptionsNeverReadPastTheRequest) {
    Desc d;
    d.caption2 = "Second";
    d.boxes = {{1, 1, 20, 5}};
    d.texts = {{{2, 2}, "Hello"}};
    DescField text;
    text.value = textValue("value");
    DescField number;
    number.type = PXV_DECIMAL;
    number.value = std::vector<unsigned char>(16, 1);
    d.fields = {text, number};
    d.panes = {{1, 10, 1, 0, "pane"}};
    std::vector<unsigned char> bytes = d.encode().b;
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        th::GuardedBuffer buf(cut);
        if (cut) std::memcpy(buf.data(), bytes.data(), cut);
        WireReader r(buf.data(), cut);
        PxPanelPtr p(px_buildPanel(r, 0, nullptr));
        EXPECT_EQ(p != nullptr, cut == bytes.size()) << cut;
    }
}

}  // namespace
