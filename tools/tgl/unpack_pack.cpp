#include "qub/image/image.h"
#include "tools/common/tgl_writer.h"
#include "tools/tgl/animation_report.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace tgltool {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDescription = "animation.json";

std::vector<std::uint8_t> unhex(const std::string& text) {
    if (text.size() % 2 != 0) throw CommandError("headerRest: an odd number of hexadecimal digits");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string lowercase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The image's size, or nothing when it is not an image the engine reads.
bool imageSize(const std::vector<std::uint8_t>& bytes, int& width, int& height) {
    qub::DecodedImage image;
    if (qub::decodeImage(bytes.data(), bytes.size(), image) != qub::ImageStatus::Ok) return false;
    width = image.width;
    height = image.height;
    return true;
}

// Frames with an image each get a block; a frame without one that comes before
// a later image gets an empty block, which takes its place and shows nothing.
void addBlocks(tgltools::TglWriter& writer, const std::vector<std::vector<std::uint8_t>>& images,
               const std::vector<bool>& hasImage) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < hasImage.size(); ++i)
        if (hasImage[i]) last = i + 1;
    for (std::size_t i = 0; i < last; ++i) {
        if (hasImage[i])
            writer.image(images[i]);
        else
            writer.rawBlock({});
    }
}

int packFromDescription(const PackOptions& options) {
    const fs::path folder = options.inputs.front();
    const fs::path descriptionPath = folder / kDescription;
    nlohmann::json description;
    try {
        description = nlohmann::json::parse(readWhole(descriptionPath.string()));
    } catch (const nlohmann::json::exception& e) {
        throw CommandError(descriptionPath.string() + ": " + e.what());
    }
    try {
        tgltools::TglWriter writer;
        const int fourth = description.value("magicFourthByte", 0);
        writer.magic(std::string("DFX") + static_cast<char>(fourth));
        writer.headerRest(unhex(description.value("headerRest", std::string(72, '0'))));
        const std::int32_t flag = description.value("perFrameDurations", 0);
        writer.perFrameDurations(flag).defaultDuration(description.value("defaultDuration", 100));
        std::vector<std::vector<std::uint8_t>> images;
        std::vector<bool> hasImage;
        for (const auto& f : description.at("frames")) {
            writer.frame({f.value("x", 0), f.value("y", 0), f.value("duration", 0),
                          f.value("aux1", 0), f.value("aux2", 0)});
            const bool present = f.contains("image") && f["image"].is_string();
            hasImage.push_back(present);
            images.push_back(present ? readWhole((folder / f["image"].get<std::string>()).string())
                                     : std::vector<std::uint8_t>{});
        }
        addBlocks(writer, images, hasImage);
        writeWhole(options.output, writer.build(), options.overwrite);
    } catch (const nlohmann::json::exception& e) {
        throw CommandError(descriptionPath.string() + ": " + e.what());
    }
    return 0;
}

int packFromImages(const PackOptions& options) {
    const std::size_t count = options.inputs.size();
    if (!options.durations.empty() && options.durations.size() != count)
        throw CommandError("--durations gives " + std::to_string(options.durations.size()) +
                           " durations for " + std::to_string(count) + " images");
    if (!options.positions.empty() && options.positions.size() != count)
        throw CommandError("--positions gives " + std::to_string(options.positions.size()) +
                           " positions for " + std::to_string(count) + " images");
    std::vector<std::vector<std::uint8_t>> images;
    Progress progress("reading images", count);
    for (const std::string& input : options.inputs) {
        images.push_back(readWhole(input));
        int w = 0, h = 0;
        if (!imageSize(images.back(), w, h))
            throw CommandError(input + ": not an image the viewer can show");
        progress.step(images.size());
    }
    int firstWidth = 0, firstHeight = 0;
    imageSize(images.front(), firstWidth, firstHeight);
    // By default the animation is centred in the viewer's 800 x 600 window.
    const std::pair<std::int32_t, std::int32_t> centre{(800 - firstWidth) / 2,
                                                       (600 - firstHeight) / 2};

    tgltools::TglWriter writer;
    writer.perFrameDurations(options.durations.empty() ? 0 : 1).defaultDuration(options.duration);
    for (std::size_t i = 0; i < count; ++i) {
        const auto position = !options.positions.empty() ? options.positions[i]
                              : options.hasAt            ? options.at
                                                         : centre;
        const std::int32_t duration =
            options.durations.empty() ? options.duration : options.durations[i];
        writer.frame({position.first, position.second, duration, 0, 0});
    }
    addBlocks(writer, images, std::vector<bool>(count, true));
    writeWhole(options.output, writer.build(), options.overwrite);
    return 0;
}

} // namespace

int unpack(const std::string& file, const std::string& folder, bool overwrite) {
    const AnimationReport in = readReport(file, true);
    if (!in.error.empty()) throw CommandError(file + ": " + in.error);
    fs::create_directories(folder);
    nlohmann::json frames = nlohmann::json::array();
    Progress progress("writing frames", in.frames.size());
    for (std::size_t i = 0; i < in.frames.size(); ++i) {
        const FrameInfo& f = in.frames[i];
        nlohmann::json frame = {
            {"x", f.x}, {"y", f.y}, {"aux1", f.aux1}, {"aux2", f.aux2}, {"duration", f.duration}};
        if (f.status == FrameStatus::Ok) {
            std::string number = std::to_string(i);
            number.insert(0, number.size() < 3 ? 3 - number.size() : 0, '0');
            const std::string name = "frame_" + number + "." + lowercase(f.image.format);
            writeWhole((fs::path(folder) / name).string(), f.inflated, overwrite);
            frame["image"] = name;
        } else {
            frame["image"] = nullptr;
        }
        frames.push_back(frame);
        progress.step(i + 1);
    }
    const nlohmann::json description = {{"magicFourthByte", in.magicFourth},
                                        {"perFrameDurations", in.durationFlag},
                                        {"headerRest", hex(in.headerRest)},
                                        {"defaultDuration", in.defaultDuration},
                                        {"frames", frames}};
    const std::string text = description.dump(2) + "\n";
    writeWhole((fs::path(folder) / kDescription).string(),
               std::vector<std::uint8_t>(text.begin(), text.end()), overwrite);
    return 0;
}

int pack(const PackOptions& options) {
    if (options.inputs.empty()) throw CommandError("pack: nothing to pack");
    if (options.inputs.size() == 1 && fs::is_directory(options.inputs.front()))
        return packFromDescription(options);
    return packFromImages(options);
}

} // namespace tgltool
