#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Source/DirectoryLocations.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder standing for the user's home and data folders; "@" in a setting is its path.
class Sandbox {
public:
    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "beatwick-dirs-XXXXXX").string();
        root = fs::canonical(::mkdtemp(pattern.data())).string();
        env["HOME"] = root + "/home";
    }
    ~Sandbox() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    std::string at(const std::string& relative) const { return root + "/" + relative; }
    std::string expand(const std::string& value) const {
        return value.rfind("@", 0) == 0 ? root + value.substr(1) : value;
    }

    void makeDirectory(const std::string& relative) const { fs::create_directories(at(relative)); }
    void makeFile(const std::string& relative) const {
        fs::create_directories(fs::path(at(relative)).parent_path());
        std::ofstream(at(relative)) << "not a folder";
    }
    void makeLink(const std::string& relative, const std::string& target) const {
        fs::create_directories(fs::path(at(relative)).parent_path());
        fs::create_symlink(at(target), at(relative));
    }

    DirectoryLocations locations(std::string executable = "Beatwick") {
        DirectoryLocations::Environment e;
        e.variable = [this](const char* name) -> std::optional<std::string> {
            const auto it = env.find(name);
            if (it == env.end()) return std::nullopt;
            return expand(it->second);
        };
        e.executableName = [executable] { return executable; };
        e.log = [this](const std::string& message) { logged += message; };
        return DirectoryLocations(e);
    }

    std::string root;
    std::map<std::string, std::string> env;
    std::string logged;
};

TEST(DirectoryLocations, ApplicationSupportFolder) {
    struct Layout {
        enum Kind { Directory, File, Link } kind;
        const char* path;
        const char* target;
    };
    struct Case {
        const char* name;
        std::map<std::string, std::string> env;
        std::vector<Layout> layout;
        const char* expected;  // under the sandbox; nullptr: none, and the log holds `logged`
        const char* logged;
    };
    const char* const kFileExists =
        "Unable to find or create application support directory:\nError Domain=DirectoryLocationDomain "
        "Code=1 "
        "\"File exists at requested directory location.\"";
    const Case cases[] = {
        {"created with its parents in the default data folder",
         {},
         {},
         "home/.local/share/Beatwick",
         nullptr},
        {"created in XDG_DATA_HOME", {{"XDG_DATA_HOME", "@/data"}}, {}, "data/Beatwick", nullptr},
        {"XDG_DATA_HOME from the home folder", {{"XDG_DATA_HOME", "~/d"}}, {}, "home/d/Beatwick", nullptr},
        {"a relative XDG_DATA_HOME is ignored",
         {{"XDG_DATA_HOME", "d"}},
         {},
         "home/.local/share/Beatwick",
         nullptr},
        {"an existing folder is used",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::Directory, "data/Beatwick", nullptr}},
         "data/Beatwick",
         nullptr},
        {"a file in the way",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::File, "data/Beatwick", nullptr}},
         nullptr,
         kFileExists},
        {"a link to a folder of the same name is followed",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::Directory, "elsewhere/Beatwick", nullptr},
          {Layout::Link, "data/Beatwick", "elsewhere/Beatwick"}},
         "elsewhere/Beatwick",
         nullptr},
        {"an alias beside the folder is followed",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::Directory, "elsewhere/Beatwick", nullptr},
          {Layout::Link, "data/Beatwick alias", "elsewhere/Beatwick"}},
         "elsewhere/Beatwick",
         nullptr},
        {"an alias to a folder of another name is not, a folder is made beside it",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::Directory, "elsewhere/Other", nullptr},
          {Layout::Link, "data/Beatwick alias", "elsewhere/Other"}},
         "data/Beatwick",
         nullptr},
        {"a link in its place to a folder of another name is in the way",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::Directory, "elsewhere/Other", nullptr},
          {Layout::Link, "data/Beatwick", "elsewhere/Other"}},
         nullptr,
         kFileExists},
        {"a dangling link is in the way",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::Link, "data/Beatwick", "elsewhere/gone"}},
         nullptr,
         kFileExists},
        {"a file in the way of the data folder",
         {{"XDG_DATA_HOME", "@/data"}},
         {{Layout::File, "data", nullptr}},
         nullptr,
         "Unable to find or create application support directory:\nError Domain=NSPOSIXErrorDomain"},
    };
    for (const Case& c : cases) {
        Sandbox box;
        for (const auto& [name, value] : c.env) box.env[name] = value;
        for (const Layout& l : c.layout) {
            if (l.kind == Layout::Directory) box.makeDirectory(l.path);
            if (l.kind == Layout::File) box.makeFile(l.path);
            if (l.kind == Layout::Link) box.makeLink(l.path, l.target);
        }
        const auto folder = box.locations().applicationSupportDirectory();
        if (c.expected) {
            EXPECT_EQ(folder, box.at(c.expected)) << c.name;
            EXPECT_TRUE(fs::is_directory(box.at(c.expected))) << c.name;
            EXPECT_EQ(box.logged, "") << c.name;
        } else {
            EXPECT_EQ(folder, std::nullopt) << c.name;
            EXPECT_EQ(box.logged.rfind(c.logged, 0), 0u) << c.name << ": " << box.logged;
        }
    }
}

TEST(DirectoryLocations, ErrorsCarryDomainCodeTextAndSearchPath) {
    Sandbox box;
    box.env["XDG_DATA_HOME"] = "@/data";
    box.makeFile("data/Beatwick");
    DirectoryLocations::Environment e;
    e.variable = [&box](const char* name) -> std::optional<std::string> {
        if (!box.env.count(name)) return std::nullopt;
        return box.expand(box.env[name]);
    };
    e.localize = [](const std::string& text) { return "<" + text + ">"; };
    const DirectoryLocations locations(e);

    std::optional<DirectoryError> error;
    EXPECT_EQ(locations.findOrCreateDirectoryInDomain(NSApplicationSupportDirectory, NSSystemDomainMask,
                                                      "Beatwick", &error),
              std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "DirectoryLocationDomain");
    EXPECT_EQ(error->code, 0);
    EXPECT_EQ(error->localizedDescription, "<No path found for directory in domain.>");
    EXPECT_EQ(error->userInfo,
              (std::map<std::string, long>{{"NSSearchPathDirectory", 14}, {"NSSearchPathDomainMask", 8}}));

    EXPECT_EQ(
        locations.findOrCreateDirectoryInDomain(NSLibraryDirectory, NSUserDomainMask, "Beatwick", &error),
        std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 1);
    EXPECT_EQ(error->localizedDescription, "<File exists at requested directory location.>");
    EXPECT_EQ(error->userInfo,
              (std::map<std::string, long>{{"NSSearchPathDirectory", 5}, {"NSSearchPathDomainMask", 1}}));

    EXPECT_EQ(locations.findOrCreateDirectory(box.at("data/Beatwick"), &error), std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 1);
    EXPECT_TRUE(error->userInfo.empty());

    // Success clears the error.
    EXPECT_EQ(locations.findOrCreateDirectory(box.at("data/new/deeper"), &error), box.at("data/new/deeper"));
    EXPECT_EQ(error, std::nullopt);
}

TEST(DirectoryLocations, PlainFormFollowsAnyLinkToAFolder) {
    Sandbox box;
    box.env["XDG_DATA_HOME"] = "@/data";
    box.makeDirectory("elsewhere/Other");
    box.makeLink("data/Beatwick", "elsewhere/Other");
    EXPECT_EQ(box.locations().findOrCreateDirectoryInDomain(NSApplicationSupportDirectory, NSUserDomainMask,
                                                            "Beatwick"),
              box.at("data/Beatwick"));
}

TEST(DirectoryLocations, TheOtherFolders) {
    Sandbox box;
    DirectoryLocations locations = box.locations("Tapper");
    EXPECT_FALSE(locations.supportFolderExistsInAppSupport());
    EXPECT_FALSE(locations.supportFolderExistsInCaches());

    EXPECT_EQ(locations.cachesDirectory(), box.at("home/.cache/Tapper"));
    EXPECT_TRUE(locations.supportFolderExistsInCaches());
    box.env["XDG_CACHE_HOME"] = "@/cache";
    EXPECT_EQ(locations.cachesDirectory(), box.at("cache/Tapper"));

    EXPECT_EQ(locations.libraryOnlyDirectory(), box.at("home/.local/share"));
    EXPECT_EQ(locations.libraryDirectory(), box.at("home/.local/share/Tapper"));
    EXPECT_TRUE(locations.supportFolderExistsInLibrary());
    EXPECT_TRUE(locations.supportFolderExistsInAppSupport());

    box.env["XDG_DATA_HOME"] = "@/data";
    EXPECT_FALSE(locations.supportFolderOrAliasExistsInAppSupport());
    box.makeDirectory("elsewhere/Other");
    box.makeLink("data/Tapper alias", "elsewhere/Other");
    EXPECT_FALSE(locations.supportFolderOrAliasExistsInAppSupport());
    box.makeDirectory("elsewhere/Tapper");
    fs::remove(box.at("data/Tapper alias"));
    box.makeLink("data/Tapper alias", "elsewhere/Tapper");
    EXPECT_TRUE(locations.supportFolderOrAliasExistsInAppSupport());
    EXPECT_FALSE(locations.supportFolderExistsInAppSupport());
    EXPECT_EQ(box.logged, "");
}

}  // namespace
