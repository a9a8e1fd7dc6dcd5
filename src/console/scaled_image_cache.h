#pragma once

#include <QCache>
#include <QImage>
#include <QSize>

namespace orbalis {

// Bitmaps smoothly scaled to a size, kept by source bitmap and size. Every
// reply repaints a slot's digits, banner, lamps and bar from the same few
// dozen bitmaps at the same few sizes, and scaling them anew each time was
// most of what the polling cost. A source is known by its cache key, which
// changes whenever its pixels do, so a kept bitmap is never stale.
class ScaledImageCache {
public:
    // Holds at most this many bytes of scaled pixels; the least recently used
    // go first. The panel's bitmaps take about 0.2 MB at the design size and
    // fill the bound only on a screen-wide window, where the output bar's
    // many widths are the first to go.
    static constexpr qsizetype DefaultMaxBytes = 2 * 1024 * 1024;

    explicit ScaledImageCache(qsizetype maxBytes = DefaultMaxBytes);

    // The source stretched to the size as QImage::scaled does it, smoothly.
    QImage scaled(const QImage &source, QSize size);

    qsizetype bytesHeld() const { return cache_.totalCost(); }
    qsizetype count() const { return cache_.count(); }

private:
    struct Key {
        qint64 source;
        int width;
        int height;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0) noexcept
        {
            return qHashMulti(seed, key.source, key.width, key.height);
        }
    };
    QCache<Key, QImage> cache_;
};

} // namespace orbalis
