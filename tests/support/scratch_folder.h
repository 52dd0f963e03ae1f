#pragma once

// A scratch folder that is the working directory while it lives. The shared state is reset
// on entry and on exit, so every test starts as the program does.

#include <filesystem>
#include <random>
#include <string>

#include "model/shared_state.h"

namespace testing_support {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "tarvolo-test") {
        std::random_device random;
        m_root = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
        std::filesystem::create_directories(m_root / "work");
        m_savedCwd = std::filesystem::current_path();
        std::filesystem::current_path(m_root / "work");
        model::ResetSharedState();
    }

    ~ScratchFolder() {
        model::ResetSharedState();
        std::error_code ignored;
        std::filesystem::current_path(m_savedCwd, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The scratch root; the working directory is its "work" folder.
    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Work() const { return m_root / "work"; }

private:
    std::filesystem::path m_root;
    std::filesystem::path m_savedCwd;
};

}  // namespace testing_support
