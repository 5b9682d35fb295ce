// The drawing session of the review and query tools (render-atlas,
// route-atlas) reads the data folder and the atlas it is given and writes
// into neither.

#include "tools/render-atlas/AtlasRendering.h"

#include "tests/support/FirstRunData.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Every file below a folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(entry.path(), folder).string()] = bytes.str();
    }
    return files;
}

std::size_t scratchFolders() {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
        n += entry.path().filename().string().starts_with("mirel-atlas-") ? 1 : 0;
    return n;
}

TEST(AtlasRendering, TheSessionLeavesItsFoldersAsItFoundThem) {
    TestSupport::TempDir dir;
    const fs::path data = dir.path() / "data";
    fs::copy(fs::path(MIREL_SOURCE_DIR) / "data", data, fs::copy_options::recursive);
    const auto before = snapshot(data);
    ASSERT_FALSE(before.contains("atlas.xml"));
    const fs::path atlas = dir.path() / "atlas";
    fs::copy(MIREL_DEMO_ATLAS_DIR, atlas, fs::copy_options::recursive);
    TestSupport::forgetDriverFiles(atlas);
    const auto atlasBefore = snapshot(atlas);
    // Counted in a temporary folder of this test's own: other tests running
    // beside it open and close sessions of their own.
    const fs::path tmp = dir.path() / "tmp";
    fs::create_directories(tmp);
    const char* const oldTmp = std::getenv("TMPDIR");
    const std::string oldTmpValue = oldTmp != nullptr ? oldTmp : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    const std::size_t scratch = scratchFolders();
    {
        AtlasRendering::ViewSettings view;
        view.width = 64;
        view.height = 48;
        AtlasRendering::Session session(atlas.string(), data.string(), view);
        EXPECT_GT(session.atlas().mapCount(), 0u);
        session.draw();
        EXPECT_EQ(scratchFolders(), scratch + 1) << "the session writes into a scratch folder";
    }
    EXPECT_EQ(snapshot(data), before);
    EXPECT_EQ(snapshot(atlas), atlasBefore) << "nor the atlas folder";
    EXPECT_EQ(scratchFolders(), scratch) << "the session's scratch folder goes with it";
    if (oldTmp != nullptr) ::setenv("TMPDIR", oldTmpValue.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

TEST(AtlasRendering, ADataFolderWithoutMapStylesIsRefused) {
    // An empty frame would otherwise pass for a fast one in the benchmarks.
    TestSupport::TempDir dir;
    const fs::path data = dir.path() / "data";
    fs::create_directories(data);
    AtlasRendering::ViewSettings view;
    try {
        AtlasRendering::Session session(MIREL_DEMO_ATLAS_DIR, data.string(), view);
        FAIL() << "a session without styles was opened";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "the data folder has no map styles (styles/polylines.xml)");
    }
}

} // namespace
