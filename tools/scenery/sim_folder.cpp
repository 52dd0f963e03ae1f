#include "tools/scenery/sim_folder.h"

#include <fstream>

#include "tools/scenery/bgl_writer.h"

namespace tools {
namespace fs = std::filesystem;
namespace {

std::string ReplaceSim(std::string text, const std::string& simFolder) {
    const std::string mark = "{SIM}";
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
        text.replace(at, mark.size(), simFolder);
        at += simFolder.size();
    }
    return text;
}

bool WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

bool WriteText(const fs::path& path, const std::string& text) {
    return WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace

std::string SceneryCfgText(const WorldSpec& world, const std::string& simFolder) {
    std::string text;
    auto line = [&text](const std::string& content) { text += content + "\r\n"; };
    if (world.extraGeneralSection) {
        line("[General]");
        line("Title=FS2002 World Scenery");
        line("Description=FS2002 Scenery Data");
        line("Clean_on_Exit=TRUE");
        line("");
    }
    int textureId = 1;
    for (const AreaSpec& area : world.areas) {
        line(area.header);
        line("Title=" + area.title);
        line("Texture_ID=" + std::to_string(textureId++));
        line("Local=" + ReplaceSim(area.local, simFolder));
        line("Layer=" + std::to_string(area.layer));
        line(std::string("Active=") + (area.active ? "TRUE" : "FALSE"));
        line("Required=FALSE");
        line("");
    }
    return text;
}

std::optional<std::string> WriteSimulatorFolder(const WorldSpec& world, const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder / "Scenery", error);
    if (error) {
        return "cannot create " + folder.string() + ": " + error.message();
    }
    const fs::path absolute = fs::absolute(folder, error);
    if (!WriteText(folder / "fs2002.exe", "MZ placeholder for the simulator\n") ||
        !WriteText(folder / "scenery.cfg", SceneryCfgText(world, absolute.string())) ||
        !WriteBytes(folder / "Scenery" / "magdec.bgl", WriteMagdec(world))) {
        return "cannot write into " + folder.string();
    }
    for (const AreaSpec& area : world.areas) {
        if (area.folder.empty()) {
            continue;  // an area whose folder is missing on purpose
        }
        const fs::path areaFolder = folder / area.folder;
        fs::create_directories(areaFolder, error);
        if (error) {
            return "cannot create " + areaFolder.string() + ": " + error.message();
        }
        for (const BglFileSpec& file : area.files) {
            if (!WriteBytes(areaFolder / file.name, WriteBgl(file))) {
                return "cannot write " + (areaFolder / file.name).string();
            }
        }
    }
    return std::nullopt;
}

}  // namespace tools
