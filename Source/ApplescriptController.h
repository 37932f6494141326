// Runs one of the bundle's scripts and keeps the errors of its last run. A script here is a
// small text of our own (".scpt"): the application it talks to, the one Apple event it sends
// (with parameters in the build syntax) and how long it waits for the answer. Its result is the
// answer's direct parameter.
//
//   # a comment
//   tell hook                 the application's signature
//   send hook Gnrs            the event's class and id
//   with pTrm:"text"          optional parameters, in the build syntax (AEBuild.h)
//   timeout 600               optional, ticks of 1/60 s; the Apple Event Manager's default else
//
// Run with parameters, the script handles an open-documents event ('aevt'/'odoc') whose direct
// object is the list of parameters; the event it sends carries that list as its own direct
// parameter. A script is loaded once and kept for later runs. Failures are logged and answered
// with nullopt. Main thread only: a run blocks until the answer or the time-out.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/AppleEvents/AEDescriptor.h"
#include "platform/Foundation/PropertyList.h"

// A descriptor as it is, or a value: a text goes as text, a number as a 32-bit integer.
using ApplescriptParameter = std::variant<AEDesc, PropertyList>;

class ApplescriptController {
public:
    ApplescriptController(const ApplescriptController&) = delete;
    ApplescriptController& operator=(const ApplescriptController&) = delete;
    ~ApplescriptController();

    static constexpr const char* kErrorNumber = "NSAppleScriptErrorNumber";
    static constexpr const char* kErrorMessage = "NSAppleScriptErrorMessage";
    static constexpr const char* kErrorBriefMessage = "NSAppleScriptErrorBriefMessage";
    // The number of a script text that does not read.
    static constexpr SInt32 kSyntaxError = -2740;

    // The script at that path, loaded at the first run.
    explicit ApplescriptController(std::string path);
    // The bundle's resource of that name and type "scpt".
    static ApplescriptController withResource(const std::string& name);

    std::optional<AEDesc> run() { return runWithParameters(nullptr); }
    // Throws std::invalid_argument ("Applescript parameter type is unsupported") for a parameter
    // that is neither a descriptor, a text nor a number that fits 32 bits; nothing is sent then.
    std::optional<AEDesc> runWithParameters(const std::vector<ApplescriptParameter>* parameters);

    // The errors of the last run, or nullopt when it succeeded.
    const std::optional<PropertyList::Dictionary>& errors() const { return mErrors; }
    SInt32 errorNumber() const;
    std::string errorMessage() const;
    std::string briefErrorMessage() const;
    void clearErrors() { mErrors.reset(); }

    // Where the log lines go: standard error unless replaced (tests read them).
    using Log = std::function<void(const std::string&)>;
    static void setLog(Log log);

    // The open-documents event a run with parameters hands its script: null target, return id
    // 0, transaction id 0, the parameters as its direct object. Throws as runWithParameters does.
    static AppleEvent openDocumentsEvent(const std::vector<ApplescriptParameter>& parameters);

private:
    struct Script;
    bool load();
    std::optional<AEDesc> execute(const AEDesc* directObject);
    void fail(SInt32 number, const std::string& message);

    std::string mPath;
    std::unique_ptr<Script> mScript;
    std::optional<PropertyList::Dictionary> mErrors;
};

// The one-line text of an error dictionary, as the log lines show it.
std::string ApplescriptErrorDescription(const std::optional<PropertyList::Dictionary>& errors);
