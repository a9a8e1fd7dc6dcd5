#include "scaled_image_cache.h"

namespace orbalis {

ScaledImageCache::ScaledImageCache(qsizetype maxBytes) : cache_(maxBytes) {}

QImage ScaledImageCache::scaled(const QImage &source, QSize size)
{
    const Key key{source.cacheKey(), size.width(), size.height()};
    if (const QImage *kept = cache_.object(key))
        return *kept;
    // Qt's smooth scaling averages the source pixels when it shrinks, which
    // keeps thin segments and legends legible at a few dozen pixels.
    QImage image = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A bitmap larger than the whole cache is handed out without being kept.
    if (image.sizeInBytes() <= cache_.maxCost())
        cache_.insert(key, new QImage(image), image.sizeInBytes());
    return image;
}

} // namespace orbalis
