#include "BenchRecording.h"

#include <QFile>
#include <QProcess>

#include <cmath>

namespace quello::bench {

bool MakeBenchMovie(const QString& path, int seconds) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                  "testsrc2=size=1920x1080:rate=30", "-t", QString::number(seconds), "-c:v",
                  "libx264", "-preset", "ultrafast", "-g", "30", "-pix_fmt", "yuv420p", path});
    return ffmpeg.waitForFinished(300000) && ffmpeg.exitCode() == 0;
}

// In the camera's order fix s lands in slot s + 1, so the last two seconds carry no fix line:
// otherwise the fixes would fill up (and reading stop) before the last ten samples.
bool MakeBenchTelemetry(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (int s = 0; s < 300; ++s) {
        for (int i = 0; i < 10; ++i)
            f.write(QStringLiteral("[S]\t%1\t%2\t%3\n")
                        .arg(int(400 * std::sin((s * 10 + i) * 0.1)))
                        .arg(int(300 * std::cos((s * 10 + i) * 0.07)))
                        .arg(1000 + (s * 10 + i) % 50)
                        .toLatin1());
        if (s >= 298)
            continue;
        f.write(QStringLiteral("[G]\t2026/05/16\t09:%1:%2\tN40.%3\tW73.%4\t%5\t%6\n")
                    .arg(10 + s / 60, 2, 10, QLatin1Char('0'))
                    .arg(s % 60, 2, 10, QLatin1Char('0'))
                    .arg(766920 + s * 7)
                    .arg(971140 + s * 5)
                    .arg(20 + (s * 7) % 90)
                    .arg((s * 13) % 360)
                    .toLatin1());
    }
    return true;
}

} // namespace quello::bench
