#include "platform/Defaults.h"
#include "platform/Log.h"

#include "ScopedLog.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kx {
namespace {

namespace fs = std::filesystem;

class JsonDefaultsTest : public ::testing::Test {
protected:
    void writeFile(const std::string& contents)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << contents;
    }
    static std::string read(const fs::path& path)
    {
        std::ostringstream contents;
        contents << std::ifstream(path).rdbuf();
        return contents.str();
    }
    std::vector<fs::path> folderEntries() const
    {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(file.parent_path()))
            entries.push_back(entry.path().filename());
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    const test::TempFolder folder{"kx-defaults"};
    const fs::path root = folder.path();
    const fs::path file = root / "config" / "kestrelix" / "defaults.json";
    const test::ScopedLog log{root / "kestrelix.log"};
};

// Every type survives a write and a fresh read, and the folder is made on the first write.
TEST_F(JsonDefaultsTest, keepsEachTypeAcrossRestarts)
{
    {
        JsonDefaults defaults(file);
        defaults.set("kestrelix.troubleshooting", true);
        defaults.set("kestrelix.lifetimeWordsFixed", std::int64_t{42});
        defaults.set("kestrelix.correctionMode", std::string("ask"));
        defaults.set("kestrelix.disabledBundleIDs", StringArray{"org.gnome.Terminal", "x\u05E9"});
        defaults.set("kestrelix.appNames", StringDictionary{{"firefox", "Firefox"}});
    }
    JsonDefaults defaults(file);
    EXPECT_EQ(defaults.boolean("kestrelix.troubleshooting"), true);
    EXPECT_EQ(defaults.integer("kestrelix.lifetimeWordsFixed"), 42);
    EXPECT_EQ(defaults.string("kestrelix.correctionMode"), "ask");
    EXPECT_EQ(defaults.stringArray("kestrelix.disabledBundleIDs"), (StringArray{"org.gnome.Terminal", "x\u05E9"}));
    EXPECT_EQ(defaults.dictionary("kestrelix.appNames"), (StringDictionary{{"firefox", "Firefox"}}));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(folderEntries(), (std::vector<fs::path>{"defaults.json"}));  // no temporary left behind
}

// A value stored with another type reads as absent: only a Boolean counts, 1 is no Boolean, 1.0 no integer.
TEST_F(JsonDefaultsTest, valueOfWrongTypeReadsAsAbsent)
{
    writeFile(R"({"kestrelix.swapSound": "no", "one": 1, "real": 1.0, "yes": true,
                  "numbers": [1, 2], "mixed": {"a": 1}})");
    JsonDefaults defaults(file);
    EXPECT_EQ(defaults.boolean("kestrelix.swapSound"), std::nullopt);
    EXPECT_EQ(defaults.string("kestrelix.swapSound"), "no");
    EXPECT_EQ(defaults.boolean("one"), std::nullopt);
    EXPECT_EQ(defaults.integer("one"), 1);
    EXPECT_EQ(defaults.integer("real"), std::nullopt);
    EXPECT_EQ(defaults.integer("yes"), std::nullopt);
    EXPECT_EQ(defaults.boolean("yes"), true);
    EXPECT_EQ(defaults.stringArray("numbers"), std::nullopt);
    EXPECT_EQ(defaults.dictionary("mixed"), std::nullopt);
    EXPECT_FALSE(defaults.contains("numbers"));
}

// Rewriting the file keeps values no setting uses, and removing a key drops only that key.
TEST_F(JsonDefaultsTest, rewriteKeepsUnknownShapesAndRemovesKeys)
{
    writeFile(R"({"numbers": [1, 2], "real": 2.5, "gone": "x"})");
    JsonDefaults defaults(file);
    defaults.remove("gone");
    const auto json = nlohmann::json::parse(read(file));
    EXPECT_EQ(json, nlohmann::json::parse(R"({"numbers": [1, 2], "real": 2.5})"));
}

// An unreadable file is set aside under a time-stamped name before the next write, and that is logged.
TEST_F(JsonDefaultsTest, damagedFileIsSetAsideBeforeTheNextWrite)
{
    writeFile("{\"kestrelix.correctionMode\": \"manual\",");
    JsonDefaults defaults(file);
    EXPECT_EQ(defaults.string("kestrelix.correctionMode"), std::nullopt);
    EXPECT_EQ(folderEntries().size(), 1u);  // nothing moves until a setting changes

    defaults.set("kestrelix.troubleshooting", false);
    const auto entries = folderEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "defaults.json");
    EXPECT_EQ(entries[1].string().rfind("defaults.json.damaged-", 0), 0u);
    EXPECT_EQ(read(file.parent_path() / entries[1]), "{\"kestrelix.correctionMode\": \"manual\",");
    EXPECT_EQ(JsonDefaults(file).boolean("kestrelix.troubleshooting"), false);
    Log::flush();
    EXPECT_NE(read(Log::url()).find(entries[1].string()), std::string::npos);
}

// A file holding valid JSON that is not an object is set aside too, never overwritten.
TEST_F(JsonDefaultsTest, nonObjectFileIsSetAside)
{
    writeFile("[\"kestrelix.seenWalkthrough\"]");
    JsonDefaults defaults(file);
    defaults.set("kestrelix.seenWalkthrough", true);
    EXPECT_EQ(folderEntries().size(), 2u);
}

// When the file cannot be written the change is logged and still holds for this run.
TEST_F(JsonDefaultsTest, failedWriteIsLoggedAndKeptInMemory)
{
    std::ofstream(root / "blocker") << "a file where a folder should be";
    JsonDefaults defaults(root / "blocker" / "defaults.json");
    defaults.set("kestrelix.debugLogging", true);
    EXPECT_EQ(defaults.boolean("kestrelix.debugLogging"), true);
    Log::flush();
    EXPECT_NE(read(Log::url()).find("defaults: cannot write"), std::string::npos);
}

// A change another program makes to the file is seen at the next read, a write here keeps it, and
// a half-done edit leaves the settings as they were until the file reads again.
TEST_F(JsonDefaultsTest, changesMadeByAnotherProgramAreSeen)
{
    JsonDefaults defaults(file);
    defaults.set("kestrelix.debugLogging", true);
    EXPECT_EQ(defaults.boolean("kestrelix.ngramOff"), std::nullopt);

    writeFile(R"({"kestrelix.debugLogging": true, "kestrelix.ngramOff": true})");
    EXPECT_EQ(defaults.boolean("kestrelix.ngramOff"), true);

    defaults.set("kestrelix.seenWalkthrough", true);
    const JsonDefaults fresh(file);
    EXPECT_EQ(fresh.boolean("kestrelix.ngramOff"), true);
    EXPECT_EQ(fresh.boolean("kestrelix.seenWalkthrough"), true);

    writeFile(R"({"kestrelix.ngramOff": fal)");
    EXPECT_EQ(defaults.boolean("kestrelix.ngramOff"), true);
    EXPECT_EQ(defaults.boolean("kestrelix.debugLogging"), true);
    writeFile(R"({"kestrelix.ngramOff": false})");
    EXPECT_EQ(defaults.boolean("kestrelix.ngramOff"), false);
    EXPECT_EQ(defaults.boolean("kestrelix.debugLogging"), std::nullopt);
}

// A value nested without end is no crash, when read or when the file is rewritten: past the depth
// limit the file counts as damaged and is set aside; a value nested within it is kept as written.
TEST_F(JsonDefaultsTest, deepNestingIsSetAsideNotFollowed)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string damaged = R"({"kestrelix.swapSound": false, "x": )" + deep + "}";
    writeFile(damaged);
    JsonDefaults defaults(file);
    EXPECT_FALSE(defaults.readable());
    EXPECT_EQ(defaults.boolean("kestrelix.swapSound"), std::nullopt);
    defaults.set("kestrelix.debugLogging", true);
    const auto entries = folderEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(read(file.parent_path() / entries[1]), damaged);
    EXPECT_TRUE(JsonDefaults(file).readable());
    Log::flush();
    EXPECT_NE(read(Log::url()).find("nested deeper than 32 levels"), std::string::npos);

    const std::string nested = std::string(20, '[') + "1" + std::string(20, ']');
    writeFile(R"({"x": )" + nested + "}");
    JsonDefaults(file).set("kestrelix.debugLogging", false);
    EXPECT_EQ(nlohmann::json::parse(read(file))["x"].dump(), nested);
}

// Only a regular file within the size limit is read: a FIFO or a link to a device is refused at
// once (not waited on, not read without end) and set aside before the next write.
TEST_F(JsonDefaultsTest, onlyRegularFilesWithinTheLimitAreRead)
{
    fs::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    JsonDefaults fromFifo(file);
    EXPECT_FALSE(fromFifo.readable());
    fromFifo.set("kestrelix.seenWalkthrough", true);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
    EXPECT_TRUE(fs::is_fifo(file.parent_path() / folderEntries()[1]));

    fs::remove_all(file.parent_path());
    fs::create_directories(file.parent_path());
    fs::create_symlink("/dev/zero", file);
    JsonDefaults fromDevice(file);
    EXPECT_FALSE(fromDevice.readable());
    fromDevice.set("kestrelix.seenWalkthrough", true);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
    EXPECT_EQ(fs::read_symlink(file.parent_path() / folderEntries()[1]), "/dev/zero");

    writeFile(R"({"kestrelix.correctionMode": "manual", "kestrelix.swapSoundName": "Glass"})");
    const JsonDefaults small(file, 64);
    EXPECT_FALSE(small.readable());
    EXPECT_EQ(small.string("kestrelix.correctionMode"), std::nullopt);
    Log::flush();
    const std::string logged = read(Log::url());
    EXPECT_NE(logged.find("defaults: cannot read " + file.string() + " (not a regular file)"), std::string::npos);
    EXPECT_NE(logged.find("(larger than 64 bytes)"), std::string::npos);
}

// Settings kept in a dotfiles repository stay there: a write goes through the link to its target.
TEST_F(JsonDefaultsTest, linkedFileIsWrittenThrough)
{
    fs::create_directories(root / "dotfiles");
    fs::create_directories(file.parent_path());
    fs::create_symlink(root / "dotfiles" / "kestrelix.json", file);
    std::ofstream(root / "dotfiles" / "kestrelix.json") << R"({"kestrelix.correctionMode": "ask"})";

    JsonDefaults defaults(file);
    defaults.set("kestrelix.correctionMode", std::string("manual"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(JsonDefaults(root / "dotfiles" / "kestrelix.json").string("kestrelix.correctionMode"), "manual");
}

// A link to something that is no settings file (the user's notes, a damaged dotfile) goes aside
// as the link: what it leads to stays where and as it was, the settings get a file of their own,
// and the log names the link, its target and where the settings now are.
TEST_F(JsonDefaultsTest, unreadableLinkedFileIsSetAsideAsTheLink)
{
    const std::pair<fs::path, std::string> targets[] = {
        {root / "notes.txt", "buy milk\n"},
        {root / "dotfiles" / "kestrelix.json", R"({"kestrelix.correctionMode": "ask",})"},
    };
    for (const auto& [target, text] : targets) {
        SCOPED_TRACE(target);
        fs::remove_all(file.parent_path());
        fs::create_directories(file.parent_path());
        fs::create_directories(target.parent_path());
        std::ofstream(target) << text;
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
        fs::create_symlink(target, file);

        JsonDefaults defaults(file);
        defaults.set("kestrelix.seenWalkthrough", true);

        EXPECT_EQ(read(target), text);
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
        for (const auto& entry : fs::directory_iterator(target.parent_path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(target.filename().string() + "."));
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_EQ(JsonDefaults(file).boolean("kestrelix.seenWalkthrough"), true);
        const auto entries = folderEntries();
        ASSERT_EQ(entries.size(), 2u);
        const fs::path aside = file.parent_path() / entries[1];
        ASSERT_TRUE(fs::is_symlink(aside));
        EXPECT_EQ(fs::read_symlink(aside), target);
        EXPECT_NE(log.text().find("defaults: set aside unreadable " + file.string() + " (a link to " + target.string() +
                                  ", left as it is) as " + entries[1].string() + "; the settings are now in " +
                                  file.string()),
                  std::string::npos)
            << log.text();
    }
}

// A setting of the wrong type, in any shape, is logged once in one line however often it is read,
// and again only when the file is read anew; a damaged file is reported once.
TEST_F(JsonDefaultsTest, wrongTypedSettingsAreLoggedOnce)
{
    writeFile(R"({"kestrelix.correctionMode": 7, "kestrelix.debugLogging": [1],
                  "kestrelix.disabledBundleIDs": {"a": 1}, "kestrelix.swapSound": true})");
    JsonDefaults defaults(file);
    for (int read = 0; read < 2; ++read) {
        EXPECT_EQ(defaults.string("kestrelix.correctionMode"), std::nullopt);
        EXPECT_EQ(defaults.boolean("kestrelix.debugLogging"), std::nullopt);
        EXPECT_EQ(defaults.stringArray("kestrelix.disabledBundleIDs"), std::nullopt);
        EXPECT_EQ(defaults.boolean("kestrelix.swapSound"), true);
        EXPECT_EQ(defaults.boolean("kestrelix.ngramOff"), std::nullopt);
    }
    const auto count = [this](const std::string& line) {
        const std::string logged = log.text();
        std::size_t found = 0;
        for (auto at = logged.find(line); at != std::string::npos; at = logged.find(line, at + 1))
            ++found;
        return found;
    };
    const std::string lines[] = {
        "defaults: kestrelix.correctionMode holds an integer, not a string; it is ignored\n",
        "defaults: kestrelix.debugLogging holds a list with other than strings, not a Boolean; it is ignored\n",
        "defaults: kestrelix.disabledBundleIDs holds a dictionary with other than strings, not a list of strings; "
        "it is ignored\n",
    };
    for (const std::string& line : lines)
        EXPECT_EQ(count(line), 1u) << log.text();
    EXPECT_EQ(count("defaults: "), 3u) << log.text();

    // Edited by hand again, still wrong: said again, once.
    writeFile(R"({"kestrelix.correctionMode": 8})");
    EXPECT_EQ(defaults.string("kestrelix.correctionMode"), std::nullopt);
    EXPECT_EQ(defaults.string("kestrelix.correctionMode"), std::nullopt);
    EXPECT_EQ(count(lines[0]), 2u) << log.text();

    writeFile("{,");
    EXPECT_FALSE(defaults.readable());
    EXPECT_FALSE(defaults.readable());
    EXPECT_EQ(count("defaults: cannot read " + file.string()), 1u) << log.text();
}

// Memory defaults follow the same typing rules.
TEST(MemoryDefaultsTest, typesAsTheFileDoes)
{
    MemoryDefaults defaults;
    defaults.set("kestrelix.swapSound", std::string("no"));
    EXPECT_EQ(defaults.boolean("kestrelix.swapSound"), std::nullopt);
    defaults.set("kestrelix.swapSound", false);
    EXPECT_EQ(defaults.boolean("kestrelix.swapSound"), false);
    defaults.remove("kestrelix.swapSound");
    EXPECT_FALSE(defaults.contains("kestrelix.swapSound"));
}

}  // namespace
}  // namespace kx
