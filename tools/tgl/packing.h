#pragma once

#include "tools/common/tgl_writer.h"

#include <filesystem>
#include <string>
#include <vector>

// What the ways into a .tgl file share.
namespace tgltool {

// A file that a description names: a relative path that stays inside
// `folder`, links followed, unless the caller allows any path. `what` names
// it in the error.
std::filesystem::path fileInside(const std::filesystem::path& folder, const std::string& name,
                                 bool allowOutside, const std::string& what);

// Frames with an image each get a block; a frame without one that comes before
// a later image gets an empty block, which takes its place and shows nothing.
void addBlocks(tgltools::TglWriter& writer, const std::vector<std::vector<std::uint8_t>>& images,
               const std::vector<bool>& hasImage);

// The frames a tag plays, in its direction: ping-pong is one loop from the
// first to the last and back to the second (0 1 2 3 2 1). A repeat count of
// N > 0 plays the tag N times; for ping-pong, N passes, each its way.
enum class TagDirection { Forward, Reverse, PingPong, PingPongReverse };
std::vector<std::size_t> tagOrder(std::size_t from, std::size_t to, TagDirection direction,
                                  int repeat = 0);

// An animated GIF, WebP or PNG, or a sprite sheet's JSON, by its name (and an
// animated PNG's control chunk).
bool isAnimationInput(const std::string& path);
struct PackOptions;
int packAnimation(const PackOptions& options);

} // namespace tgltool
