#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "tests/platform/AppleEvents/TreeHelpers.h"

using namespace trees;

namespace {

struct Fixture {
    AEDesc null;  // the application
    AEDesc track = record("obj ", field("form", enumCode("ID  ")), field("want", typed("type", "cTrk")),
                          field("seld", slong(77)), field("from", empty("null")));
    AEDesc value = slong(-70000);
    AEDesc id64 = comp(0x00A1B2C3D4E5F607);
};

// Builds the parameters of a 'core'/'getd' event and returns them as a plain record.
AEDesc parameters(const std::function<OSStatus(AppleEvent*, AEBuildError*)>& build, OSStatus& status) {
    AppleEvent event;
    AEBuildError error;
    status = build(&event, &error);
    AEDesc result = AEDesc::makeRecord();
    for (size_t i = 0; i < event.count(); ++i) result.put(event.keyAt(i), event.at(i).clone());
    return result;
}

}  // namespace

TEST(AEBuild, TemplatesMakeTheTreesWrittenByHand) {
    Fixture f;
    const char16_t search[] = u"Blue";
    UniqueHandle alias;
    {
        Handle h = nullptr;
        ASSERT_EQ(PtrToHand("/Music/a.mp3", &h, 12), noErr);
        alias.reset(h);
    }
    auto build = [&](const char* text, auto... args) {
        return [=, &f](AppleEvent* event, AEBuildError* error) {
            (void)f;
            return AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeApplSignature, "hook", 4,
                                     kAutoGenerateReturnID, kAnyTransactionID, event, error, text, args...);
        };
    };
    struct Case {
        const char* name;
        std::function<OSStatus(AppleEvent*, AEBuildError*)> build;
        AEDesc expected;
    };
    Case cases[] = {
        {"count", build("kocl:type(cTrk) , '----':@", &f.null),
         record("reco", field("kocl", typed("type", "cTrk")), field("----", AEDesc()))},
        {"delete all",
         build("'----':obj { form:indx, want:type(cArt), seld:abso('all '), from:@ }", &f.track),
         record("reco",
                field("----", obj("indx", typed("type", "cArt"), typed("abso", "all "), f.track.clone())))},
        {"element", build("'----':obj { form:indx, want:type(cPly), seld:1, from:@ }", &f.null),
         record("reco", field("----", obj("indx", typed("type", "cPly"), shor(1), AEDesc())))},
        {"property with a blank",
         build("'----':obj { form:prop, want:type(prop), seld:type(pYr ), from:@ }", &f.track),
         record("reco",
                field("----", obj("prop", typed("type", "prop"), typed("type", "pYr "), f.track.clone())))},
        {"set property",
         build("data:@, '----':obj { form:prop, want:type(prop), seld:type(pBPM), from:@ }", &f.value,
               &f.track),
         record("reco", field("data", slong(-70000)),
                field("----", obj("prop", typed("type", "prop"), typed("type", "pBPM"), f.track.clone())))},
        {"set element",
         build("data:@, '----':obj { form:indx, want:type(cArt), seld:3, from:@ }", &f.value, &f.track),
         record("reco", field("data", slong(-70000)),
                field("----", obj("indx", typed("type", "cArt"), shor(3), f.track.clone())))},
        {"set property of element",
         build("data:@, '----':obj { form:prop, want:type(prop), seld:type(pRte), from:obj { form:indx, "
               "want:type(cTrk), seld:70000, from:@ }}",
               &f.value, &f.null),
         record("reco", field("data", slong(-70000)),
                field("----", obj("prop", typed("type", "prop"), typed("type", "pRte"),
                                  obj("indx", typed("type", "cTrk"), slong(70000), AEDesc()))))},
        {"search by string test",
         build("'----':obj { form:indx, want:type(cTrk), seld:'abso'('any '), from:obj { form:test, "
               "want:type(cTrk), from:@, seld:cmpd{relo:=, 'obj1': obj{ form:prop, want:type(prop), "
               "seld:type(pPID), from:exmn()}, obj2:\"00A1B2C3D4E5F607\"}} }",
               &f.null),
         record(
             "reco",
             field("----",
                   obj("indx", typed("type", "cTrk"), typed("abso", "any "),
                       record("obj ", field("form", enumCode("test")), field("want", typed("type", "cTrk")),
                              field("from", AEDesc()),
                              field("seld", record("cmpd", field("relo", enumCode("=")),
                                                   field("obj1", obj("prop", typed("type", "prop"),
                                                                     typed("type", "pPID"), empty("exmn"))),
                                                   field("obj2", text("00A1B2C3D4E5F607"))))))))},
        {"search by integer and descriptor tests",
         build("'----':obj { form:test, want:type(cTrk), from:@, seld:cmpd{relo:=, 'obj1': obj{ form:prop, "
               "want:type(prop), seld:type(pDID), from:exmn()}, obj2:-12}}, x:obj { form:test, "
               "want:type(cPly), "
               "from:@, seld:cmpd{relo:=, 'obj1': obj{ form:prop, want:type(prop), seld:type(pPID), "
               "from:exmn()}, obj2:@}}",
               &f.track, &f.null, &f.id64),
         record(
             "reco",
             field("----",
                   record("obj ", field("form", enumCode("test")), field("want", typed("type", "cTrk")),
                          field("from", f.track.clone()),
                          field("seld", record("cmpd", field("relo", enumCode("=")),
                                               field("obj1", obj("prop", typed("type", "prop"),
                                                                 typed("type", "pDID"), empty("exmn"))),
                                               field("obj2", shor(-12)))))),
             field("x", record("obj ", field("form", enumCode("test")), field("want", typed("type", "cPly")),
                               field("from", AEDesc()),
                               field("seld", record("cmpd", field("relo", enumCode("=")),
                                                    field("obj1", obj("prop", typed("type", "prop"),
                                                                      typed("type", "pPID"), empty("exmn"))),
                                                    field("obj2", comp(0x00A1B2C3D4E5F607)))))))},
        {"command", build("'----':'null'()"), record("reco", field("----", empty("null")))},
        {"current playlist", build("'----':obj { form:prop, want:type(prop), seld:type(pPla), from:null() }"),
         record("reco",
                field("----", obj("prop", typed("type", "prop"), typed("type", "pPla"), empty("null"))))},
        {"play a file", build("'----':alis(@@)", alias.get()),
         record("reco", field("----", bytes("alis", "/Music/a.mp3")))},
        {"add to a playlist", build("'----':alis(@@), insh:(@)", alias.get(), &f.track),
         record("reco", field("----", bytes("alis", "/Music/a.mp3")), field("insh", f.track.clone()))},
        {"search text", build("'----':@, pTrm:'utxt'(@), pAre:pArt", &f.track, sizeof search - 2, search),
         record("reco", field("----", f.track.clone()),
                field("pTrm", bytes("utxt", std::string(reinterpret_cast<const char*>(search), 8))),
                field("pAre", enumCode("pArt")))},
        {"no parameters", build("  "), record("reco")},
    };
    for (Case& c : cases) {
        OSStatus status;
        const AEDesc got = parameters(c.build, status);
        EXPECT_EQ(status, noErr) << c.name;
        EXPECT_TRUE(got == c.expected)
            << c.name << "\n got: " << AEPrint(got) << "\nwant: " << AEPrint(c.expected);
    }
}

TEST(AEBuild, SingleValues) {
    const uint8_t date[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<uint8_t> utf16 = UTF16BytesFromUTF8("é");
    struct Case {
        const char* name;
        OSStatus status;
        AEDesc got;
        AEDesc expected;
    };
    auto desc = [](OSStatus& status, const char* text, auto... args) {
        AEDesc d;
        status = AEBuildDesc(&d, nullptr, text, args...);
        return d;
    };
    OSStatus s[6];
    Case cases[] = {
        {"long(@) takes the value", 0, desc(s[0], "long(@)", 120), slong(120)},
        {"long(@) keeps all 32 bits", 0, desc(s[1], "long(@)", -5), slong(-5)},
        {"'ldt '(@) takes count and pointer", 0, desc(s[2], "'ldt '(@)", 8, date),
         AEDesc::makeData(typeLongDateTime, date, 8)},
        {"text coerced to utxt", 0, desc(s[3], "'utxt'(\"\xc3\xa9\")"),
         AEDesc::makeData(typeUnicodeText, utf16)},
        {"integer coerced to comp", 0, desc(s[4], " comp ( -7 ) "), comp(-7)},
        {"typed empty record", 0, desc(s[5], "obj{}"), record("obj ")},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(s[i], noErr) << cases[i].name;
        EXPECT_TRUE(cases[i].got == cases[i].expected) << cases[i].name << ": " << AEPrint(cases[i].got);
    }
}

TEST(AEBuild, MalformedTextsAndArgumentsAreErrors) {
    AEDesc d;
    AEDesc null;
    struct Case {
        const char* text;
        AEBuildErrorCode error;
        UInt32 position;
    };
    const Case values[] = {
        {"", aeBuildSyntaxBadEOF, 0},
        {"obj {", aeBuildSyntaxBadEOF, 5},
        {"obj { form:prop", aeBuildSyntaxBadEOF, 15},
        {"obj { form:prop want:type(prop) }", aeBuildSyntaxNoCloseBrace, 16},
        {"obj { :prop }", aeBuildSyntaxNoKey, 6},
        {"obj { form prop }", aeBuildSyntaxNoColon, 11},
        {"'abc", aeBuildSyntaxMissingQuote, 4},
        {"abcde", aeBuildSyntaxBadCode, 0},
        {"''", aeBuildSyntaxBadCode, 1},
        {"\"abc", aeBuildSyntaxNoCloseString, 0},
        {"type(prop", aeBuildSyntaxBadEOF, 9},
        {"type(prop x", aeBuildSyntaxNoCloseParen, 10},
        {"type(\"text\")", aeBuildSyntaxBadData, 5},
        {"@@", aeBuildSyntaxUncoercedDoubleAt, 0},
        {"2147483648", aeBuildSyntaxBadNumber, 0},
        {"-", aeBuildSyntaxBadNumber, 0},
        {"1 2", aeBuildSyntaxNoEOF, 2},
        {"[1]", aeBuildSyntaxBadToken, 0},
        {"}", aeBuildSyntaxBadToken, 0},
        {"((((((((((((((((((((((((((((((((((1))))))))))))))))))))))))))))))))))", aeBuildSyntaxTooDeep, 32},
    };
    for (const Case& c : values) {
        AEBuildError error;
        EXPECT_EQ(AEBuildDesc(&d, &error, c.text), errAEBuildSyntaxError) << c.text;
        EXPECT_EQ(error.fError, c.error) << c.text;
        EXPECT_EQ(error.fErrorPos, c.position) << c.text;
        EXPECT_EQ(d.descriptorType, typeNull) << c.text;
    }

    // Text with a NUL inside ends nowhere early: the whole view is read.
    AEBuildError error;
    EXPECT_EQ(AEBuildDesc(&d, &error, std::string_view("1\0", 2)), errAEBuildSyntaxError);
    EXPECT_EQ(error.fError, aeBuildSyntaxNoEOF);

    const char16_t chars[] = u"ab";
    struct ArgumentCase {
        const char* name;
        OSStatus status;
    };
    const ArgumentCase arguments[] = {
        {"missing descriptor", AEBuildDesc(&d, &error, "@")},
        {"integer for a descriptor", AEBuildDesc(&d, &error, "@", 5)},
        {"surplus argument", AEBuildDesc(&d, &error, "long(@)", 5, 6)},
        {"pointer for long(@)", AEBuildDesc(&d, &error, "long(@)", chars)},
        {"count without pointer", AEBuildDesc(&d, &error, "'utxt'(@)", 4)},
        {"negative count", AEBuildDesc(&d, &error, "'utxt'(@)", -1, chars)},
        {"descriptor for @@", AEBuildDesc(&d, &error, "alis(@@)", &null)},
        {"long(@) beyond 32 bits", AEBuildDesc(&d, &error, "long(@)", int64_t{1} << 33)},
    };
    for (const ArgumentCase& c : arguments) EXPECT_EQ(c.status, errAEBuildSyntaxError) << c.name;
    EXPECT_EQ(error.fError, aeBuildSyntaxBadArgument);

    AppleEvent event;
    EXPECT_EQ(AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeApplSignature, "hook", 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, &error, "'----':@, "),
              errAEBuildSyntaxError);
    EXPECT_EQ(event.descriptorType, typeNull);
}

TEST(AEBuild, EventsCarryTheirHeader) {
    const pid_t pid = 4242;
    AEDesc null;
    AppleEvent event;
    ASSERT_EQ(AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                                "'----':obj { form:prop, want:type(prop), seld:type(pPos), from:@ }", &null),
              noErr);
    const AEEventHeader* header = event.event();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->eventClass, kCoreEventClass);
    EXPECT_EQ(header->eventID, kAEGetData);
    EXPECT_GT(header->returnID, 0);
    EXPECT_EQ(header->transactionID, 0);
    EXPECT_TRUE(header->address == value(typeKernelProcessID, pid));

    AppleEvent second;
    ASSERT_EQ(AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                                kAutoGenerateReturnID, kAnyTransactionID, &second, nullptr, ""),
              noErr);
    EXPECT_NE(second.event()->returnID, header->returnID);

    // Adding parameters that fail to build leaves the event as it was.
    EXPECT_EQ(AEBuildParameters(&second, nullptr, "a:1, b:"), errAEBuildSyntaxError);
    EXPECT_EQ(second.count(), 0u);
    EXPECT_EQ(AEBuildParameters(&second, nullptr, "a:1, b:\"x\""), noErr);
    EXPECT_EQ(second.count(), 2u);
}
