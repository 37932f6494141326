// The script runner: loading our script texts, the event each sends and how it reads the answer,
// the open-documents event of a run with parameters, and the errors with their log lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "Source/ApplescriptController.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"

namespace {

namespace fs = std::filesystem;

struct ApplescriptControllerTest : ::testing::Test {
    fs::path folder =
        fs::temp_directory_path() / ("scripts-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::shared_ptr<InProcessTransport> transport = std::make_shared<InProcessTransport>();
    ScopedAETransport scopedTransport{transport};
    std::vector<std::string> logged;
    // What the player answers, in the build syntax; "@" stands for a list of one text.
    std::string answer = "'----':@";

    void SetUp() override {
        fs::create_directories(folder);
        ApplescriptController::setLog([this](const std::string& line) { logged.push_back(line); });
        addPlayer();
    }
    void addPlayer() {
        transport->addHandler(77, fourCC("hook"), [this](const AppleEvent&, AppleEvent& reply) {
            AEDesc list = AEDesc::makeList();
            list.put(0, AEDesc::makeData(typeChar, "Rock", 4));
            AEBuildError error;
            if (answer.find('@') != std::string::npos) return AEBuildParameters(&reply, &error, answer, list);
            return AEBuildParameters(&reply, &error, answer);
        });
    }
    void TearDown() override {
        ApplescriptController::setLog(nullptr);
        fs::remove_all(folder);
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream((folder / name).string()) << text;
        return (folder / name).string();
    }
    std::vector<AELogEntry> sent() const { return transport->log().entries(); }
};

constexpr const char* kSearchScript =
    "# finds tracks\n"
    "tell hook   # the player\n"
    "send hook Srch\n"
    "with pTrm:\"beat\"\n"
    "timeout 90\n";

TEST_F(ApplescriptControllerTest, RunSendsTheScriptsEventAndAnswersTheReplysDirectParameter) {
    ApplescriptController script(write("Search.scpt", kSearchScript));
    for (int run = 0; run < 2; ++run) {
        const std::optional<AEDesc> result = script.run();
        ASSERT_TRUE(result) << "run " << run;
        EXPECT_EQ(AEPrint(*result), "[\"Rock\"]");
        EXPECT_FALSE(script.errors());
    }
    // The script is kept: a second run does not read the file again.
    fs::remove(folder / "Search.scpt");
    EXPECT_TRUE(script.run());
    ASSERT_EQ(sent().size(), 3u);
    EXPECT_EQ(sent()[0].event, "'hook'\\'Srch'{'pTrm':\"beat\"}");
    EXPECT_EQ(sent()[0].timeout, 90);
    EXPECT_EQ(sent()[0].target, (AETarget{typeApplSignature, fourCC("hook")}));
    EXPECT_TRUE(logged.empty());
}

TEST_F(ApplescriptControllerTest, ScriptSourceBesideAMissingScriptIsCompiled) {
    write("Search.scpt.txt", kSearchScript);
    ApplescriptController script((folder / "Search.scpt").string());
    EXPECT_TRUE(script.run());
}

TEST_F(ApplescriptControllerTest, RunWithParametersHandsTheListOfParametersOnAsTheDirectObject) {
    ApplescriptController script(write("Open.scpt", "tell hook\nsend hook Add\n"));
    AEDesc alias = AEDesc::makeData(fourCC("alis"), "/music/a.mp3", 12);
    std::vector<ApplescriptParameter> parameters;
    parameters.emplace_back(PropertyList("Mix"));
    parameters.emplace_back(PropertyList(70000));
    parameters.emplace_back(std::move(alias));
    ASSERT_TRUE(script.runWithParameters(&parameters));
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0].event,
              "'hook'\\'Add '{'----':['utxt'(\"Mix\"), 70000, 'alis'(\"/music/a.mp3\")]}");

    const AppleEvent open = ApplescriptController::openDocumentsEvent(parameters);
    ASSERT_TRUE(open.event());
    EXPECT_EQ(open.event()->eventClass, fourCC("aevt"));
    EXPECT_EQ(open.event()->eventID, fourCC("odoc"));
    EXPECT_EQ(open.event()->returnID, 0);
    EXPECT_EQ(open.event()->transactionID, 0);
    EXPECT_EQ(open.event()->address.descriptorType, typeNull);
}

TEST_F(ApplescriptControllerTest, UnsupportedParametersRaiseAndSendNothing) {
    ApplescriptController script(write("Open.scpt", "tell hook\nsend hook Add\n"));
    const PropertyList unsupported[] = {PropertyList(PropertyList::Dictionary{}), PropertyList(1LL << 40)};
    for (const PropertyList& value : unsupported) {
        std::vector<ApplescriptParameter> parameters;
        parameters.emplace_back(value);
        EXPECT_THROW(
            {
                try {
                    script.runWithParameters(&parameters);
                } catch (const std::invalid_argument& e) {
                    EXPECT_STREQ(e.what(), "Applescript parameter type is unsupported");
                    throw;
                }
            },
            std::invalid_argument);
    }
    EXPECT_TRUE(sent().empty());
}

TEST_F(ApplescriptControllerTest, FailuresKeepNumberAndMessageAndAreLogged) {
    ApplescriptController script(write("Search.scpt", kSearchScript));
    answer = "errn:-1728, errs:\"No such track.\"";
    EXPECT_FALSE(script.run());
    EXPECT_EQ(script.errorNumber(), -1728);
    EXPECT_EQ(script.errorMessage(), "No such track.");
    EXPECT_EQ(script.briefErrorMessage(), "No such track.");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(
        logged[0],
        "ApplescriptController: Run applescript failed: err={NSAppleScriptErrorBriefMessage = \"No such "
        "track.\"; NSAppleScriptErrorMessage = \"No such track.\"; NSAppleScriptErrorNumber = -1728;}");

    transport->removeApplication(77);
    EXPECT_FALSE(script.run());
    EXPECT_EQ(script.errorNumber(), procNotFound);

    answer = "'----':\"ok\"";
    addPlayer();
    EXPECT_TRUE(script.run());
    EXPECT_FALSE(script.errors()) << "a run drops the errors of the one before";
    script.clearErrors();
    EXPECT_EQ(script.errorNumber(), 0);
}

TEST_F(ApplescriptControllerTest, ScriptsThatDoNotLoadAnswerNothingAndSayWhy) {
    const struct {
        const char* name;
        const char* text;  // nullptr: no file
        SInt32 number;
        const char* message;
    } cases[] = {
        {"missing", nullptr, -43, "No script at "},
        {"unknown word", "tell hook\nsned hook Srch\n", -2740, "line 2: unknown word \"sned\""},
        {"no send", "tell hook\n", -2740, "a script needs \"tell\" and \"send\""},
        {"long code", "tell hooks\nsend hook Srch\n", -2740,
         "line 1: \"tell\" needs one application signature"},
        {"bad timeout", "tell hook\nsend hook Srch\ntimeout soon\n", -2740, "line 3: \"timeout\" needs"},
        {"bad parameters", "tell hook\nsend hook Srch\nwith pTrm:\"open\n", -2740,
         "\"with\": the parameters"},
    };
    for (const auto& c : cases) {
        logged.clear();
        const std::string path = c.text ? write("Bad.scpt", c.text) : (folder / "None.scpt").string();
        ApplescriptController script(path);
        EXPECT_FALSE(script.run()) << c.name;
        EXPECT_EQ(script.errorNumber(), c.number) << c.name;
        EXPECT_NE(script.errorMessage().find(c.message), std::string::npos)
            << c.name << ": " << script.errorMessage();
        ASSERT_EQ(logged.size(), 1u) << c.name;
        EXPECT_EQ(logged[0].rfind("ApplescriptController: Run script failed (" + path + "): err={", 0), 0u)
            << c.name << ": " << logged[0];
    }
    EXPECT_TRUE(sent().empty());
}

TEST_F(ApplescriptControllerTest, TheBundlesScriptsAskThePlayer) {
    EXPECT_TRUE(ApplescriptController::withResource("GetGenreList").run());
    EXPECT_TRUE(ApplescriptController::withResource("GetInfo").run());
    ASSERT_EQ(sent().size(), 2u);
    EXPECT_EQ(sent()[0].event, "'hook'\\'Gnrs'{}");
    EXPECT_EQ(sent()[1].event,
              "'hook'\\'Info'{'----':'obj '{'form':'prop', 'want':'type'('prop'), "
              "'seld':'type'('pTrk'), 'from':'null'()}}");
    EXPECT_GT(sent()[1].timeout, 0) << "Get Info waits a bounded time";
}

}  // namespace
