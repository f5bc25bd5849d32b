#pragma once

#include <QString>

namespace quello {

// The library of drives the player opened last, kept in the user's settings
// (~/.config/Quello Player/quello-player.conf); it opens at the next start without a card or
// movies named, and imports go to it. GUI thread only.
QString RememberedLibrary();
void RememberLibrary(const QString& root);

// Whether `root` holds a library's index.
bool IsLibraryFolder(const QString& root);

} // namespace quello
