#include "platform/AppleEvents/AEBuild.h"

#include <limits>
#include <optional>

#include "platform/AppleEvents/AECoercion.h"
#include "platform/AppleEvents/AppleEvent.h"

namespace {

constexpr std::string_view kDelimiters = "{}()[]:,@\"'";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isCodeChar(char c) {
    return c > 0x20 && c < 0x7f && kDelimiters.find(c) == std::string_view::npos;
}
bool startsBareCode(char c) {
    return isCodeChar(c) && !isDigit(c) && c != '-';
}

// A recursive-descent reader of one build text. Every read goes through peek(), which knows the
// end of the text.
class Parser {
public:
    Parser(std::string_view text, AEBuildArgumentList args) : fText(text), fArgs(args) {}

    // A single value filling the whole text.
    std::optional<AEDesc> parseSingleValue() {
        std::optional<AEDesc> value = parseValue(0);
        if (!value) return std::nullopt;
        skipSpace();
        if (!atEnd()) return fail(aeBuildSyntaxNoEOF);
        if (!allArgumentsUsed()) return std::nullopt;
        return value;
    }

    // A key:value list filling the whole text, put into `target` (a record or an event).
    bool parseParameters(AEDesc& target) {
        skipSpace();
        if (!atEnd() && !parseFields(target, 0)) return false;
        skipSpace();
        if (!atEnd()) return failed(aeBuildSyntaxNoEOF);
        return allArgumentsUsed();
    }

    AEBuildError error() const { return fError; }

private:
    std::string_view fText;
    AEBuildArgumentList fArgs;
    size_t fPos{0};
    size_t fNextArg{0};
    AEBuildError fError;

    bool atEnd() const { return fPos >= fText.size(); }
    char peek() const { return atEnd() ? '\0' : fText[fPos]; }
    char peekAt(size_t offset) const { return fPos + offset < fText.size() ? fText[fPos + offset] : '\0'; }
    void skipSpace() {
        while (!atEnd() && isSpace(fText[fPos])) ++fPos;
    }

    std::nullopt_t fail(AEBuildErrorCode code) {
        if (fError.fError == aeBuildSyntaxNoErr) {
            fError.fError = code;
            fError.fErrorPos = static_cast<UInt32>(fPos);
        }
        return std::nullopt;
    }
    // Running out of text inside a form is reported as such, whatever was expected.
    std::nullopt_t failExpecting(AEBuildErrorCode code) { return fail(atEnd() ? aeBuildSyntaxBadEOF : code); }

    bool failed(AEBuildErrorCode code) {
        failExpecting(code);
        return false;
    }

    const AEBuildArgument* takeArgument(AEBuildArgument::Kind kind) {
        if (fNextArg >= fArgs.size() || fArgs[fNextArg].kind() != kind) return nullptr;
        return &fArgs[fNextArg++];
    }

    bool allArgumentsUsed() { return fNextArg == fArgs.size() || failed(aeBuildSyntaxBadArgument); }

    std::optional<DescType> parseCode() {
        size_t start;
        size_t length;
        if (peek() == '\'') {
            start = ++fPos;
            while (!atEnd() && fText[fPos] != '\'') ++fPos;
            if (atEnd()) return fail(aeBuildSyntaxMissingQuote);
            length = fPos - start;
            ++fPos;
        } else {
            if (!startsBareCode(peek())) return failExpecting(aeBuildSyntaxBadToken);
            start = fPos;
            while (!atEnd() && isCodeChar(fText[fPos])) ++fPos;
            length = fPos - start;
        }
        if (length == 0 || length > 4) {
            fPos = start;
            return fail(aeBuildSyntaxBadCode);
        }
        DescType code = 0;
        for (size_t i = 0; i < 4; ++i) {
            const char c = i < length ? fText[start + i] : ' ';
            code = (code << 8) | static_cast<unsigned char>(c);
        }
        return code;
    }

    bool parseFields(AEDesc& target, int depth) {
        for (;;) {
            skipSpace();
            if (peek() != '\'' && !startsBareCode(peek())) return failed(aeBuildSyntaxNoKey);
            const std::optional<DescType> key = parseCode();
            if (!key) return false;
            skipSpace();
            if (peek() != ':') return failed(aeBuildSyntaxNoColon);
            ++fPos;
            std::optional<AEDesc> value = parseValue(depth + 1);
            if (!value) return false;
            target.put(*key, std::move(*value));
            skipSpace();
            if (peek() != ',') return true;
            ++fPos;
        }
    }

    std::optional<AEDesc> parseRecord(DescType type, int depth) {
        ++fPos;  // '{'
        AEDesc record = AEDesc::makeRecord(type);
        skipSpace();
        if (peek() != '}' && !parseFields(record, depth)) return std::nullopt;
        skipSpace();
        if (peek() != '}') return failExpecting(aeBuildSyntaxNoCloseBrace);
        ++fPos;
        return record;
    }

    std::optional<AEDesc> parseInteger() {
        const size_t start = fPos;
        const bool negative = peek() == '-';
        if (negative) ++fPos;
        if (!isDigit(peek())) {
            fPos = start;
            return fail(aeBuildSyntaxBadNumber);
        }
        int64_t value = 0;
        while (isDigit(peek())) {
            value = value * 10 + (fText[fPos] - '0');
            if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
                fPos = start;
                return fail(aeBuildSyntaxBadNumber);
            }
            ++fPos;
        }
        if (negative) value = -value;
        if (value > std::numeric_limits<int32_t>::max()) {
            fPos = start;
            return fail(aeBuildSyntaxBadNumber);
        }
        if (value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max()) {
            const auto v = static_cast<int16_t>(value);
            return AEDesc::makeData(typeSInt16, &v, sizeof v);
        }
        const auto v = static_cast<int32_t>(value);
        return AEDesc::makeData(typeSInt32, &v, sizeof v);
    }

    std::optional<AEDesc> parseString() {
        const size_t start = ++fPos;
        while (!atEnd() && fText[fPos] != '"') ++fPos;
        if (atEnd()) {
            fPos = start - 1;
            return fail(aeBuildSyntaxNoCloseString);
        }
        AEDesc text = AEDesc::makeData(typeChar, fText.data() + start, fPos - start);
        ++fPos;
        return text;
    }

    // After "type(" and an '@': the data comes from the arguments.
    std::optional<AEDesc> parseArgumentData(DescType type) {
        if (peek() == '@') {
            ++fPos;
            const AEBuildArgument* handle = takeArgument(AEBuildArgument::Kind::handle);
            if (!handle || !handle->handle()) return fail(aeBuildSyntaxBadArgument);
            return AEDesc::makeData(type, *handle->handle(),
                                    static_cast<size_t>(GetHandleSize(handle->handle())));
        }
        if (type == typeSInt32) {
            const AEBuildArgument* value = takeArgument(AEBuildArgument::Kind::integer);
            if (!value || value->integer() < std::numeric_limits<int32_t>::min() ||
                value->integer() > std::numeric_limits<uint32_t>::max())
                return fail(aeBuildSyntaxBadArgument);
            const auto v = static_cast<uint32_t>(value->integer());
            return AEDesc::makeData(type, &v, sizeof v);
        }
        const AEBuildArgument* count = takeArgument(AEBuildArgument::Kind::integer);
        if (!count || count->integer() < 0) return fail(aeBuildSyntaxBadArgument);
        const AEBuildArgument* pointer = takeArgument(AEBuildArgument::Kind::pointer);
        if (!pointer || (!pointer->pointer() && count->integer() > 0)) return fail(aeBuildSyntaxBadArgument);
        return AEDesc::makeData(type, pointer->pointer(), static_cast<size_t>(count->integer()));
    }

    // After "type": '(' ... ')'.
    std::optional<AEDesc> parseCoerced(DescType type, int depth) {
        ++fPos;  // '('
        skipSpace();
        std::optional<AEDesc> result;
        if (peek() == ')') {
            result = AEDesc::makeData(type, nullptr, 0);
        } else if (peek() == '@') {
            ++fPos;
            result = parseArgumentData(type);
        } else {
            const size_t innerStart = fPos;
            std::optional<AEDesc> inner = parseValue(depth + 1);
            if (!inner) return std::nullopt;
            if (inner->descriptorType == typeEnumerated && inner->kind() == AEDescKind::data) {
                // type(code): the code's four bytes under the given type.
                inner->descriptorType = type;
                result = std::move(inner);
            } else if (inner->kind() == AEDescKind::record) {
                inner->descriptorType = type;
                result = std::move(inner);
            } else {
                AEDesc coerced;
                if (AECoerceDesc(&*inner, type, &coerced) != noErr) {
                    fPos = innerStart;
                    return fail(aeBuildSyntaxBadData);
                }
                result = std::move(coerced);
            }
        }
        if (!result) return std::nullopt;
        skipSpace();
        if (peek() != ')') return failExpecting(aeBuildSyntaxNoCloseParen);
        ++fPos;
        return result;
    }

    std::optional<AEDesc> parseValue(int depth) {
        if (depth >= kAEBuildMaxDepth) return fail(aeBuildSyntaxTooDeep);
        skipSpace();
        if (atEnd()) return fail(aeBuildSyntaxBadEOF);
        const char c = peek();
        if (c == '@') {
            if (peekAt(1) == '@') return fail(aeBuildSyntaxUncoercedDoubleAt);
            const AEBuildArgument* desc = takeArgument(AEBuildArgument::Kind::descriptor);
            if (!desc || !desc->descriptor()) return fail(aeBuildSyntaxBadArgument);
            ++fPos;
            return desc->descriptor()->clone();
        }
        if (c == '"') return parseString();
        if (c == '-' || isDigit(c)) return parseInteger();
        if (c == '{') return parseRecord(typeAERecord, depth);
        if (c == '(') {
            ++fPos;
            std::optional<AEDesc> inner = parseValue(depth + 1);
            if (!inner) return std::nullopt;
            skipSpace();
            if (peek() != ')') return failExpecting(aeBuildSyntaxNoCloseParen);
            ++fPos;
            return inner;
        }
        if (c == '\'' || startsBareCode(c)) {
            const std::optional<DescType> code = parseCode();
            if (!code) return std::nullopt;
            skipSpace();
            if (peek() == '(') return parseCoerced(*code, depth);
            if (peek() == '{') return parseRecord(*code, depth);
            const DescType value = *code;
            return AEDesc::makeData(typeEnumerated, &value, sizeof value);
        }
        return fail(aeBuildSyntaxBadToken);
    }
};

OSStatus report(const Parser& parser, AEBuildError* error) {
    if (error) *error = parser.error();
    return errAEBuildSyntaxError;
}

}  // namespace

OSStatus vAEBuildDesc(AEDesc* dst, AEBuildError* error, AEBuildText src, AEBuildArgumentList args) {
    if (!dst) return paramErr;
    dst->reset();
    Parser parser(src.view, args);
    std::optional<AEDesc> value = parser.parseSingleValue();
    if (!value) return report(parser, error);
    *dst = std::move(*value);
    if (error) *error = AEBuildError{};
    return noErr;
}

OSStatus vAEBuildParameters(AppleEvent* event, AEBuildError* error, AEBuildText format,
                            AEBuildArgumentList args) {
    if (!event || !event->event()) return errAENotAppleEvent;
    AERecord parameters = AEDesc::makeRecord();
    Parser parser(format.view, args);
    if (!parser.parseParameters(parameters)) return report(parser, error);
    for (size_t i = 0; i < parameters.count(); ++i) event->put(parameters.keyAt(i), parameters.at(i).clone());
    if (error) *error = AEBuildError{};
    return noErr;
}

OSStatus vAEBuildAppleEvent(AEEventClass eventClass, AEEventID eventID, DescType addressType,
                            const void* addressData, Size addressLength, AEReturnID returnID,
                            AETransactionID transactionID, AppleEvent* result, AEBuildError* error,
                            AEBuildText paramsFormat, AEBuildArgumentList args) {
    if (!result) return paramErr;
    result->reset();
    AEAddressDesc address;
    if (OSErr err = AECreateDesc(addressType, addressData, addressLength, &address); err != noErr) return err;
    AppleEvent event;
    if (OSErr err = AECreateAppleEvent(eventClass, eventID, &address, returnID, transactionID, &event);
        err != noErr)
        return err;
    Parser parser(paramsFormat.view, args);
    if (!parser.parseParameters(event)) return report(parser, error);
    *result = std::move(event);
    if (error) *error = AEBuildError{};
    return noErr;
}
