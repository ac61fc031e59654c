#include "DeviceFixture.h"

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* prefsFile = "/var/mobile/Library/Preferences/com.vantrel.zorvi.plist";

Ref<NSDictionary> dictionaryWith(const char* key, const char* value) {
    auto dictionary = NSMutableDictionary::dictionary();
    dictionary->setObject(NSString::stringWithUTF8String(value), key);
    return dictionary;
}

std::vector<std::string> folderListing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

using PropertyListFile = DeviceFixture;

TEST_F(PropertyListFile, MissingFileIsNilWithoutALogLine) {
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(prefsFile));
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile("/var/mobile/no/such/folder/x.plist"));
    EXPECT_TRUE(log.empty());
}

TEST_F(PropertyListFile, EachBadFileIsNilWithOneLineNamingIt) {
    auto array = NSArray::arrayWithObjects({NSString::stringWithUTF8String("x")});
    auto arrayBytes = PropertyList::serialize(array, PropertyList::Format::Binary);
    auto goodBytes = PropertyList::serialize(dictionaryWith("a", "b"), PropertyList::Format::Binary);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"garbage", "\x7f\x45\x4c\x46\x02\x01 not a plist \x01"},
        {"empty", ""},
        {"truncated", std::string(goodBytes.begin(), goodBytes.end() - 5)},
        {"array-root", std::string(arrayBytes.begin(), arrayBytes.end())},
        {"deep", std::string(PropertyList::maxDepth + 1, '(') + std::string(PropertyList::maxDepth + 1, ')')},
        {"oversize", std::string(PropertyList::maxFileBytes + 1, '\n')},
    };
    for (auto& c : cases) {
        std::string path = std::string("/var/mobile/Library/Preferences/") + c.name + ".plist";
        writeFile(path, c.bytes);
        log.clear();
        EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(path)) << c.name;
        ASSERT_EQ(log.size(), 1u) << c.name;
        EXPECT_NE(log[0].find(path), std::string::npos) << log[0];
    }
    std::filesystem::create_directories(host(prefsFile));
    log.clear();
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(prefsFile));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("folder"), std::string::npos) << log[0];
}

TEST_F(PropertyListFile, DevicePathsStayInsideTheRootAndFollowTheUserLink) {
    EXPECT_FALSE(DeviceRoot::hostPath("/../x"));
    EXPECT_FALSE(DeviceRoot::hostPath("/var/../../x"));
    EXPECT_FALSE(DeviceRoot::hostPath("relative/x"));
    EXPECT_EQ(*DeviceRoot::hostPath("/var/./mobile/../log"), (root / "var/log").string());

    std::filesystem::create_directories(root / "var/mobile");
    std::filesystem::create_directory_symlink("var/mobile", root / "User");
    ASSERT_TRUE(PropertyList::writeDictionary(prefsFile, dictionaryWith("line1", "#FFFFFF")));
    auto read =
        NSDictionary::dictionaryWithContentsOfFile("/User/Library/Preferences/com.vantrel.zorvi.plist");
    ASSERT_TRUE(read);
    EXPECT_EQ(*string_value(read->objectForKey("line1")), "#FFFFFF");
    // Writing through the link lands in the same file.
    ASSERT_TRUE(
        PropertyList::update("/User/Library/Preferences/com.vantrel.zorvi.plist", [](NSMutableDictionary& d) {
            d.setObject(NSNumber::numberWithBool(true), "x");
        }));
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(prefsFile)->count(), 2u);
}

TEST_F(PropertyListFile, WritesAreWholeFilesWithNothingLeftBeside) {
    ASSERT_TRUE(PropertyList::writeDictionary(prefsFile, dictionaryWith("line1", "#111111")));
    auto folder = host(prefsFile).parent_path();
    EXPECT_EQ(folderListing(folder), std::vector<std::string>{"com.vantrel.zorvi.plist"});
    std::ifstream file(host(prefsFile), std::ios::binary);
    std::string head(8, '\0');
    file.read(head.data(), 8);
    EXPECT_EQ(head, "bplist00");

    ::chmod(host(prefsFile).c_str(), 0600);
    ASSERT_TRUE(PropertyList::writeDictionary(prefsFile, dictionaryWith("line1", "#222222"),
                                              PropertyList::Format::XML));
    struct stat info {};
    ASSERT_EQ(::stat(host(prefsFile).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "a rewrite keeps the file's mode";
    EXPECT_EQ(*string_value(NSDictionary::dictionaryWithContentsOfFile(prefsFile)->objectForKey("line1")),
              "#222222");

    // A failed write leaves the old file as it was, and no temporary file.
    auto bad = NSMutableDictionary::dictionary();
    bad->setObject(make_object<NSObject>(), "object");
    log.clear();
    EXPECT_FALSE(PropertyList::writeDictionary(prefsFile, bad));
    EXPECT_EQ(log.size(), 1u);
    std::filesystem::create_directories(host("/var/mobile/Library/Preferences/folder.plist"));
    EXPECT_FALSE(PropertyList::writeDictionary("/var/mobile/Library/Preferences/folder.plist",
                                               dictionaryWith("a", "b")));
    EXPECT_EQ(folderListing(folder), (std::vector<std::string>{"com.vantrel.zorvi.plist", "folder.plist"}));
    EXPECT_EQ(*string_value(NSDictionary::dictionaryWithContentsOfFile(prefsFile)->objectForKey("line1")),
              "#222222");
}

TEST_F(PropertyListFile, AnUpdateKeepsAFileItCannotReadAsideAndStartsANewOne) {
    std::string deep;
    for (int i = 0; i < 70; ++i)
        deep += "<array>";
    struct Case {
        const char* what;
        std::string bytes;
    };
    for (const Case& c : {Case{"unterminated", "{ unterminated"},
                          Case{"nested too deep", "<plist version=\"1.0\">" + deep + "</plist>"},
                          Case{"too large", std::string(17u << 20, ' ')}, Case{"an array", "(1, 2)"}}) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(host("/var/mobile/Library/Preferences"));
        writeFile(prefsFile, c.bytes);
        log.clear();
        ASSERT_TRUE(PropertyList::update(
            prefsFile, [](NSMutableDictionary& d) { d.setObject(dictionaryWith("a", "b"), "k"); }));
        auto read = NSDictionary::dictionaryWithContentsOfFile(prefsFile);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->count(), 1u);
        auto names = folderListing(host("/var/mobile/Library/Preferences"));
        ASSERT_EQ(names.size(), 3u) << "the new file, its lock, and the old one kept";
        EXPECT_EQ(names[1].rfind("com.vantrel.zorvi.plist.corrupt-", 0), 0u) << names[1];
        std::ifstream kept(host("/var/mobile/Library/Preferences") / names[1], std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), c.bytes) << "kept byte for byte";
        ASSERT_FALSE(log.empty());
        EXPECT_NE(log.back().find("kept as /var/mobile/Library/Preferences/com.vantrel.zorvi.plist.corrupt-"),
                  std::string::npos)
            << log.back();
    }
}

TEST_F(PropertyListFile, ConcurrentUpdatesFromTwoProcessesKeepEveryKey) {
    constexpr int rounds = 60;
    auto writer = [&](char prefix) {
        pid_t child = ::fork();
        if (child == 0) {
            DeviceLog::setObserver(nullptr);
            bool ok = true;
            for (int i = 0; i < rounds; ++i) {
                ok = ok && PropertyList::update(prefsFile, [&](NSMutableDictionary& d) {
                         d.setObject(NSNumber::numberWithLongLong(i),
                                     std::string(1, prefix) + std::to_string(i));
                     });
            }
            ::_exit(ok ? 0 : 1);
        }
        return child;
    };
    pid_t first = writer('a');
    pid_t second = writer('b');
    for (pid_t child : {first, second}) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto read = NSDictionary::dictionaryWithContentsOfFile(prefsFile);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->count(), 2u * rounds);
    EXPECT_TRUE(read->objectForKey("a59") && read->objectForKey("b59"));
    EXPECT_EQ(folderListing(host(prefsFile).parent_path()),
              (std::vector<std::string>{"com.vantrel.zorvi.plist", "com.vantrel.zorvi.plist.lock"}));
}
