#include "crash/dialog/picture_scale.h"

#include <algorithm>
#include <cmath>

namespace quillan::crash {

namespace {

// The source pixels that cover target pixel t along one axis and how much of each.
struct Span {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Span> Spans(int source, int target) {
    std::vector<Span> spans(static_cast<size_t>(target));
    const double step = static_cast<double>(source) / target;
    for (int t = 0; t < target; ++t) {
        const double from = t * step, to = (t + 1) * step;
        Span& span = spans[static_cast<size_t>(t)];
        span.first = static_cast<int>(std::floor(from));
        for (int s = span.first; s < source && s < to; ++s)
            span.weights.push_back(std::min<double>(s + 1, to) - std::max<double>(s, from));
    }
    return spans;
}

}  // namespace

TRgbaPicture ScalePremultiplied(const TRgbaPicture& source, int width, int height) {
    TRgbaPicture out;
    if (width < 1 || height < 1 || source.Width < 1 || source.Height < 1) return out;
    out.Width = width;
    out.Height = height;
    out.Pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    const std::vector<Span> columns = Spans(source.Width, width);
    const std::vector<Span> rows = Spans(source.Height, height);
    for (int y = 0; y < height; ++y) {
        const Span& rowSpan = rows[static_cast<size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const Span& colSpan = columns[static_cast<size_t>(x)];
            double b = 0, g = 0, r = 0, a = 0, area = 0;
            for (size_t j = 0; j < rowSpan.weights.size(); ++j) {
                const int sy = rowSpan.first + static_cast<int>(j);
                for (size_t i = 0; i < colSpan.weights.size(); ++i) {
                    const int sx = colSpan.first + static_cast<int>(i);
                    const double w = rowSpan.weights[j] * colSpan.weights[i];
                    const uint8_t* p =
                        &source.Pixels[(static_cast<size_t>(sy) * static_cast<size_t>(source.Width) + sx) * 4];
                    const double alpha = p[3] / 255.0;
                    b += w * alpha * p[0];
                    g += w * alpha * p[1];
                    r += w * alpha * p[2];
                    a += w * p[3];
                    area += w;
                }
            }
            uint8_t* q = &out.Pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 4];
            // Premultiplied: colour already carries alpha, so each channel is at most alpha.
            const double alpha = std::lround(a / area);
            q[0] = static_cast<uint8_t>(std::min(alpha, std::round(b / area)));
            q[1] = static_cast<uint8_t>(std::min(alpha, std::round(g / area)));
            q[2] = static_cast<uint8_t>(std::min(alpha, std::round(r / area)));
            q[3] = static_cast<uint8_t>(alpha);
        }
    }
    return out;
}

}  // namespace quillan::crash
