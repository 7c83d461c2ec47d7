#include "format/tgl_format.h"
#include "image/image.h"
#include "platform/file_names.h"
#include "tools/common/tgl_writer.h"
#include "tools/tgl/animation_report.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/frames_json.h"
#include "tools/tgl/output.h"
#include "tools/tgl/packing.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace tgltool {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDescription = "animation.json";

using nlohmann::json;

// The header bytes after the flag word, as unpack writes them: 72 hex digits.
std::vector<std::uint8_t> unhex(const json& value) {
    const std::string text = value.is_string() ? value.get<std::string>() : std::string();
    if (!value.is_string() || text.size() != 72 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); }))
        throw CommandError("headerRest must be 72 hexadecimal digits, got " + value.dump());
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(
            static_cast<std::uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

// A whole number of the description within its field's range; `fallback` when absent.
std::int64_t integer(const json& object, const char* name, std::int64_t low, std::int64_t high,
                     std::int64_t fallback, const std::string& where = "") {
    if (!object.contains(name)) return fallback;
    const json& value = object[name];
    const bool whole = value.is_number_integer();
    const bool inRange =
        whole && (value.is_number_unsigned()
                      ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
                      : value.get<std::int64_t>() >= low && value.get<std::int64_t>() <= high);
    if (!inRange)
        throw CommandError(where + name + " must be an integer from " + std::to_string(low) +
                           " to " + std::to_string(high) + ", got " + value.dump());
    return value.get<std::int64_t>();
}

std::int32_t int32(const json& object, const char* name, std::int32_t fallback,
                   const std::string& where = "") {
    return static_cast<std::int32_t>(integer(object, name, INT32_MIN, INT32_MAX, fallback, where));
}

fs::path imageInside(const fs::path& folder, const json& name, bool allowOutside,
                     const std::string& where) {
    if (!name.is_string()) throw CommandError(where + "image must be a file name or null");
    return fileInside(folder, name.get<std::string>(), allowOutside, where + "image");
}

std::string lowercase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The image's size, or nothing when it is not an image the engine reads.
bool imageSize(const std::vector<std::uint8_t>& bytes, int& width, int& height) {
    imaging::DecodedImage image;
    if (imaging::decodeImage(bytes.data(), bytes.size(), image) != imaging::ImageStatus::Ok)
        return false;
    width = image.width;
    height = image.height;
    return true;
}

int packFromDescription(const PackOptions& options) {
    const fs::path folder = filenames::pathFromUtf8(options.inputs.front());
    const std::string descriptionPath = inFolder(options.inputs.front(), kDescription);
    json description;
    try {
        const std::vector<std::uint8_t> text = readWhole(descriptionPath);
        description = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        throw CommandError(descriptionPath + ": not valid JSON (at byte " + std::to_string(e.byte) +
                           ")");
    }
    try {
        if (!description.is_object() || !description.contains("frames") ||
            !description["frames"].is_array())
            throw CommandError("the description must be an object with a \"frames\" array");
        tgltools::TglWriter writer;
        const auto fourth = integer(description, "magicFourthByte", 0, 255, 0);
        writer.magic(std::string(tglformat::kMagic) + static_cast<char>(fourth));
        writer.headerRest(description.contains("headerRest") ? unhex(description["headerRest"])
                                                             : std::vector<std::uint8_t>(36, 0));
        writer.perFrameDurations(int32(description, "perFrameDurations", 0))
            .defaultDuration(int32(description, "defaultDuration", tglformat::kDefaultDuration));
        std::vector<std::vector<std::uint8_t>> images;
        std::vector<bool> hasImage;
        int index = 0;
        for (const json& f : description["frames"]) {
            const std::string where = "frame " + std::to_string(index++) + ": ";
            if (!f.is_object()) throw CommandError(where + "must be an object");
            writer.frame({int32(f, "x", 0, where), int32(f, "y", 0, where),
                          int32(f, "duration", 0, where), int32(f, "aux1", 0, where),
                          int32(f, "aux2", 0, where)});
            const bool present = f.contains("image") && !f["image"].is_null();
            hasImage.push_back(present);
            images.push_back(present ? readWhole(filenames::utf8FromPath(imageInside(
                                           folder, f["image"], options.allowOutside, where)))
                                     : std::vector<std::uint8_t>{});
        }
        addBlocks(writer, images, hasImage);
        writeWhole(options.output, writer.build(), options.overwrite);
    } catch (const CommandError& e) {
        throw CommandError(descriptionPath + ": " + e.what());
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
    const std::pair<std::int32_t, std::int32_t> centre{(tglformat::kViewWidth - firstWidth) / 2,
                                                       (tglformat::kViewHeight - firstHeight) / 2};

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

// Each frame's image file name, by the format it is stored in.
struct ImageNames {
    std::vector<std::string> formats{""}; // lower-case extensions; 0: no image
    std::vector<std::uint8_t> formatOf;   // per frame
    std::size_t images = 0;
    std::string name(std::size_t i) const;
};

std::string ImageNames::name(std::size_t i) const {
    std::string number = std::to_string(i);
    number.insert(0, number.size() < 3 ? 3 - number.size() : 0, '0');
    return "frame_" + number + "." + formats[formatOf[i]];
}

// The first reading: every image named, and its output checked.
ImageNames imageNames(const std::string& file, const std::string& folder, bool overwrite) {
    ReportReader first(file);
    if (!first.report().error.empty()) throw CommandError(file + ": " + first.report().error);
    ImageNames names;
    names.formatOf.assign(first.report().frameCount, 0);
    first.readFrames([&](std::size_t i, const FrameInfo& f) {
        if (f.status != FrameStatus::Ok) return;
        const std::string extension = lowercase(f.image.format);
        const auto known = std::find(names.formats.begin(), names.formats.end(), extension);
        names.formatOf[i] = std::uint8_t(known - names.formats.begin());
        if (known == names.formats.end()) names.formats.push_back(extension);
        refuseExisting(inFolder(folder, names.name(i)), overwrite);
        ++names.images;
    });
    return names;
}

} // namespace

int unpack(const std::string& file, const std::string& folder, bool overwrite) {
    // Two readings: the first names and checks every output, the second
    // writes each image as it comes, one held at a time, and the description
    // a frame at a time. What is kept per frame is its image's format.
    const std::string description = inFolder(folder, kDescription);
    refuseExisting(description, overwrite);
    const ImageNames nameOf = imageNames(file, folder, overwrite);
    fs::create_directories(filenames::pathFromUtf8(folder));
    std::fprintf(stderr, "tgl: writing %zu file(s) into %s\n", nameOf.images + 1, folder.c_str());
    const std::vector<std::uint8_t>& formatOf = nameOf.formatOf;

    ReportReader second(file);
    const AnimationReport& in = second.report();
    if (!in.error.empty()) throw CommandError(file + ": " + in.error);
    // The description as one nlohmann::json would print it, a frame at a time.
    const FramesJson document({{"magicFourthByte", in.magicFourth},
                               {"perFrameDurations", in.durationFlag},
                               {"headerRest", hex(in.headerRest)},
                               {"defaultDuration", in.defaultDuration},
                               {"frames", nlohmann::json::array()}});
    WholeFile json(description, overwrite);
    json.write(document.head());
    Progress progress("writing frames", in.frameCount);
    std::size_t written = SIZE_MAX; // the last frame whose image was written
    second.readFrames(
        [&](std::size_t i, const FrameInfo& f) {
            nlohmann::json frame = {{"x", f.x},
                                    {"y", f.y},
                                    {"aux1", f.aux1},
                                    {"aux2", f.aux2},
                                    {"duration", f.duration}};
            frame["image"] =
                written == i ? nlohmann::json(nameOf.name(i)) : nlohmann::json(nullptr);
            json.write(FramesJson::element(frame, i == 0));
        },
        [&](std::size_t i, const std::uint8_t* bytes, std::size_t size) {
            // The file may have changed since the first reading.
            if (i >= formatOf.size() || formatOf[i] == 0) return;
            writeWhole(inFolder(folder, nameOf.name(i)),
                       std::vector<std::uint8_t>(bytes, bytes + size), overwrite);
            written = i;
            progress.step(i + 1);
        });
    json.write(document.tail(in.frameCount > 0));
    json.commit();
    return 0;
}

int pack(const PackOptions& options) {
    if (options.inputs.empty()) throw CommandError("pack: nothing to pack");
    if (options.inputs.size() == 1 &&
        fs::is_directory(filenames::pathFromUtf8(options.inputs.front())))
        return packFromDescription(options);
    if (options.inputs.size() == 1 &&
        (options.gridWidth > 0 || isAnimationInput(options.inputs.front())))
        return packAnimation(options);
    return packFromImages(options);
}

} // namespace tgltool
