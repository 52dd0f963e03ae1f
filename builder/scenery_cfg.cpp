#include "builder/scenery_cfg.h"

#include "platform/ansi.h"

namespace builder {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

// Lines split at CR LF, a lone CR or a lone LF, so files saved on any system read alike.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string result;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string_view::npos;
         at = text.find(from, start)) {
        result.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

}  // namespace

std::vector<model::SceneryArea> ParseSceneryCfg(std::string_view fileText) {
    const std::vector<std::string_view> lines = SplitLines(fileText);
    std::vector<std::string> headers;
    for (const std::string_view line : lines) {
        const std::size_t close = line.find(']');
        if (!line.empty() && line.front() == '[' && close != std::string_view::npos) {
            headers.emplace_back(line.substr(0, close + 1));
        }
    }
    std::string whole;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            whole += kLineBreak;
        }
        whole += lines[i];
    }

    std::vector<model::SceneryArea> areas;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (platform::LowerAnsi(headers[i]).find("[area.") == std::string::npos) {
            continue;
        }
        const std::size_t start = whole.find(headers[i]);
        // The block ends before the next header found after its start, so a header repeated
        // later gives both sections the first one's block, never an empty one.
        std::size_t end = whole.size();
        if (i + 1 < headers.size()) {
            const std::size_t next = whole.find(headers[i + 1], start + 1);
            if (next != std::string::npos) {
                end = next;
            }
        }
        const std::string_view block = std::string_view(whole).substr(start, end - start);
        model::SceneryArea area;
        area.Title = GetCfgValue(block, "Title");
        area.Texture_ID = GetCfgValue(block, "Texture_ID");
        area.Active = GetCfgValue(block, "Active");
        area.Layer = GetCfgValue(block, "Layer");
        area.Required = GetCfgValue(block, "Required");
        area.Remote = GetCfgValue(block, "Remote");
        area.Local = GetCfgValue(block, "Local");
        areas.push_back(std::move(area));
    }
    return areas;
}

std::string GetCfgValue(std::string_view block, std::string_view key) {
    std::string text(block);
    text += kLineBreak;
    const std::string wanted = platform::LowerAnsi(key) + "=";
    const std::size_t found = platform::LowerAnsi(text).find(wanted);
    if (found == std::string::npos) {
        return {};
    }
    const std::size_t valueStart = found + wanted.size();
    const std::size_t lineEnd = text.find(kLineBreak, valueStart);
    return ReplaceAll(text.substr(valueStart, lineEnd - valueStart), kLineBreak, "");
}

void ResolveSceneryFolders(std::vector<model::SceneryArea>& areas, const std::string& simPath,
                           const platform::FileSystem& files,
                           const std::vector<std::string>& driveList) {
    for (model::SceneryArea& area : areas) {
        if (area.Local.empty()) {
            continue;
        }
        std::string local = ReplaceAll(platform::TrimSpaces(area.Local), "/", "\\");
        const std::string lower = platform::LowerAnsi(local);
        if (!lower.ends_with("\\scenery") && lower != "scenery") {
            local += "\\scenery";
        }
        for (const std::string& entry : driveList) {
            if (entry.size() < 4) {
                continue;
            }
            const std::string label = platform::LowerAnsi(std::string_view(entry).substr(3));
            const std::string lowerLocal = platform::LowerAnsi(local);
            if (lowerLocal.find(label) != std::string::npos) {
                local = ReplaceAll(lowerLocal, label, entry.substr(0, 2));
            }
        }
        if (!files.FolderExists(local)) {
            local = platform::LowerAnsi(simPath + "\\" + local);
        }
        local = platform::LowerAnsi(local);
        area.Local = files.FolderExists(local) ? local : std::string();
    }
}

}  // namespace builder
