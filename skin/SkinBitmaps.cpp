#include "SkinBitmaps.h"

#include "res/skin/SkinArtwork.h"

#include <QHash>

namespace quello {

QImage SkinBitmaps::Load(int id) {
    static QHash<int, QImage> cache;
    auto it = cache.constFind(id);
    if (it != cache.constEnd())
        return *it;
    QImage image = RenderSkinBitmap(id);
    if (!image.isNull())
        cache.insert(id, image);
    return image;
}

} // namespace quello
