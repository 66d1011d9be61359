#include "crash/packaging/octree.h"

namespace quillan::crash {
namespace {

constexpr int kDepth = 8;
constexpr int kMaxLeaves = 256;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct TOctNode {
    std::uint32_t Child[8];
    std::uint64_t Count;
    std::uint64_t Red, Green, Blue;
    std::uint32_t NextReducible;  // next older node of the same level with children
    int PaletteIndex;
    bool Leaf;
};

inline unsigned ChildIndex(unsigned r, unsigned g, unsigned b, int level) {
    const int shift = 7 - level;
    return ((r >> shift) & 1) << 2 | ((g >> shift) & 1) << 1 | ((b >> shift) & 1);
}

class TOctree {
public:
    TOctree() {
        reducible_.fill(kNone);
        root_ = NewNode(0);
    }

    // Adds one pixel; returns true when the tree was reduced (leaves were merged).
    bool Add(unsigned r, unsigned g, unsigned b) {
        std::uint32_t n = root_;
        for (int level = 0; !nodes_[n].Leaf; ++level) {
            const unsigned ci = ChildIndex(r, g, b, level);
            if (nodes_[n].Child[ci] == kNone) {
                const std::uint32_t child = NewNode(level + 1);
                nodes_[n].Child[ci] = child;
            }
            n = nodes_[n].Child[ci];
        }
        Accumulate(n, r, g, b);
        lastLeaf_ = n;
        bool reduced = false;
        while (leaves_ > kMaxLeaves) {
            Reduce();
            reduced = true;
        }
        return reduced;
    }

    // The leaf reached by the last Add; valid until the next reduction.
    std::uint32_t LastLeaf() const { return lastLeaf_; }

    void Accumulate(std::uint32_t leaf, unsigned r, unsigned g, unsigned b) {
        TOctNode& node = nodes_[leaf];
        ++node.Count;
        node.Red += r;
        node.Green += g;
        node.Blue += b;
    }

    // Numbers the leaves in tree order and writes their average colours.
    int BuildPalette(std::array<TRgb, 256>& palette) {
        int count = 0;
        Number(root_, palette, count);
        return count;
    }

    int IndexOf(unsigned r, unsigned g, unsigned b) const {
        std::uint32_t n = root_;
        for (int level = 0; !nodes_[n].Leaf; ++level) n = nodes_[n].Child[ChildIndex(r, g, b, level)];
        return nodes_[n].PaletteIndex;
    }

private:
    std::uint32_t NewNode(int level) {
        std::uint32_t n;
        if (!free_.empty()) {
            n = free_.back();
            free_.pop_back();
        } else {
            n = static_cast<std::uint32_t>(nodes_.size());
            nodes_.emplace_back();
        }
        TOctNode& node = nodes_[n];
        for (auto& c : node.Child) c = kNone;
        node.Count = node.Red = node.Green = node.Blue = 0;
        node.PaletteIndex = 0;
        node.Leaf = level == kDepth;
        node.NextReducible = kNone;
        if (node.Leaf) {
            ++leaves_;
        } else {
            // The list head is the most recently added node of its level.
            node.NextReducible = reducible_[level];
            reducible_[level] = n;
        }
        return n;
    }

    void Reduce() {
        int level = kDepth - 1;
        while (level > 0 && reducible_[level] == kNone) --level;
        const std::uint32_t n = reducible_[level];
        reducible_[level] = nodes_[n].NextReducible;
        // Every deeper node is a leaf here (the deepest level with children was taken), so the
        // children fold in whole.
        int children = 0;
        for (auto& c : nodes_[n].Child) {
            if (c == kNone) continue;
            const TOctNode& child = nodes_[c];
            nodes_[n].Count += child.Count;
            nodes_[n].Red += child.Red;
            nodes_[n].Green += child.Green;
            nodes_[n].Blue += child.Blue;
            free_.push_back(c);
            c = kNone;
            ++children;
        }
        nodes_[n].Leaf = true;
        leaves_ -= children - 1;
    }

    void Number(std::uint32_t n, std::array<TRgb, 256>& palette, int& count) {
        TOctNode& node = nodes_[n];
        if (node.Leaf) {
            if (node.Count == 0) return;  // only a root that never saw a pixel
            const std::uint64_t half = node.Count / 2;
            palette[count] = {static_cast<std::uint8_t>((node.Red + half) / node.Count),
                              static_cast<std::uint8_t>((node.Green + half) / node.Count),
                              static_cast<std::uint8_t>((node.Blue + half) / node.Count)};
            node.PaletteIndex = count++;
            return;
        }
        for (std::uint32_t c : node.Child) {
            if (c != kNone) Number(c, palette, count);
        }
    }

    std::vector<TOctNode> nodes_;
    std::vector<std::uint32_t> free_;
    std::array<std::uint32_t, kDepth> reducible_;
    std::uint32_t root_ = kNone;
    std::uint32_t lastLeaf_ = kNone;
    int leaves_ = 0;
};

inline std::uint32_t PixelAt(const std::uint8_t* row, int x) {
    const std::uint8_t* p = row + 4 * static_cast<std::size_t>(x);
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

}  // namespace

TPaletteImage ReduceColours(const TBgrxImage& image) {
    TPaletteImage out;
    out.Width = image.Width;
    out.Height = image.Height;
    if (image.Width <= 0 || image.Height <= 0) return out;

    TOctree tree;
    // Screens are mostly runs of one colour: a repeat of the previous pixel goes straight to
    // its leaf, which stays valid as long as no reduction happened since.
    std::uint32_t previous = 0;
    std::uint32_t leaf = kNone;
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* row = image.Pixels.data() + image.Stride * static_cast<std::size_t>(y);
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t rgb = PixelAt(row, x);
            const unsigned r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            if (leaf != kNone && rgb == previous) {
                tree.Accumulate(leaf, r, g, b);
                continue;
            }
            leaf = tree.Add(r, g, b) ? kNone : tree.LastLeaf();
            previous = rgb;
        }
    }
    out.Colours = tree.BuildPalette(out.Palette);

    out.Indexes.resize(static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height));
    std::uint8_t* dst = out.Indexes.data();
    previous = 0;
    int index = -1;
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* row = image.Pixels.data() + image.Stride * static_cast<std::size_t>(y);
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t rgb = PixelAt(row, x);
            if (index < 0 || rgb != previous) {
                index = tree.IndexOf(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
                previous = rgb;
            }
            *dst++ = static_cast<std::uint8_t>(index);
        }
    }
    return out;
}

}  // namespace quillan::crash
