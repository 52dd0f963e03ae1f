#pragma once

// A scratch folder that is the working directory while it lives. The shared state is reset
// on entry and on exit, so every test starts as the program does.

#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "model/shared_state.h"

namespace testing_support {

// The working directory moved to `folder` while it lives, and back however the test ends.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder)
        : m_saved(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() {
        std::error_code ignored;
        std::filesystem::current_path(m_saved, ignored);
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path m_saved;
};

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "tarvolo-test") {
        std::random_device random;
        m_root = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
        std::filesystem::create_directories(m_root / "work");
        m_in.emplace(m_root / "work");
        model::ResetSharedState();
    }

    ~ScratchFolder() {
        model::ResetSharedState();
        m_in.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The scratch root; the working directory is its "work" folder.
    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Work() const { return m_root / "work"; }

private:
    std::filesystem::path m_root;
    std::optional<InFolder> m_in;
};

}  // namespace testing_support
