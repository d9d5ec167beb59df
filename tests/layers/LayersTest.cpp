// The source tree shows the architecture: each folder under src/ is one layer
// whose CMakeLists.txt opens with a line ending in "Uses: a, b." (or "Uses:
// nothing of ours."), and every include of the folder's files names the folder
// itself or one of those. Includes are written from src/, never by a bare
// sibling name.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path SourceRoot{KESTRO_SOURCE_DIR};

struct Layer {
    std::string folder; // relative to src/, e.g. "platform/serial"
    std::set<std::string> uses;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The layers and what each may use, from the first line of their CMakeLists.txt.
std::map<std::string, Layer> ReadLayers() {
    std::map<std::string, Layer> layers;
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot)) {
        if (entry.path().filename() != "CMakeLists.txt" || entry.path().parent_path() == SourceRoot)
            continue;
        Layer layer;
        layer.folder = fs::relative(entry.path().parent_path(), SourceRoot).string();
        std::string first;
        std::getline(std::ifstream(entry.path()) >> std::ws, first);
        const auto at = first.find("Uses:");
        EXPECT_TRUE(first.starts_with("# ") && at != std::string::npos)
            << layer.folder << "/CMakeLists.txt must open with '# <what>. Uses: <folders>.'";
        if (at == std::string::npos)
            continue;
        std::string list = first.substr(at + 5);
        if (list.find("nothing of ours") == std::string::npos) {
            std::replace(list.begin(), list.end(), ',', ' ');
            std::istringstream words(list);
            for (std::string word; words >> word;) {
                if (word.ends_with('.'))
                    word.pop_back();
                layer.uses.insert(word);
            }
        }
        layers[layer.folder] = layer;
    }
    return layers;
}

struct Include {
    fs::path file;
    std::string target;
};

std::vector<Include> QuotedIncludes() {
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<Include> found;
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot)) {
        const auto ext = entry.path().extension();
        if (ext != ".h" && ext != ".cpp")
            continue;
        std::istringstream text(ReadAll(entry.path()));
        for (std::string line; std::getline(text, line);) {
            std::smatch match;
            if (std::regex_search(line, match, include))
                found.push_back({entry.path(), match[1]});
        }
    }
    return found;
}

// The layer a file belongs to: the longest folder with a CMakeLists.txt that holds it.
std::string LayerOf(const std::map<std::string, Layer>& layers, const std::string& relative) {
    std::string best;
    for (const auto& [folder, layer] : layers)
        if (relative.starts_with(folder + "/") && folder.size() > best.size())
            best = folder;
    return best;
}

TEST(Layers, EveryIncludeNamesItsOwnFolderOrOneBelow) {
    const auto layers = ReadLayers();
    ASSERT_GE(layers.size(), 12u);
    EXPECT_EQ(layers.at("modbus").uses.size(), 0u);
    int checked = 0;
    for (const auto& include : QuotedIncludes()) {
        if (include.target.ends_with(".moc"))
            continue;
        const std::string from = LayerOf(layers, fs::relative(include.file, SourceRoot).string());
        const std::string to = LayerOf(layers, include.target);
        ASSERT_FALSE(from.empty()) << include.file << " lies outside every layer";
        EXPECT_TRUE(fs::exists(SourceRoot / include.target))
            << include.file << " includes \"" << include.target
            << "\", which is not a path from src/";
        if (to.empty())
            continue;
        EXPECT_TRUE(to == from || layers.at(from).uses.contains(to))
            << include.file << " (" << from << ") includes " << include.target << " (" << to
            << "), which its CMakeLists.txt does not name";
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

TEST(Layers, NoFolderGrowsPastFifteenSourceFiles) {
    // A folder with more is holding more than one thing: split it by what it holds.
    constexpr int Limit = 15;
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot)) {
        if (!entry.is_directory())
            continue;
        int sources = 0;
        for (const auto& file : fs::directory_iterator(entry.path()))
            sources += file.path().extension() == ".cpp" ? 1 : 0;
        EXPECT_LE(sources, Limit) << entry.path();
    }
}

TEST(Layers, ThePlatformFolderHoldsOnlyItsParts) {
    std::set<std::string> parts;
    for (const auto& entry : fs::directory_iterator(SourceRoot / "platform")) {
        EXPECT_TRUE(entry.is_directory()) << entry.path() << " lies directly in platform/";
        parts.insert(entry.path().filename().string());
    }
    EXPECT_EQ(parts, (std::set<std::string>{"drawing", "net", "serial", "storage", "system"}));
    const auto layers = ReadLayers();
    for (const auto& [folder, layer] : layers) {
        if (!folder.starts_with("platform/"))
            continue;
        for (const auto& used : layer.uses)
            EXPECT_TRUE(used.starts_with("platform/")) << folder << " uses " << used;
    }
}

// The headers of platform/ that the layers above include.
std::set<std::string> PlatformHeadersUsedAbove() {
    std::set<std::string> used;
    for (const auto& include : QuotedIncludes()) {
        const std::string from = fs::relative(include.file, SourceRoot).string();
        if (!from.starts_with("platform/") && include.target.starts_with("platform/"))
            used.insert(include.target);
    }
    return used;
}

// A unit of the platform that the layers above use, implemented for Linux
// only, would build on Linux and fail to link on Windows, where no Linux
// build would notice: each such unit has its twin in win32/ of the same name.
TEST(Layers, EveryPlatformUnitUsedAboveHasBothTwins) {
    const std::set<std::string> usedAbove = PlatformHeadersUsedAbove();
    int twins = 0;
    for (const auto& part : fs::directory_iterator(SourceRoot / "platform")) {
        for (const char* system : {"linux", "win32"}) {
            const fs::path folder = part.path() / system;
            if (!fs::is_directory(folder))
                continue;
            const char* other = std::string(system) == "linux" ? "win32" : "linux";
            for (const auto& file : fs::directory_iterator(folder)) {
                if (file.path().extension() != ".cpp")
                    continue;
                const std::string unit = file.path().stem().string();
                const std::string header =
                    "platform/" + part.path().filename().string() + "/" + unit + ".h";
                if (!usedAbove.contains(header))
                    continue;
                EXPECT_TRUE(fs::exists(part.path() / other / file.path().filename()))
                    << header << " is used above the platform and has no " << other << " twin";
                ++twins;
            }
        }
    }
    EXPECT_GT(twins, 20);
}

// The system is chosen by CMake, one file per system: no class or function
// has branches for one system and another.
TEST(Layers, NoSourceBranchesOnTheSystem) {
    static const std::regex systemBranch(
        R"re(#\s*(if|ifdef|ifndef|elif)\b[^\n]*\b(_WIN32|_WIN64|WIN32|__linux__|__unix__|Q_OS_\w+))re");
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot)) {
        const auto ext = entry.path().extension();
        if (ext != ".h" && ext != ".cpp")
            continue;
        EXPECT_FALSE(std::regex_search(ReadAll(entry.path()), systemBranch))
            << fs::relative(entry.path(), SourceRoot) << " branches on the system";
    }
}

TEST(Layers, OnlyThePlatformTalksToTheTerminalDriver) {
    static const std::regex deviceHeader(
        R"re(#\s*include\s*<(termios\.h|sys/ioctl\.h|asm/termbits\.h|linux/serial\.h)>)re");
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot)) {
        if (!entry.is_regular_file())
            continue;
        const std::string relative = fs::relative(entry.path(), SourceRoot).string();
        if (relative.starts_with("platform/"))
            continue;
        EXPECT_FALSE(std::regex_search(ReadAll(entry.path()), deviceHeader))
            << relative << " includes a terminal driver header";
    }
}

} // namespace
