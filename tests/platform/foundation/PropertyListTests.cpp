#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

namespace {

using Bytes = std::vector<uint8_t>;

PropertyList::ParseResult parseBytes(const Bytes& bytes) {
    return PropertyList::parse(bytes);
}

// Deep equality that keeps booleans, integers and reals apart.
bool same(NSObject* a, NSObject* b) {
    if (!a || !b)
        return a == b;
    if (auto* text = string_value(a))
        return string_value(b) && *text == *string_value(b);
    if (auto* n = objc_cast<NSNumber>(a)) {
        auto* m = objc_cast<NSNumber>(b);
        return m && n->isBoolean() == m->isBoolean() && n->isInteger() == m->isInteger() &&
               (n->isReal() ? n->doubleValue() == m->doubleValue()
                            : n->longLongValue() == m->longLongValue());
    }
    if (auto* data = objc_cast<NSData>(a))
        return data->isEqualToData(objc_cast<NSData>(b));
    if (auto* date = objc_cast<NSDate>(a)) {
        auto* other = objc_cast<NSDate>(b);
        return other && std::abs(date->timeIntervalSinceReferenceDate() -
                                 other->timeIntervalSinceReferenceDate()) < 1e-6;
    }
    if (auto* array = objc_cast<NSArray>(a)) {
        auto* other = objc_cast<NSArray>(b);
        if (!other || other->count() != array->count())
            return false;
        for (size_t i = 0; i < array->count(); ++i) {
            if (!same(array->objectAtIndex(i), other->objectAtIndex(i)))
                return false;
        }
        return true;
    }
    auto* dictionary = objc_cast<NSDictionary>(a);
    auto* other = objc_cast<NSDictionary>(b);
    if (!dictionary || !other || dictionary->count() != other->count())
        return false;
    for (auto& [key, value] : dictionary->entries()) {
        if (!same(value.get(), other->objectForKey(key)))
            return false;
    }
    return true;
}

Bytes readFixture(const char* name) {
    std::ifstream file(std::string(ZV_FOUNDATION_FIXTURES) + "/" + name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A binary plist from raw object encodings, with one-byte references and two-byte offsets.
Bytes binaryPlist(const std::vector<Bytes>& objects, uint64_t top = 0) {
    Bytes out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<size_t> offsets;
    for (auto& object : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), object.begin(), object.end());
    }
    size_t table = out.size();
    for (size_t offset : offsets) {
        out.push_back(static_cast<uint8_t>(offset >> 8));
        out.push_back(static_cast<uint8_t>(offset));
    }
    Bytes trailer(32, 0);
    trailer[6] = 2;
    trailer[7] = 1;
    for (int i = 0; i < 8; ++i) {
        trailer[8 + i] = static_cast<uint8_t>(objects.size() >> (8 * (7 - i)));
        trailer[16 + i] = static_cast<uint8_t>(top >> (8 * (7 - i)));
        trailer[24 + i] = static_cast<uint8_t>(table >> (8 * (7 - i)));
    }
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

// Arrays nested levels deep around one string, written by libplist itself.
Bytes nestedByLibplist(int levels, bool binary) {
    plist_t root = plist_new_string("leaf");
    for (int i = 0; i < levels; ++i) {
        plist_t array = plist_new_array();
        plist_array_append_item(array, root);
        root = array;
    }
    char* raw = nullptr;
    uint32_t length = 0;
    binary ? plist_to_bin(root, &raw, &length) : plist_to_xml(root, &raw, &length);
    Bytes bytes(raw, raw + length);
    std::free(raw);
    plist_free(root);
    return bytes;
}

Ref<NSDictionary> sampleTree() {
    auto inner = NSMutableDictionary::dictionary();
    inner->setObject(NSString::stringWithUTF8String("Caf\xC3\xA9 \xF0\x9F\x98\x80"), "name");
    inner->setObject(NSArray::arrayWithObjects({}), "empty");
    auto root = NSMutableDictionary::dictionary();
    root->setObject(NSNumber::numberWithBool(true), "on");
    root->setObject(NSNumber::numberWithBool(false), "off");
    root->setObject(NSNumber::numberWithLongLong(-42), "negative");
    root->setObject(NSNumber::numberWithLongLong(std::numeric_limits<int64_t>::max()), "largest");
    root->setObject(NSNumber::numberWithLongLong(std::numeric_limits<int64_t>::min()), "smallest");
    root->setObject(NSNumber::numberWithDouble(0.75), "ratio");
    root->setObject(NSData::dataWithBytes({0, 0xde, 0xad, 0xff}), "blob");
    root->setObject(NSDate::dateWithTimeIntervalSinceReferenceDate(644241600), "stamp");
    root->setObject(NSDate::dateWithTimeIntervalSinceReferenceDate(-100), "before2001");
    root->setObject(NSArray::arrayWithObjects({NSString::stringWithUTF8String("a"), inner}), "list");
    return root;
}

} // namespace

TEST(PropertyList, EveryValueKindSurvivesBothFormats) {
    auto tree = sampleTree();
    for (auto format : {PropertyList::Format::Binary, PropertyList::Format::XML}) {
        Bytes bytes = PropertyList::serialize(tree, format);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(bytes[0] == 'b', format == PropertyList::Format::Binary);
        auto back = parseBytes(bytes);
        ASSERT_TRUE(back.value) << back.error;
        EXPECT_TRUE(same(tree, back.value)) << std::string(bytes.begin(), bytes.end());
    }
    // XML dates are whole seconds; binary ones keep the fraction, before 2001 too.
    for (double seconds : {644241600.25, -99.5}) {
        auto holder = NSMutableDictionary::dictionary();
        holder->setObject(NSDate::dateWithTimeIntervalSinceReferenceDate(seconds), "date");
        auto back = parseBytes(PropertyList::serialize(holder, PropertyList::Format::Binary));
        ASSERT_TRUE(back.value) << back.error;
        EXPECT_TRUE(same(holder, back.value)) << seconds;
    }
}

TEST(PropertyList, FilesFromOtherWritersReadAlikeInBothFormats) {
    auto xml = parseBytes(readFixture("settings-xml.plist"));
    auto binary = parseBytes(readFixture("settings-binary.plist"));
    ASSERT_TRUE(xml.value) << xml.error;
    ASSERT_TRUE(binary.value) << binary.error;
    EXPECT_TRUE(same(xml.value, binary.value));

    auto* root = objc_cast<NSDictionary>(binary.value.get());
    ASSERT_TRUE(root);
    auto* blend = objc_cast<NSNumber>(root->objectForKey("enableblend"));
    ASSERT_TRUE(blend && blend->isBoolean());
    EXPECT_TRUE(blend->boolValue());
    EXPECT_EQ(objc_cast<NSNumber>(root->objectForKey("offset"))->longLongValue(), -42);
    EXPECT_TRUE(objc_cast<NSNumber>(root->objectForKey("ratio"))->isReal());
    EXPECT_EQ(*string_value(root->objectForKey("line1")), "#FF8800");
    // 2021-06-01T12:00:00Z
    EXPECT_DOUBLE_EQ(objc_cast<NSDate>(root->objectForKey("stamp"))->timeIntervalSinceReferenceDate(),
                     644241600.0);
    EXPECT_TRUE(objc_cast<NSData>(root->objectForKey("blob"))
                    ->isEqualToData(NSData::dataWithBytes({0xde, 0xad, 0xbe, 0xef})));
    auto* apps = objc_cast<NSArray>(root->objectForKey("apps"));
    ASSERT_TRUE(apps && apps->count() == 2);
    EXPECT_EQ(*string_value(objc_cast<NSDictionary>(apps->objectAtIndex(1))->objectForKey("name")),
              "Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF"
              "code");
}

TEST(PropertyList, DamagedInputIsRejectedWithAReason) {
    Bytes valid = PropertyList::serialize(sampleTree(), PropertyList::Format::Binary);
    // Shorter cuts than "bplist" are bare OpenStep words, which is what they are.
    for (size_t cut = 6; cut < valid.size(); ++cut) {
        auto result = parseBytes(Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_FALSE(result.value) << "cut at " << cut;
        EXPECT_FALSE(result.error.empty());
    }
    Bytes xml = PropertyList::serialize(sampleTree(), PropertyList::Format::XML);
    EXPECT_FALSE(
        parseBytes(Bytes(xml.begin(), xml.begin() + static_cast<std::ptrdiff_t>(xml.size() / 2))).value);
    for (const std::string& text :
         {std::string("\x00\x01\x02garbage\xff", 12), std::string("bplist15xxxxxxxxxx"),
          std::string("<?xml version=\"1.0\"?><plist><dict><key>a</key>")}) {
        EXPECT_FALSE(parseBytes(Bytes(text.begin(), text.end())).value) << text;
    }
    Bytes huge(PropertyList::maxFileBytes + 1, ' ');
    EXPECT_NE(parseBytes(huge).error.find("larger than"), std::string::npos);
}

TEST(PropertyList, HostileBinaryStructureIsCaughtBeforeParsing) {
    // The builder itself makes sound files: { a = true }.
    auto sound = parseBytes(binaryPlist({{0xD1, 0x01, 0x02}, {0x51, 'a'}, {0x09}}));
    ASSERT_TRUE(sound.value) << sound.error;
    EXPECT_TRUE(
        objc_cast<NSNumber>(objc_cast<NSDictionary>(sound.value.get())->objectForKey("a"))->boolValue());

    struct Case {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"array holding itself", binaryPlist({{0xA1, 0x00}})},
        {"two arrays holding each other", binaryPlist({{0xA1, 0x01}, {0xA1, 0x00}})},
        {"reference past the objects", binaryPlist({{0xA1, 0x05}})},
        {"dictionary key that is not a string", binaryPlist({{0xD1, 0x01, 0x01}, {0x09}})},
        {"null object", binaryPlist({{0xA1, 0x01}, {0x00}})},
        {"UTF-16 string holding NUL", binaryPlist({{0xA1, 0x01}, {0x62, 0x00, 0x41, 0x00, 0x00}})},
        {"key holding NUL", binaryPlist({{0xD1, 0x01, 0x02}, {0x52, 'a', 0x00}, {0x09}})},
        {"string longer than the file", binaryPlist({{0x5F, 0x10, 0xFF, 'a'}})},
        {"top object past the objects", binaryPlist({{0x09}}, 3)},
    };
    for (auto& c : cases) {
        auto result = parseBytes(c.bytes);
        EXPECT_FALSE(result.value) << c.what;
        EXPECT_FALSE(result.error.empty()) << c.what;
    }

    // A date far outside what the parser's 32-bit seconds hold still reads as some date.
    EXPECT_TRUE(objc_cast<NSDate>(
        parseBytes(binaryPlist({{0x33, 0x7E, 0x37, 0xE4, 0x3C, 0x88, 0x00, 0x75, 0x9C}})).value));

    // Six levels of sixteen shared references: a few hundred bytes that expand to 16^6 values.
    std::vector<Bytes> levels;
    for (uint8_t level = 0; level < 6; ++level) {
        Bytes array = {0xAF, 0x10, 0x10};
        array.insert(array.end(), 16, static_cast<uint8_t>(level + 1));
        levels.push_back(array);
    }
    levels.push_back({0x09});
    auto bomb = parseBytes(binaryPlist(levels));
    EXPECT_FALSE(bomb.value);
    EXPECT_NE(bomb.error.find("more than"), std::string::npos) << bomb.error;
}

TEST(PropertyList, NestingIsBoundedInBothFormats) {
    for (bool binary : {true, false}) {
        EXPECT_TRUE(parseBytes(nestedByLibplist(PropertyList::maxDepth, binary)).value) << binary;
        auto deep = parseBytes(nestedByLibplist(PropertyList::maxDepth + 1, binary));
        EXPECT_FALSE(deep.value) << binary;
        EXPECT_NE(deep.error.find("nested deeper"), std::string::npos) << deep.error;
    }
    std::string deepXml = "<plist>";
    for (int i = 0; i < 100000; ++i)
        deepXml += "<array>";
    EXPECT_FALSE(parseBytes(Bytes(deepXml.begin(), deepXml.end())).value);
}

TEST(PropertyList, OnlyPropertyListValuesSerialise) {
    auto holder = NSMutableDictionary::dictionary();
    holder->setObject(make_object<NSObject>(), "object");
    EXPECT_TRUE(PropertyList::serialize(holder, PropertyList::Format::Binary).empty());

    // An array that holds itself must not recurse without end.
    auto loop = NSMutableArray::array();
    loop->addObject(loop);
    EXPECT_TRUE(PropertyList::serialize(loop, PropertyList::Format::XML).empty());
    loop->removeAllObjects();
}

TEST(PropertyList, TextThatIsNotUtf8IsRefusedAndFilesHoldingItReadAsTextAgain) {
    auto withValue = [](std::string text) {
        auto dictionary = NSMutableDictionary::dictionary();
        dictionary->setObject(NSString::stringWithUTF8String(text), "k");
        return dictionary;
    };
    for (const std::string& bad : {std::string("\xC3\x28"), std::string("ok\xFF"),
                                   std::string("\xED\xA0\x80"), std::string("a\0b", 3)}) {
        for (auto format : {PropertyList::Format::Binary, PropertyList::Format::XML})
            EXPECT_TRUE(PropertyList::serialize(withValue(bad), format).empty()) << "value " << bad;
        EXPECT_NE(PropertyList::unstorable(withValue(bad)).find("not UTF-8"), std::string::npos);
        auto keyed = NSMutableDictionary::dictionary();
        keyed->setObject(NSNumber::numberWithBool(true), bad);
        EXPECT_TRUE(PropertyList::serialize(keyed, PropertyList::Format::Binary).empty()) << "key " << bad;
    }
    auto nested = NSMutableDictionary::dictionary();
    nested->setObject(NSArray::arrayWithObjects({NSString::stringWithUTF8String("\xFF")}), "list");
    EXPECT_FALSE(PropertyList::unstorable(nested).empty());

    auto dictionaryIn = [](const Bytes& bytes) {
        return Ref<NSDictionary>(objc_cast<NSDictionary>(parseBytes(bytes).value.get()));
    };
    const std::string wave = "Zo\xC3\xAB \xF0\x9F\x8C\x8A";
    EXPECT_EQ(PropertyList::unstorable(withValue(wave)), "");
    for (auto format : {PropertyList::Format::Binary, PropertyList::Format::XML}) {
        Ref<NSDictionary> read = dictionaryIn(PropertyList::serialize(withValue(wave), format));
        ASSERT_TRUE(read && string_value(read->objectForKey("k")));
        EXPECT_EQ(*string_value(read->objectForKey("k")), wave);
    }

    // Another writer's file with stray bytes: they read as the replacement character, and what was
    // read can be written back.
    std::string xml = "<plist><dict><key>k\xFF</key><string>a\xC3\x28</string></dict></plist>";
    Ref<NSDictionary> read = dictionaryIn(Bytes(xml.begin(), xml.end()));
    ASSERT_TRUE(read && string_value(read->objectForKey("k\xEF\xBF\xBD")));
    EXPECT_EQ(*string_value(read->objectForKey("k\xEF\xBF\xBD")), "a\xEF\xBF\xBD(");
    EXPECT_EQ(PropertyList::unstorable(read), "");
    std::string openStep = "{ k = \"x\\000y\xFE\"; }";
    Ref<NSDictionary> quoted = dictionaryIn(Bytes(openStep.begin(), openStep.end()));
    ASSERT_TRUE(quoted && string_value(quoted->objectForKey("k")));
    EXPECT_EQ(*string_value(quoted->objectForKey("k")), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}
