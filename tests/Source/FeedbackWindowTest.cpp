#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <string>
#include <vector>

#include "Source/FeedbackWindowController.h"
#include "network/TFeedbackTask.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

// Keeps the sheets it is shown until the test answers them.
class SheetPresenter : public AlertPresenter {
public:
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back({alert.messageText, alert.buttonTitles(), sheetWindow});
        pending.push_back(std::move(done));
    }
    void Answer(NSModalResponse response) {
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        done(response);
    }
    struct Shown {
        std::string message;
        std::vector<std::string> buttons;
        Window* sheet;
    };
    std::vector<Shown> shown;
    std::vector<std::function<void(NSModalResponse)>> pending;
};

class FeedbackWindowTest : public testing::Test {
protected:
    FeedbackWindowTest() {
        viewTestApplication();
        AlertPresenter::setCurrent(&presenter);
        FeedbackWindowController::setSender([this](const char* recipient, const char* subject,
                                                   const std::string& text, bool isFeedback,
                                                   const void* form) {
            sent.push_back({recipient, subject, text, isFeedback, form});
        });
    }
    ~FeedbackWindowTest() override {
        while (!FeedbackWindowController::openForms().empty()) {
            FeedbackWindowController* form = FeedbackWindowController::openForms().front();
            form->textView()->clear();
            form->window()->performClose();
        }
        QTest::qWait(0);
        FeedbackWindowController::setSender(nullptr);
        FeedbackWindowController::setPlayerVersionSource(nullptr);
        AlertPresenter::setCurrent(nullptr);
    }
    // A shown form; it owns itself from here.
    static FeedbackWindowController* Open(bool isFeedback) {
        auto* form = new FeedbackWindowController();
        form->setIsFeedback(isFeedback);
        form->showWindow();
        return form;
    }
    static void Fill(FeedbackWindowController* form, const char* name, const char* email,
                     const char* details) {
        form->nameField()->setText(name);
        form->emailField()->setText(email);
        form->textView()->setPlainText(details);
    }

    struct Sent {
        std::string recipient, subject, text;
        bool isFeedback;
        const void* form;
    };
    SheetPresenter presenter;
    std::vector<Sent> sent;
};

TEST_F(FeedbackWindowTest, SubmitNeedsNameEmailAndDetailsAndThenAnswersReturn) {
    FeedbackWindowController* form = Open(true);
    struct Case {
        const char *name, *email, *details;
        bool enabled;
    } cases[] = {{"", "", "", false},
                 {"Ann", "", "It skips", false},
                 {"Ann", "ann@example.invalid", "", false},
                 {"", "ann@example.invalid", "It skips", false},
                 {"Ann", "ann@example.invalid", "It skips", true}};
    for (const Case& c : cases) {
        Fill(form, c.name, c.email, c.details);
        EXPECT_EQ(form->submitButton()->isEnabled(), c.enabled)
            << c.name << "/" << c.email << "/" << c.details;
        EXPECT_EQ(form->window()->defaultButton(), c.enabled ? form->submitButton() : nullptr);
    }
}

TEST_F(FeedbackWindowTest, TitlesAndTextsFollowTheKindAndWindowsCascade) {
    FeedbackWindowController* feedback = Open(true);
    FeedbackWindowController* support = Open(false);
    EXPECT_EQ(feedback->window()->windowTitle().toStdString(), "Product Feedback Submission");
    EXPECT_EQ(support->window()->windowTitle().toStdString(), "Technical Support Submission");
    EXPECT_NE(feedback->descriptionLabel()->text(), support->descriptionLabel()->text());
    EXPECT_FALSE(support->descriptionLabel()->text().isEmpty());
    EXPECT_EQ(support->window()->pos() - feedback->window()->pos(), QPoint(20, 20));
}

// The intro used to be a one-line field that cut its text after a few words.
TEST_F(FeedbackWindowTest, TheIntroShowsWhole) {
    for (bool isFeedback : {true, false}) {
        SCOPED_TRACE(isFeedback ? "feedback" : "support");
        FeedbackWindowController* form = Open(isFeedback);
        const QWidget* intro = form->descriptionLabel();
        const auto* label = qobject_cast<const QLabel*>(intro);
        ASSERT_NE(label, nullptr) << "the intro is a label";
        EXPECT_TRUE(label->wordWrap());
        EXPECT_EQ(label->text().toStdString(),
                  NSBundle::mainBundle().localizedStringForKey(
                      isFeedback ? "FeedbackFormText" : "SupportFormText", "", ""));
        EXPECT_LE(label->heightForWidth(label->width()), label->height());
        // Above the first field.
        EXPECT_LE(label->geometry().bottom(), form->nameField()->geometry().top());
    }
}

// Long fields and details are cut at a character, and a support request keeps its block.
TEST_F(FeedbackWindowTest, LongTextsAreCutAtACharacterAndKeepTheSupportBlock) {
    std::string e150;
    for (int i = 0; i < 150; ++i) e150 += "\xC3\xA9";
    std::string details;
    while (details.size() < 80000) details += "\xC3\xA9";
    std::string e127;
    for (int i = 0; i < 127; ++i) e127 += "\xC3\xA9";
    for (bool isFeedback : {true, false}) {
        SCOPED_TRACE(isFeedback ? "feedback" : "support");
        FeedbackWindowController* form = Open(isFeedback);
        Fill(form, e150.c_str(), "a@b.invalid", details.c_str());
        form->summaryField()->setText(QString::fromStdString(e150));
        form->submit();
        ASSERT_FALSE(sent.empty());
        const std::string text = sent.back().text;
        EXPECT_LE(text.size(), TFeedbackTask::kTextSize - 1) << "the task would cut what is more";
        EXPECT_NE(text.find("\rName: " + e127 + "\r"), std::string::npos);
        EXPECT_NE(text.find("\rSummary: " + e127 + "\r"), std::string::npos);
        const size_t start = text.find("Details: \r\r") + 11;
        const size_t end = isFeedback ? text.size() : text.find("\r\r---Begin Beatwick info---\r");
        ASSERT_NE(end, std::string::npos) << "the support block is there";
        EXPECT_EQ((end - start) % 2, 0u) << "the details end with a whole character";
        EXPECT_GT(end - start, 60000u);
        if (!isFeedback) {
            EXPECT_TRUE(text.ends_with("---End Beatwick support info---\r"));
        }
    }
}

TEST_F(FeedbackWindowTest, ClosingWithDetailsAsksFirst) {
    FeedbackWindowController* form = Open(true);
    Fill(form, "Ann", "a@b.invalid", "unsent words");
    form->cancel();
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].message, "Close the feedback window?");
    EXPECT_EQ(presenter.shown[0].buttons, (std::vector<std::string>{"Close", "Cancel"}));
    EXPECT_EQ(presenter.shown[0].sheet, form->window());
    presenter.Answer(NSAlertSecondButtonReturn);
    EXPECT_TRUE(form->window()->isVisible());

    form->cancel();
    presenter.Answer(NSAlertFirstButtonReturn);
    QTest::qWait(0);
    EXPECT_TRUE(FeedbackWindowController::openForms().empty());
}

// Two open forms used to both react to either one's result.
TEST_F(FeedbackWindowTest, EachFormHearsOnlyItsOwnResult) {
    FeedbackWindowController* first = Open(true);
    FeedbackWindowController* second = Open(false);
    Fill(first, "Ann", "a@b.invalid", "one");
    Fill(second, "Bob", "b@b.invalid", "two");
    NSNotificationCenter::defaultCenter().postNotificationName("FeedbackFailed", second);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].sheet, second->window());
    EXPECT_EQ(presenter.shown[0].message, "Your support request could not be sent.");
    presenter.Answer(NSAlertFirstButtonReturn);
    EXPECT_EQ(second->textView()->toPlainText().toStdString(), "two") << "the text stays for another try";

    NSNotificationCenter::defaultCenter().postNotificationName("FeedbackSucceeded", first);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[1].message, "Your feedback was sent.");
    presenter.Answer(NSAlertFirstButtonReturn);
    QTest::qWait(0);
    EXPECT_EQ(FeedbackWindowController::openForms(), std::vector<FeedbackWindowController*>{second});
}

TEST_F(FeedbackWindowTest, ASupportRequestCarriesTheSystemAndThePlayersVersion) {
    FeedbackWindowController::setPlayerVersionSource([] { return std::optional<std::string>("10.5.1"); });
    FeedbackWindowController* support = Open(false);
    Fill(support, "Ann", "a@b.invalid", "It crashes");
    support->summaryField()->setText("Crash");
    support->submit();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].subject, TFeedbackTask::kTechSupportSubject);
    EXPECT_FALSE(sent[0].isFeedback);
    EXPECT_EQ(sent[0].form, support);
    const std::string& text = sent[0].text;
    EXPECT_EQ(text.rfind("Date: ", 0), 0u);
    EXPECT_NE(text.find("\rVersion: 1.6\rSystem: "), std::string::npos);
    EXPECT_NE(text.find("\rName: Ann\rEmail: a@b.invalid\rSummary: Crash\rDetails: \r\rIt crashes\r\r"
                        "---Begin Beatwick info---\rSystem: "),
              std::string::npos);
    EXPECT_NE(text.find("\rBeatwick: 1.6\riTunes: 10.500000\r---End Beatwick support info---\r"),
              std::string::npos);

    FeedbackWindowController* feedback = Open(true);
    Fill(feedback, "Ann", "a@b.invalid", "Nice");
    feedback->submit();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].subject, TFeedbackTask::kSuggestSubject);
    EXPECT_EQ(sent[1].text.find("Begin Beatwick info"), std::string::npos);
    EXPECT_TRUE(sent[1].text.ends_with("\rDetails: \r\rNice"));
}

}  // namespace
