#include "Source/ApplescriptController.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AECoercion.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/Foundation/Bundle.h"

namespace {

std::mutex gLogMutex;
ApplescriptController::Log gLog;

void writeLog(const std::string& line) {
    ApplescriptController::Log log;
    {
        std::lock_guard lock(gLogMutex);
        log = gLog;
    }
    if (log)
        log(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

// The texts of the statuses a send can end with; the Apple Event Manager's own wording.
struct StatusText {
    OSStatus status;
    const char* text;
};
constexpr StatusText kStatusTexts[] = {
    {procNotFound, "The application isn't running."},
    {errAETimeout, "The Apple event timed out."},
    {errAEEventNotHandled, "The application does not understand the event."},
};

std::string textForStatus(OSStatus status) {
    for (const StatusText& entry : kStatusTexts)
        if (entry.status == status) return entry.text;
    return "The Apple event failed (" + std::to_string(status) + ").";
}

std::optional<FourCharCode> codeFrom(const std::string& word) {
    std::string code = word;
    if (code.size() >= 2 && code.front() == '\'' && code.back() == '\'')
        code = code.substr(1, code.size() - 2);
    if (code.empty() || code.size() > 4) return std::nullopt;
    code.resize(4, ' ');
    FourCharCode value = 0;
    for (const char c : code) value = value << 8 | static_cast<unsigned char>(c);
    return value;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> readFile(const std::string& path) {
    if (!fileExists(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// A script as read: whom it tells, what it sends and how long it waits.
struct ApplescriptController::Script {
    OSType signature{0};
    AEEventClass eventClass{0};
    AEEventID eventID{0};
    std::string parameters;
    long timeout{kAEDefaultTimeout};
};

ApplescriptController::ApplescriptController(std::string path) : mPath(std::move(path)) {}
ApplescriptController::~ApplescriptController() = default;

ApplescriptController ApplescriptController::withResource(const std::string& name) {
    return ApplescriptController(NSBundle::mainBundle().pathForResource(name, "scpt").value_or(""));
}

void ApplescriptController::setLog(Log log) {
    std::lock_guard lock(gLogMutex);
    gLog = std::move(log);
}

SInt32 ApplescriptController::errorNumber() const {
    if (!mErrors) return 0;
    auto found = mErrors->find(kErrorNumber);
    return found == mErrors->end() ? 0 : static_cast<SInt32>(found->second.integer().value_or(0));
}

std::string ApplescriptController::errorMessage() const {
    if (!mErrors) return {};
    auto found = mErrors->find(kErrorMessage);
    return found != mErrors->end() && found->second.string() ? *found->second.string() : std::string();
}

std::string ApplescriptController::briefErrorMessage() const {
    if (!mErrors) return {};
    auto found = mErrors->find(kErrorBriefMessage);
    return found != mErrors->end() && found->second.string() ? *found->second.string() : std::string();
}

void ApplescriptController::fail(SInt32 number, const std::string& message) {
    PropertyList::Dictionary errors;
    errors.emplace(kErrorNumber, PropertyList(number));
    errors.emplace(kErrorMessage, PropertyList(message));
    errors.emplace(kErrorBriefMessage, PropertyList(message));
    mErrors = std::move(errors);
}

bool ApplescriptController::load() {
    std::optional<std::string> text = readFile(mPath);
    if (!text) text = readFile(mPath + ".txt");
    if (!text) {
        fail(fnfErr, "No script at " + mPath + ".");
        return false;
    }
    auto script = std::make_unique<Script>();
    std::istringstream lines(*text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word.front() == '#') continue;
        auto bad = [&](const std::string& why) {
            fail(kSyntaxError, "line " + std::to_string(number) + ": " + why);
            return false;
        };
        auto ended = [&] {
            std::string rest;
            return !(words >> rest) || rest.front() == '#';
        };
        if (word == "tell") {
            std::string code;
            words >> code;
            const auto signature = codeFrom(code);
            if (!signature || !ended()) return bad("\"tell\" needs one application signature");
            script->signature = *signature;
        } else if (word == "send") {
            std::string eventClass, eventID;
            words >> eventClass >> eventID;
            const auto c = codeFrom(eventClass), i = codeFrom(eventID);
            if (!c || !i || !ended()) return bad("\"send\" needs an event class and id");
            script->eventClass = *c;
            script->eventID = *i;
        } else if (word == "with") {
            std::getline(words, script->parameters);
        } else if (word == "timeout") {
            long ticks = 0;
            if (!(words >> ticks) || ticks < 0 || !ended()) return bad("\"timeout\" needs a number of ticks");
            script->timeout = ticks;
        } else {
            return bad("unknown word \"" + word + "\"");
        }
    }
    if (script->signature == 0 || script->eventClass == 0) {
        fail(kSyntaxError, "a script needs \"tell\" and \"send\"");
        return false;
    }
    // Parameters that do not build are a script that does not compile either.
    AppleEvent probe;
    AEBuildError error;
    if (AEBuildAppleEvent(script->eventClass, script->eventID, typeNull, nullptr, 0, 0, 0, &probe, &error,
                          script->parameters) != noErr) {
        fail(kSyntaxError,
             "\"with\": the parameters do not build (at " + std::to_string(error.fErrorPos) + ")");
        return false;
    }
    mScript = std::move(script);
    return true;
}

AppleEvent ApplescriptController::openDocumentsEvent(const std::vector<ApplescriptParameter>& parameters) {
    AEDesc list = AEDesc::makeList();
    for (const ApplescriptParameter& parameter : parameters) {
        AEDesc item;
        if (const AEDesc* desc = std::get_if<AEDesc>(&parameter)) {
            item = desc->clone();
        } else {
            const PropertyList& value = std::get<PropertyList>(parameter);
            if (const std::string* text = value.string()) {
                item = AEDesc::makeData(typeUTF8Text, text->data(), text->size());
                AEDesc unicode;
                if (AECoerceDesc(&item, typeUnicodeText, &unicode) == noErr) item = std::move(unicode);
            } else if (const auto number = value.integer(); number &&
                                                            *number >= std::numeric_limits<SInt32>::min() &&
                                                            *number <= std::numeric_limits<SInt32>::max()) {
                const SInt32 n = static_cast<SInt32>(*number);
                item = AEDesc::makeData(typeSInt32, &n, sizeof n);
            } else {
                throw std::invalid_argument("Applescript parameter type is unsupported");
            }
        }
        AEPutDesc(&list, 0, &item);
    }
    AppleEvent event;
    AEBuildError error;
    AEBuildAppleEvent(fourCC("aevt"), fourCC("odoc"), typeNull, nullptr, 0, 0, 0, &event, &error, "'----':@",
                      list);
    return event;
}

std::optional<AEDesc> ApplescriptController::runWithParameters(
    const std::vector<ApplescriptParameter>* parameters) {
    mErrors.reset();
    if (!mScript && !load()) {
        writeLog("ApplescriptController: Run script failed (" + mPath +
                 "): err=" + ApplescriptErrorDescription(mErrors));
        return std::nullopt;
    }
    std::optional<AEDesc> result;
    if (parameters) {
        const AppleEvent open = openDocumentsEvent(*parameters);
        AEDesc direct;
        AEGetParamDesc(&open, keyDirectObject, typeWildCard, &direct);
        result = execute(&direct);
    } else {
        result = execute(nullptr);
    }
    if (mErrors)
        writeLog("ApplescriptController: Run applescript failed: err=" +
                 ApplescriptErrorDescription(mErrors));
    return result;
}

std::optional<AEDesc> ApplescriptController::execute(const AEDesc* directObject) {
    const Script& script = *mScript;
    AppleEvent event;
    AEBuildError error;
    OSStatus status = AEBuildAppleEvent(script.eventClass, script.eventID, typeApplSignature,
                                        &script.signature, sizeof script.signature, kAutoGenerateReturnID,
                                        kAnyTransactionID, &event, &error, script.parameters);
    if (status == noErr && directObject && !event.find(keyDirectObject))
        status = AEPutParamDesc(&event, keyDirectObject, directObject);
    if (status != noErr) {
        fail(status, textForStatus(status));
        return std::nullopt;
    }
    AppleEvent reply;
    status = AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, script.timeout);
    if (status != noErr) {
        fail(status, textForStatus(status));
        return std::nullopt;
    }
    SInt32 number = 0;
    DescType type = 0;
    Size size = 0;
    if (AEGetParamPtr(&reply, keyErrorNumber, typeSInt32, &type, &number, sizeof number, &size) == noErr &&
        number != 0) {
        std::string message = textForStatus(number);
        AEDesc text;
        if (AEGetParamDesc(&reply, keyErrorString, typeUTF8Text, &text) == noErr)
            message.assign(text.bytes().begin(), text.bytes().end());
        fail(number, message);
        return std::nullopt;
    }
    AEDesc result;
    if (AEGetParamDesc(&reply, keyDirectObject, typeWildCard, &result) != noErr) return AEDesc();
    return result;
}

std::string ApplescriptErrorDescription(const std::optional<PropertyList::Dictionary>& errors) {
    if (!errors) return "(null)";
    std::string text = "{";
    for (const auto& [key, value] : *errors) {
        text += key + " = ";
        if (const std::string* s = value.string())
            text += "\"" + *s + "\"";
        else
            text += std::to_string(value.integer().value_or(0));
        text += "; ";
    }
    if (text.size() > 1) text.resize(text.size() - 1);
    return text + "}";
}
