// Every relative link and picture in README.md and docs/*.md leads to a file
// that exists and, where it names a heading (#anchor), to a heading that
// exists, so moving text between the documents cannot leave a dead link. And
// the README keeps the shape .ci/run relies on: each set-up command on the
// second line after its marker.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path ProjectRoot{KESTRO_PROJECT_DIR};

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The lines outside ``` fences, where links and headings count.
std::vector<std::string> ProseLines(const fs::path& path) {
    std::vector<std::string> prose;
    bool fenced = false;
    for (const std::string& line : ReadLines(path)) {
        if (line.starts_with("```")) {
            fenced = !fenced;
        } else if (!fenced) {
            prose.push_back(line);
        }
    }
    return prose;
}

// A heading's anchor as the hosting sites make it: lower case, spaces become
// hyphens, punctuation other than hyphens and underscores goes.
std::string Anchor(const std::string& heading) {
    std::string anchor;
    for (const char c : heading) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte) || c == '-' || c == '_') {
            anchor += static_cast<char>(std::tolower(byte));
        } else if (c == ' ') {
            anchor += '-';
        }
    }
    return anchor;
}

std::set<std::string> Anchors(const fs::path& document) {
    std::set<std::string> anchors;
    const std::regex heading{R"(^#+ (.*)$)"};
    for (const std::string& line : ProseLines(document)) {
        if (std::smatch match; std::regex_match(line, match, heading)) {
            anchors.insert(Anchor(match[1]));
        }
    }
    return anchors;
}

std::vector<fs::path> Documents() {
    std::vector<fs::path> documents{ProjectRoot / "README.md"};
    for (const auto& entry : fs::directory_iterator(ProjectRoot / "docs")) {
        if (entry.path().extension() == ".md") {
            documents.push_back(entry.path());
        }
    }
    return documents;
}

TEST(DocLinks, EveryRelativeLinkLeadsToAFileAndHeadingThatExist) {
    const std::regex link{R"(\]\(([^)\s]+)\))"};
    int links = 0;
    for (const fs::path& document : Documents()) {
        for (const std::string& line : ProseLines(document)) {
            for (std::sregex_iterator it(line.begin(), line.end(), link), end; it != end; ++it) {
                const std::string target = (*it)[1];
                if (target.find("://") != std::string::npos) {
                    continue;
                }
                ++links;
                const std::size_t hash = target.find('#');
                const std::string file = target.substr(0, hash);
                const fs::path path = file.empty() ? document : document.parent_path() / file;
                SCOPED_TRACE(document.filename().string() + ": " + target);
                EXPECT_TRUE(fs::is_regular_file(path));
                if (hash != std::string::npos && fs::is_regular_file(path)) {
                    EXPECT_TRUE(Anchors(path).contains(target.substr(hash + 1)));
                }
            }
        }
    }
    EXPECT_GT(links, 0);
}

TEST(DocLinks, ReadmeGivesEachCommandOnTheSecondLineAfterItsMarker) {
    const std::vector<std::string> readme = ReadLines(ProjectRoot / "README.md");
    for (const std::string marker : {"<!-- run-command -->", "<!-- test-command -->"}) {
        SCOPED_TRACE(marker);
        const auto at = std::find(readme.begin(), readme.end(), marker);
        ASSERT_NE(at, readme.end());
        ASSERT_GE(std::distance(at, readme.end()), 3);
        EXPECT_EQ(at[1], "```sh");
        EXPECT_TRUE(at[2].starts_with("./scripts/install-deps.sh && cmake -S . -B "));
    }
}

} // namespace
