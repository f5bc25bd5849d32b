#include "MapCallScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLatin1String>

namespace quello {

QString MapCallScript(const char* function, const QJsonArray& arguments) {
    return QStringLiteral("(function (f, a) { if (typeof f === 'function') f.apply(null, a); })"
                          "(window['%1'], %2);")
        .arg(QLatin1String(function),
             QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)));
}

} // namespace quello
