// scenery.cfg: its areas parsed, then their folders resolved against a simulator folder that
// does not exist (every lookup on disk fails, as for a file from another machine).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "builder/scenery_cfg.h"
#include "platform/file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto areas =
        builder::ParseSceneryCfg(std::string_view(reinterpret_cast<const char*>(data), size));
    // A file system object of its own per input, as each build has: the object remembers the
    // folders it looked up, and one shared by every input would only grow.
    const platform::FileSystem files;
    builder::ResolveSceneryFolders(areas, "/nonexistent/fs2002", files,
                                   {"c: [System]", "d: [FS2002]"});
    return 0;
}
