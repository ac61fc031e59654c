// zorvi defaults: reads and writes preference domains and suites the way the device's own
// `defaults` tool does. Writes reach running processes through the domain's change notification.

#include "hosts/common/CommandLine.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/prefs/PreferenceDomain.h"
#include "tools/Commands.h"
#include "tools/TerminalText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// A word as the device's defaults tool prints it: bare when plain, else quoted; what a terminal
// would act on is escaped.
std::string quoted(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' || c == '/'))
            plain = false;
    }
    if (plain)
        return text;
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return "\"" + terminalSafe(out, false) + "\"";
}

std::string describe(const NSObject* value, int indent) {
    std::string pad(static_cast<size_t>(indent) * 4, ' ');
    if (const std::string* text = string_value(value))
        return quoted(*text);
    if (auto* number = objc_cast<NSNumber>(const_cast<NSObject*>(value))) {
        if (number->isBoolean())
            return number->boolValue() ? "1" : "0";
        if (number->isInteger())
            return std::to_string(number->longLongValue());
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", number->doubleValue());
        return text;
    }
    if (auto* data = objc_cast<NSData>(const_cast<NSObject*>(value))) {
        std::string out = "{length = " + std::to_string(data->length()) + "}";
        return out;
    }
    if (auto* dictionary = objc_cast<NSDictionary>(const_cast<NSObject*>(value))) {
        std::string out = "{\n";
        for (const auto& [key, entry] : dictionary->entries())
            out += pad + "    " + quoted(key) + " = " + describe(entry.get(), indent + 1) + ";\n";
        return out + pad + "}";
    }
    if (auto* array = objc_cast<NSArray>(const_cast<NSObject*>(value))) {
        std::string out = "(\n";
        for (size_t i = 0; i < array->count(); ++i)
            out += pad + "    " + describe(array->objectAtIndex(i), indent + 1) +
                   (i + 1 < array->count() ? ",\n" : "\n");
        return out + pad + ")";
    }
    return "<" + terminalSafe(value ? value->className() : "nil", false) + ">";
}

Ref<NSObject> typedValue(const std::string& type, const std::string& text, std::string& error) {
    if (type == "-string")
        return NSString::stringWithUTF8String(text);
    if (type == "-bool") {
        if (text == "YES" || text == "yes" || text == "true" || text == "TRUE" || text == "1")
            return NSNumber::numberWithBool(true);
        if (text == "NO" || text == "no" || text == "false" || text == "FALSE" || text == "0")
            return NSNumber::numberWithBool(false);
        error = "not a boolean: " + text + " (use YES, NO, true, false, 1 or 0)";
        return nullptr;
    }
    if (type == "-int" || type == "-integer") {
        long long value = 0;
        auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (failure != std::errc() || end != text.data() + text.size() || text.empty()) {
            error = "not an integer: " + text;
            return nullptr;
        }
        return NSNumber::numberWithLongLong(value);
    }
    if (type == "-float") {
        double value = 0;
        auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (failure != std::errc() || end != text.data() + text.size() || text.empty() ||
            !std::isfinite(value)) {
            error = "not a number: " + text;
            return nullptr;
        }
        return NSNumber::numberWithDouble(value);
    }
    error = "unknown type " + type + " (use -bool, -int, -float or -string)";
    return nullptr;
}

// What a verb was given: the domain, then the key and the value where it takes them.
struct Words {
    std::string root;
    std::string domain;
    std::string key;
};

int readVerb(const Words& words, const CLI::App& command) {
    if (!PreferenceDomain::isValidName(words.domain))
        return CommandLine::usageError(command, "not a domain name: " + words.domain);
    if (!selectDevice(words.root, command))
        return 1;
    const std::string& domain = words.domain;
    Ref<NSDictionary> values = PreferenceDomain::read(domain);
    if (words.key.empty()) {
        if (values->count() == 0) {
            std::fprintf(stderr, "Domain %s does not exist\n", domain.c_str());
            return 1;
        }
        std::printf("%s\n", describe(values, 0).c_str());
        return 0;
    }
    NSObject* value = values->objectForKey(words.key);
    if (!value) {
        std::fprintf(stderr, "The domain/default pair of (%s, %s) does not exist\n", domain.c_str(),
                     words.key.c_str());
        return 1;
    }
    std::printf("%s\n", describe(value, 0).c_str());
    return 0;
}

// write takes its words as they come, so that "-int -3" and "-string --root" are a type and a value.
int writeVerb(const Words& given, const CLI::App& command) {
    Words words = given;
    std::vector<std::string> operands;
    for (const std::string& word : command.remaining())
        operands.push_back(word);
    if (operands.size() != 3 && operands.size() != 4)
        return CommandLine::usageError(command, "wants a domain, a key and a value");
    words.domain = operands[0];
    words.key = operands[1];
    const std::string& domain = words.domain;
    if (!PreferenceDomain::isValidName(domain))
        return CommandLine::usageError(command, "not a domain name: " + domain);
    if (words.key.empty())
        return CommandLine::usageError(command, "empty key");
    std::string error;
    Ref<NSObject> value = operands.size() == 4 ? typedValue(operands[2], operands[3], error)
                                               : Ref<NSObject>(NSString::stringWithUTF8String(operands[2]));
    if (!value)
        return CommandLine::usageError(command, error);
    if (!selectDevice(words.root, command))
        return 1;
    if (!PreferenceDomain::write(domain, words.key, value)) {
        std::fprintf(stderr, "zorvi defaults: could not write %s\n",
                     PreferenceDomain::devicePath(domain).c_str());
        return 1;
    }
    return 0;
}

int deleteVerb(const Words& words, const CLI::App& command) {
    const std::string& domain = words.domain;
    if (!PreferenceDomain::isValidName(domain))
        return CommandLine::usageError(command, "not a domain name: " + domain);
    if (!selectDevice(words.root, command))
        return 1;
    if (words.key.empty())
        return PreferenceDomain::removeAll(domain) ? 0 : 1;
    if (!PreferenceDomain::read(domain)->objectForKey(words.key)) {
        std::fprintf(stderr, "The domain/default pair of (%s, %s) does not exist\n", domain.c_str(),
                     words.key.c_str());
        return 1;
    }
    return PreferenceDomain::write(domain, words.key, nullptr) ? 0 : 1;
}

} // namespace

void addDefaultsCommand(Commands& commands) {
    auto words = std::make_shared<Words>();
    CLI::App* defaults =
        commands.add(commands.program(), "defaults",
                     "reads and writes preference domains and suites; running processes see a write at once");
    addRootOption(*defaults, words->root);
    CLI::App* read = commands.add(*defaults, "read", "prints a domain or suite, or one key",
                                  [words](const CLI::App& command) { return readVerb(*words, command); });
    read->add_option("DOMAIN", words->domain, "a domain or suite, such as com.vantrel.zorvi")->required();
    read->add_option("KEY", words->key, "one key of it");
    CLI::App* write = commands.add(*defaults, "write", "writes one key (a string unless a type is given)",
                                   [words](const CLI::App& command) { return writeVerb(*words, command); });
    // Its words are taken as they come; it takes --root itself, before them, as nothing falls
    // through to the command above.
    write->prefix_command();
    write->fallthrough(false);
    addRootOption(*write, words->root);
    CommandLine::setOperands(*write, "DOMAIN KEY [-bool|-int|-float|-string] VALUE");
    CLI::App* remove = commands.add(*defaults, "delete", "removes a key, or the whole domain",
                                    [words](const CLI::App& command) { return deleteVerb(*words, command); });
    remove->add_option("DOMAIN", words->domain, "a domain or suite")->required();
    remove->add_option("KEY", words->key, "one key of it");
}
