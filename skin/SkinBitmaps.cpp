#include "SkinBitmaps.h"

#include "res/skin/SkinArtwork.h"

#include <QHash>

#include <mutex>

namespace quello {

QImage SkinBitmaps::Load(int id) {
    static std::mutex guard;
    static QHash<int, QImage> cache;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = cache.constFind(id);
    if (it != cache.constEnd())
        return *it;
    QImage image = RenderSkinBitmap(id);
    if (!image.isNull())
        cache.insert(id, image);
    return image;
}

} // namespace quello
