#include "platform/foundation/PropertyList.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/OpenStepParser.h"
#include "platform/foundation/PlistInputCheck.h"
#include "platform/foundation/Utf8.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace PropertyList {

namespace {

// A binary file can share one object from many places; this bounds what it may expand to (about a
// hundred megabytes of objects), well beyond any settings file.
constexpr size_t maxValues = 1u << 20;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, PlistFree>;

struct MallocFree {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T> using Malloced = std::unique_ptr<T, MallocFree>;

// What a property list may carry as a string or a key: UTF-8 without NUL (XML can hold no other,
// and the library would silently cut or re-encode it).
bool isText(std::string_view text) {
    return text.find('\0') == std::string_view::npos && Utf8::isValid(text);
}

std::string tooDeep() {
    return "nested deeper than " + std::to_string(maxDepth) + " levels";
}

// libplist keeps dates as seconds and microseconds since 2001; the microseconds lose their sign
// for negative times, and the seconds carry it.
double secondsOfDate(plist_t node) {
    int32_t seconds = 0;
    int32_t micros = 0;
    plist_get_date_val(node, &seconds, &micros);
    double fraction = std::abs(static_cast<double>(micros)) / 1e6;
    return seconds < 0 ? seconds - fraction : seconds + fraction;
}

Ref<NSObject> fromNode(plist_t node, int depth, std::string& error) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return NSNumber::numberWithBool(value != 0);
    }
    case PLIST_UINT: {
        // Integers are stored as 64 bits; negative ones in two's complement.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return NSNumber::numberWithLongLong(static_cast<int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return NSNumber::numberWithDouble(value);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return NSString::stringWithUTF8String(
            textRead(text ? std::string_view(text, length) : std::string_view()));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        auto* begin = reinterpret_cast<const uint8_t*>(plist_get_data_ptr(node, &length));
        return NSData::dataWithBytes(begin ? std::vector<uint8_t>(begin, begin + length)
                                           : std::vector<uint8_t>{});
    }
    case PLIST_DATE:
        return NSDate::dateWithTimeIntervalSinceReferenceDate(secondsOfDate(node));
    case PLIST_ARRAY: {
        if (depth + 1 > maxDepth) {
            error = tooDeep();
            return nullptr;
        }
        std::vector<Ref<NSObject>> elements;
        plist_array_iter rawIterator = nullptr;
        plist_array_new_iter(node, &rawIterator);
        Malloced<void> iterator(rawIterator);
        for (;;) {
            plist_t item = nullptr;
            plist_array_next_item(node, iterator.get(), &item);
            if (!item)
                break;
            Ref<NSObject> value = fromNode(item, depth + 1, error);
            if (!value)
                return nullptr;
            elements.push_back(std::move(value));
        }
        return NSArray::arrayWithObjects(std::move(elements));
    }
    case PLIST_DICT: {
        if (depth + 1 > maxDepth) {
            error = tooDeep();
            return nullptr;
        }
        auto dictionary = NSMutableDictionary::dictionary();
        plist_dict_iter rawIterator = nullptr;
        plist_dict_new_iter(node, &rawIterator);
        Malloced<void> iterator(rawIterator);
        for (;;) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator.get(), &rawKey, &item);
            Malloced<char> key(rawKey);
            if (!item)
                break;
            Ref<NSObject> value = fromNode(item, depth + 1, error);
            if (!value)
                return nullptr;
            dictionary->setObject(value, textRead(key ? key.get() : ""));
        }
        return dictionary;
    }
    default:
        error = "unsupported value type in property list";
        return nullptr;
    }
}

// The library's form of a value; nullptr, with why, for one a property list cannot carry faithfully.
Node toNode(const NSObject* value, int depth, std::string& why) {
    if (!value)
        return nullptr;
    if (auto* text = string_value(value)) {
        if (!isText(*text)) {
            why = "text that is not UTF-8";
            return nullptr;
        }
        return Node(plist_new_string(text->c_str()));
    }
    auto* object = const_cast<NSObject*>(value);
    if (auto* number = objc_cast<NSNumber>(object)) {
        if (number->isBoolean())
            return Node(plist_new_bool(number->boolValue()));
        if (number->isInteger())
            return Node(plist_new_uint(static_cast<uint64_t>(number->longLongValue())));
        return Node(plist_new_real(number->doubleValue()));
    }
    if (auto* data = objc_cast<NSData>(object)) {
        auto bytes = data->bytes();
        return Node(plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    if (auto* date = objc_cast<NSDate>(object)) {
        double seconds = date->timeIntervalSinceReferenceDate();
        // The library holds dates in 32-bit seconds: outside that range there is no faithful form.
        if (!std::isfinite(seconds) || std::abs(seconds) >= 2147483647.0)
            return nullptr;
        double whole = std::trunc(seconds);
        return Node(
            plist_new_date(static_cast<int32_t>(whole), static_cast<int32_t>((seconds - whole) * 1e6)));
    }
    if (depth + 1 > maxDepth) {
        why = tooDeep();
        return nullptr;
    }
    if (auto* array = objc_cast<NSArray>(object)) {
        Node node(plist_new_array());
        for (auto& element : array->objects()) {
            Node child = toNode(element.get(), depth + 1, why);
            if (!child)
                return nullptr;
            plist_array_append_item(node.get(), child.release());
        }
        return node;
    }
    if (auto* dictionary = objc_cast<NSDictionary>(object)) {
        Node node(plist_new_dict());
        for (auto& [key, element] : dictionary->entries()) {
            if (!isText(key)) {
                why = "a key that is not UTF-8 text";
                return nullptr;
            }
            Node child = toNode(element.get(), depth + 1, why);
            if (!child)
                return nullptr;
            plist_dict_set_item(node.get(), key.c_str(), child.release());
        }
        return node;
    }
    return nullptr;
}

bool startsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// XML opens with a declaration, a doctype, a comment or the plist element itself; anything else
// that is text (including "<hex data>") is the OpenStep form.
bool looksLikeXml(std::span<const uint8_t> text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    auto rest = text.subspan(at);
    return startsWith(rest, "<?") || startsWith(rest, "<!") || startsWith(rest, "<plist");
}

ParseResult convert(plist_t root) {
    std::string error;
    Ref<NSObject> value = fromNode(root, 0, error);
    return {value, value ? std::string() : error};
}

ParseResult parseBinary(std::span<const uint8_t> bytes) {
    if (std::string problem = PlistInputCheck::checkBinary(bytes, maxDepth, maxValues); !problem.empty())
        return {nullptr, problem};
    plist_t raw = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &raw);
    Node root(raw);
    if (!root)
        return {nullptr, "damaged binary property list"};
    return convert(root.get());
}

ParseResult parseXml(std::span<const uint8_t> bytes) {
    // The plist element and a scalar inside the innermost container add two element levels.
    if (std::string problem = PlistInputCheck::checkXml(bytes, maxDepth + 2); !problem.empty())
        return {nullptr, problem};
    // A terminated copy: the parser must never read past the end of the buffer.
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    plist_t raw = nullptr;
    plist_from_xml(text.c_str(), static_cast<uint32_t>(text.size()), &raw);
    Node root(raw);
    if (!root)
        return {nullptr, "malformed XML property list"};
    return convert(root.get());
}

} // namespace

std::string textRead(std::string_view bytes) {
    if (isText(bytes))
        return std::string(bytes);
    std::string text = Utf8::repaired(bytes);
    for (size_t at = 0; (at = text.find('\0', at)) != std::string::npos;)
        text.replace(at, 1, "\xEF\xBF\xBD");
    return text;
}

ParseResult parse(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return {nullptr, "empty file"};
    if (bytes.size() > maxFileBytes)
        return {nullptr, "larger than " + std::to_string(maxFileBytes) + " bytes"};
    if (startsWith(bytes, "bplist"))
        return parseBinary(bytes);
    if (startsWith(bytes, "\xEF\xBB\xBF"))
        bytes = bytes.subspan(3);
    if (looksLikeXml(bytes))
        return parseXml(bytes);
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return OpenStepParser(text, maxDepth).parse();
}

namespace {

Node rootNode(const NSObject* value, std::string& why) {
    Node root = toNode(value, 0, why);
    if (!root && why.empty())
        why = "a value a property list cannot carry";
    return root;
}

std::vector<uint8_t> bytesOf(const Node& root, Format format) {
    char* raw = nullptr;
    uint32_t length = 0;
    std::vector<uint8_t> bytes;
    if (format == Format::Binary) {
        plist_to_bin(root.get(), &raw, &length);
        if (raw)
            bytes.assign(raw, raw + length);
        plist_to_bin_free(raw);
    } else {
        plist_to_xml(root.get(), &raw, &length);
        if (raw)
            bytes.assign(raw, raw + length);
        plist_to_xml_free(raw);
    }
    return bytes;
}

} // namespace

std::vector<uint8_t> serialize(const NSObject* value, Format format) {
    std::string why;
    Node root = rootNode(value, why);
    return root ? bytesOf(root, format) : std::vector<uint8_t>{};
}

std::string unstorable(const NSObject* value) {
    std::string why;
    return rootNode(value, why) ? std::string() : why;
}

} // namespace PropertyList
