#include "tools/tgl/gif_palette.h"

#include <algorithm>
#include <unordered_map>

namespace tgltool {

namespace {

// Rounds of k-means at the most; each searches the palette once per bin.
constexpr int kRefinements = 4;

struct Colour {
    int r, g, b;
};

Colour colourOf(std::uint32_t rgb) {
    return {int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)};
}

// The palette sorted by green, so that a search for the nearest colour can
// stop where green alone is farther than the best so far.
class NearestColour {
  public:
    explicit NearestColour(const std::vector<GifColorType>& palette) {
        for (std::size_t i = 0; i < palette.size(); ++i)
            entries_.push_back({palette[i].Green, palette[i].Red, palette[i].Blue, int(i)});
        byIndex_ = entries_;
        std::sort(entries_.begin(), entries_.end(),
                  [](const Entry& a, const Entry& b) { return a.g < b.g; });
    }

    // `guess`, a colour likely near (the last answer for it), bounds the search.
    int operator()(Colour c, int guess = 0) const {
        const auto start = std::lower_bound(entries_.begin(), entries_.end(), c.g,
                                            [](const Entry& e, int g) { return e.g < g; });
        const auto distanceTo = [&](const Entry& e) {
            const int dr = e.r - c.r, dg = e.g - c.g, db = e.b - c.b;
            return dr * dr + dg * dg + db * db;
        };
        int best = guess, bestDistance = distanceTo(byIndex_[std::size_t(guess)]);
        const auto consider = [&](const Entry& e) {
            const int dg = e.g - c.g;
            if (dg * dg >= bestDistance) return false;
            const int distance = distanceTo(e);
            if (distance < bestDistance) best = e.index, bestDistance = distance;
            return true;
        };
        for (auto up = start; up != entries_.end() && consider(*up); ++up) {
        }
        for (auto down = start; down != entries_.begin() && consider(*--down);) {
        }
        return best;
    }

  private:
    struct Entry {
        int g, r, b, index;
    };
    std::vector<Entry> entries_; // by green
    std::vector<Entry> byIndex_;
};

// Colours with their pixels' sums, which k-means moves the palette towards.
struct Point {
    Colour colour; // the mean of its pixels
    std::uint64_t r, g, b, count;
};

// Pixels fall into bins of 6 bits a channel: near enough that a bin's pixels
// share their nearest palette colour, and few enough to search for each.
constexpr int kBinBits = 6;
constexpr int kBins = 1 << (3 * kBinBits);

std::uint32_t binOf(std::uint32_t rgb) {
    constexpr int drop = 8 - kBinBits;
    return (rgb >> (16 + drop) & 63) << 12 | (rgb >> (8 + drop) & 63) << 6 | (rgb >> drop & 63);
}

// Each point's colour the mean of its pixels.
void settle(std::vector<Point>& points) {
    for (Point& p : points)
        p.colour = {int((p.r + p.count / 2) / p.count), int((p.g + p.count / 2) / p.count),
                    int((p.b + p.count / 2) / p.count)};
}

// The occupied bins, each with its pixels' sums.
std::vector<Point> binsOf(const std::vector<std::uint32_t>& rgb,
                          std::vector<std::int32_t>& pointOf) {
    pointOf.assign(kBins, -1);
    std::vector<Point> points;
    for (std::uint32_t p : rgb) {
        std::int32_t& at = pointOf[binOf(p)];
        if (at < 0) {
            at = std::int32_t(points.size());
            points.push_back({{}, 0, 0, 0, 0});
        }
        Point& point = points[std::size_t(at)];
        const Colour c = colourOf(p);
        point.r += std::uint64_t(c.r), point.g += std::uint64_t(c.g), point.b += std::uint64_t(c.b);
        ++point.count;
    }
    settle(points);
    return points;
}

// The same pixels in bins of half as many levels a channel, for the rounds
// of k-means: each searches the palette once per coarse bin. `coarseOf`
// gives each fine point's.
std::vector<Point> coarser(const std::vector<Point>& fine, std::vector<std::size_t>& coarseOf) {
    std::unordered_map<std::uint32_t, std::size_t> at;
    std::vector<Point> points;
    for (const Point& p : fine) {
        const std::uint32_t key =
            std::uint32_t(p.colour.r >> 3 << 10 | p.colour.g >> 3 << 5 | p.colour.b >> 3);
        const auto [it, added] = at.emplace(key, points.size());
        if (added) points.push_back({{}, 0, 0, 0, 0});
        Point& coarse = points[it->second];
        coarse.r += p.r, coarse.g += p.g, coarse.b += p.b, coarse.count += p.count;
        coarseOf.push_back(it->second);
    }
    settle(points);
    return points;
}

// The colours themselves, while there are no more than `room`.
bool exactPalette(const std::vector<std::uint32_t>& rgb, int room, IndexedPixels& out) {
    std::unordered_map<std::uint32_t, GifByteType> indexOf;
    for (std::uint32_t p : rgb) {
        const auto [it, added] = indexOf.emplace(p & 0xFFFFFF, GifByteType(out.palette.size()));
        if (added) {
            if (out.palette.size() == std::size_t(room)) return false;
            const Colour c = colourOf(p);
            out.palette.push_back({GifByteType(c.r), GifByteType(c.g), GifByteType(c.b)});
        }
        out.indexes.push_back(it->second);
    }
    return true;
}

// A box of points and what splitting needs of it.
struct Box {
    std::vector<std::size_t> members;
    double error = 0; // the pixels' squared distance from their mean
};

double channelOf(const Point& p, int channel) {
    return channel == 0 ? double(p.r) : channel == 1 ? double(p.g) : double(p.b);
}

// Sum of squares about the mean, each point's pixels taken at its mean.
double errorOf(const std::vector<Point>& points, const std::vector<std::size_t>& members) {
    double count = 0, sum[3] = {}, squares = 0;
    for (std::size_t i : members) {
        const Point& p = points[i];
        count += double(p.count);
        for (int c = 0; c < 3; ++c) {
            sum[c] += channelOf(p, c);
            squares += channelOf(p, c) * channelOf(p, c) / double(p.count);
        }
    }
    return count == 0 ? 0 : squares - (sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) / count;
}

// Splits the box along the channel where its points spread most, where the
// two halves' errors add up least.
std::pair<Box, Box> split(const std::vector<Point>& points, Box box) {
    int axis = 0;
    double widest = -1;
    for (int c = 0; c < 3; ++c) {
        double low = 1e18, high = -1e18;
        for (std::size_t i : box.members) {
            const double v = channelOf(points[i], c) / double(points[i].count);
            low = std::min(low, v), high = std::max(high, v);
        }
        if (high - low > widest) widest = high - low, axis = c;
    }
    std::sort(box.members.begin(), box.members.end(), [&](std::size_t a, std::size_t b) {
        return channelOf(points[a], axis) / double(points[a].count) <
               channelOf(points[b], axis) / double(points[b].count);
    });
    // Running sums from the left; the error along the axis decides the cut.
    const std::size_t n = box.members.size();
    std::vector<double> count(n + 1, 0), sum(n + 1, 0);
    for (std::size_t k = 0; k < n; ++k) {
        const Point& p = points[box.members[k]];
        count[k + 1] = count[k] + double(p.count);
        sum[k + 1] = sum[k] + channelOf(p, axis);
    }
    std::size_t cut = 1;
    double best = 1e300;
    for (std::size_t k = 1; k < n; ++k) {
        const double left = -sum[k] * sum[k] / count[k];
        const double rightSum = sum[n] - sum[k],
                     right = -rightSum * rightSum / (count[n] - count[k]);
        if (left + right < best) best = left + right, cut = k;
    }
    Box low, high;
    low.members.assign(box.members.begin(), box.members.begin() + std::ptrdiff_t(cut));
    high.members.assign(box.members.begin() + std::ptrdiff_t(cut), box.members.end());
    low.error = errorOf(points, low.members);
    high.error = errorOf(points, high.members);
    return {std::move(low), std::move(high)};
}

// `room` boxes, always splitting the one whose pixels stray most from its
// mean; each box's mean is a colour.
std::vector<GifColorType> varianceCut(const std::vector<Point>& points, int room) {
    std::vector<Box> boxes(1);
    for (std::size_t i = 0; i < points.size(); ++i)
        boxes[0].members.push_back(i);
    boxes[0].error = errorOf(points, boxes[0].members);
    while (boxes.size() < std::size_t(room)) {
        auto worst = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return (a.members.size() > 1 ? a.error : -1) < (b.members.size() > 1 ? b.error : -1);
        });
        if (worst->members.size() < 2) break;
        auto [low, high] = split(points, std::move(*worst));
        *worst = std::move(low);
        boxes.push_back(std::move(high));
    }
    std::vector<GifColorType> palette;
    for (const Box& box : boxes) {
        std::uint64_t sums[4] = {};
        for (std::size_t i : box.members)
            sums[0] += points[i].r, sums[1] += points[i].g, sums[2] += points[i].b,
                sums[3] += points[i].count;
        palette.push_back({GifByteType((sums[0] + sums[3] / 2) / sums[3]),
                           GifByteType((sums[1] + sums[3] / 2) / sums[3]),
                           GifByteType((sums[2] + sums[3] / 2) / sums[3])});
    }
    return palette;
}

// Each colour moved to the mean of the pixels of the points nearest to it;
// one that stands for none stays. False when none moved. `nearestOf` keeps
// each point's colour from round to round: it moves little.
bool refine(std::vector<GifColorType>& palette, const std::vector<Point>& points,
            std::vector<int>& nearestOf) {
    std::vector<std::uint64_t> sums(palette.size() * 4, 0);
    const NearestColour nearest(palette);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& p = points[i];
        nearestOf[i] = nearest(p.colour, nearestOf[i]);
        std::uint64_t* sum = &sums[std::size_t(nearestOf[i]) * 4];
        sum[0] += p.r, sum[1] += p.g, sum[2] += p.b, sum[3] += p.count;
    }
    bool moved = false;
    for (std::size_t c = 0; c < palette.size(); ++c) {
        const std::uint64_t* sum = &sums[c * 4];
        if (sum[3] == 0) continue;
        const GifColorType mean{GifByteType((sum[0] + sum[3] / 2) / sum[3]),
                                GifByteType((sum[1] + sum[3] / 2) / sum[3]),
                                GifByteType((sum[2] + sum[3] / 2) / sum[3])};
        moved = moved || mean.Red != palette[c].Red || mean.Green != palette[c].Green ||
                mean.Blue != palette[c].Blue;
        palette[c] = mean;
    }
    return moved;
}

} // namespace

IndexedPixels indexPixels(const std::vector<std::uint32_t>& rgb, int room) {
    IndexedPixels out;
    if (exactPalette(rgb, room, out)) return out;
    out.indexes.clear();
    std::vector<std::int32_t> pointOf;
    const std::vector<Point> points = binsOf(rgb, pointOf);
    std::vector<std::size_t> coarseOf;
    const std::vector<Point> coarse = coarser(points, coarseOf);
    out.palette = varianceCut(coarse, room);
    std::vector<int> nearestOf(coarse.size(), 0);
    for (int round = 0; round < kRefinements && refine(out.palette, coarse, nearestOf); ++round) {
    }
    const NearestColour nearest(out.palette);
    std::vector<GifByteType> indexOfPoint(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        indexOfPoint[i] = GifByteType(nearest(points[i].colour, nearestOf[coarseOf[i]]));
    out.indexes.reserve(rgb.size());
    for (std::uint32_t p : rgb)
        out.indexes.push_back(indexOfPoint[std::size_t(pointOf[binOf(p)])]);
    return out;
}

} // namespace tgltool
