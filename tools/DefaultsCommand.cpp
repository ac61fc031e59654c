// zorvi defaults: reads and writes preference domains and suites the way the device's own
// `defaults` tool does. Writes reach running processes through the domain's change notification.

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/prefs/PreferenceDomain.h"
#include "tools/CommandLine.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr const char* name = "defaults";

std::string quoted(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' || c == '/'))
            plain = false;
    }
    if (plain)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
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
    return "<" + std::string(value ? value->className() : "nil") + ">";
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

int read(const std::vector<std::string>& words) {
    if (words.size() < 2 || words.size() > 3)
        return commandLineError(name, "usage: defaults read DOMAIN [KEY]");
    const std::string& domain = words[1];
    if (!PreferenceDomain::isValidName(domain))
        return commandLineError(name, "not a domain name: " + domain);
    Ref<NSDictionary> values = PreferenceDomain::read(domain);
    if (words.size() == 2) {
        if (values->count() == 0) {
            std::fprintf(stderr, "Domain %s does not exist\n", domain.c_str());
            return 1;
        }
        std::printf("%s\n", describe(values, 0).c_str());
        return 0;
    }
    NSObject* value = values->objectForKey(words[2]);
    if (!value) {
        std::fprintf(stderr, "The domain/default pair of (%s, %s) does not exist\n", domain.c_str(),
                     words[2].c_str());
        return 1;
    }
    std::printf("%s\n", describe(value, 0).c_str());
    return 0;
}

int write(const std::vector<std::string>& words) {
    if (words.size() != 4 && words.size() != 5)
        return commandLineError(name, "usage: defaults write DOMAIN KEY [-bool|-int|-float|-string] VALUE");
    const std::string& domain = words[1];
    if (!PreferenceDomain::isValidName(domain))
        return commandLineError(name, "not a domain name: " + domain);
    if (words[2].empty())
        return commandLineError(name, "empty key");
    std::string error;
    Ref<NSObject> value = words.size() == 5 ? typedValue(words[3], words[4], error)
                                            : Ref<NSObject>(NSString::stringWithUTF8String(words[3]));
    if (!value)
        return commandLineError(name, error);
    if (!PreferenceDomain::write(domain, words[2], value)) {
        std::fprintf(stderr, "zorvi defaults: could not write %s\n",
                     PreferenceDomain::devicePath(domain).c_str());
        return 1;
    }
    return 0;
}

int remove(const std::vector<std::string>& words) {
    if (words.size() != 2 && words.size() != 3)
        return commandLineError(name, "usage: defaults delete DOMAIN [KEY]");
    const std::string& domain = words[1];
    if (!PreferenceDomain::isValidName(domain))
        return commandLineError(name, "not a domain name: " + domain);
    if (words.size() == 2)
        return PreferenceDomain::removeAll(domain) ? 0 : 1;
    if (!PreferenceDomain::read(domain)->objectForKey(words[2])) {
        std::fprintf(stderr, "The domain/default pair of (%s, %s) does not exist\n", domain.c_str(),
                     words[2].c_str());
        return 1;
    }
    return PreferenceDomain::write(domain, words[2], nullptr) ? 0 : 1;
}

} // namespace

int commandDefaults(const Arguments& args) {
    std::string error;
    auto line = CommandLine::parse(args, {"--root"}, {}, error, true);
    if (!line)
        return commandLineError(name, error);
    const auto& words = line->positional();
    if (words.empty())
        return commandLineError(name, "usage: defaults [--root DIR] read|write|delete DOMAIN ...");
    if (!selectDevice(*line, name, true))
        return 1;
    if (words[0] == "read")
        return read(words);
    if (words[0] == "write")
        return write(words);
    if (words[0] == "delete")
        return remove(words);
    return commandLineError(name, "unknown verb '" + words[0] + "' (read, write or delete)");
}
